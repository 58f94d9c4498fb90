#include "zqmftimeline/ZQMFTimeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zqmf/zqmfText.h"
#include "zqmf/zqmfWriter.h"
#include "zqtest/TempDir.h"

namespace {

struct Device {
  uint32_t id = 1;
  std::string name = "Camera";
};

// One payload: a device with an accelerometer stream of four samples per payload (values
// second x 100 + i, scale 100), a GPS stream of two fixes and a Spotmark flag.
std::vector<uint8_t> Payload(int second, const Device& device = {}, bool gps = true) {
  ZQMFWriter w;
  w.BeginNest("DEVC");
  w.AddValue("DVID", device.id);
  w.AddString("DVNM", device.name);
  w.BeginNest("STRM");
  w.AddString("STNM", "Accelerometer");
  w.AddValue("TSMP", static_cast<uint32_t>(4 * (second + 1)));
  w.AddValue("STMP", static_cast<uint64_t>(second) * 1000000);
  w.AddValue("SCAL", int16_t{100});
  int16_t accl[12];
  for (int i = 0; i < 4; i++) {
    accl[3 * i] = static_cast<int16_t>(second * 100 + i);
    accl[3 * i + 1] = static_cast<int16_t>(-second);
    accl[3 * i + 2] = 981;
  }
  w.AddValues("ACCL", accl, 3, 4);
  w.EndNest();
  if (gps) {
    w.BeginNest("STRM");
    const int32_t scale[5] = {10000000, 10000000, 1000, 1000, 100};
    w.AddValues("SCAL", scale, 1, 5);
    const int32_t fix[10] = {473977420, 85455920, 400000, 1500, 2,
                             473977430, 85455930, 401000, 1600, 3};
    w.AddValues("GPS5", fix, 5, 2);
    w.EndNest();
  }
  w.BeginNest("STRM");
  w.AddValue("SFLG", uint8_t{static_cast<uint8_t>(second % 2)});
  w.EndNest();
  w.EndNest();
  std::vector<uint8_t> out;
  EXPECT_EQ(w.Finish(&out), ZQMF_OK);
  return out;
}

// How many samples of `key` the timeline holds (a count it does not write shows as 999).
uint32_t Count(ZQMFTimeline& t, const char* key) {
  uint32_t n = 999;
  t.GetSampleCount(key, n);
  return n;
}

// A file that starts like a movie but holds none: the fake video source stands in for its reader.
const std::string kMovieStart = std::string(
    "\0\0\0\x10"
    "ftypisom\0\0\0\0",
    16);

// The user data of a recording: settings only, no time.
std::vector<uint8_t> Settings() {
  ZQMFWriter w;
  w.BeginNest("DEVC");
  w.AddValue("DVID", uint32_t{1});
  w.AddValue("MTYP", uint8_t{0});
  w.AddValue("TZON", int16_t{60});
  w.AddString("LENS", "wide");
  const struct {
    float f[2];
    uint32_t l;
  } cplx = {{0.5f, 1.5f}, 9};
  w.AddComplex("CPLX", "f[2]L", 1, &cplx);
  w.EndNest();
  std::vector<uint8_t> out;
  EXPECT_EQ(w.Finish(&out), ZQMF_OK);
  return out;
}

struct Segment {
  std::vector<uint8_t> bytes;
  double start;
  double end;
};

// An MP4 as the timeline sees it through its video source.
struct FakeRecording {
  std::vector<Segment> track;
  std::vector<uint8_t> udta;
  int opens = 0;
  int closes = 0;
};

class FakeVideo final : public ZQMFAssetSourceVideo {
 public:
  explicit FakeVideo(FakeRecording* r) : r_(r) {}
  ZQMF_LIB_ERROR OpenMP4Source(const std::string&) override {
    r_->opens++;
    if (r_->track.empty()) return ZQMF_LIB_ERROR_NO_SAMPLE;
    open_ = r_->track;
    return ZQMF_LIB_OK;
  }
  ZQMF_LIB_ERROR OpenMP4SourceUDTA(const std::string&) override {
    r_->opens++;
    if (r_->udta.empty()) return ZQMF_LIB_ERROR_NO_SAMPLE;
    open_ = {{r_->udta, kZQMFNoTime, kZQMFNoTime}};
    return ZQMF_LIB_OK;
  }
  uint32_t GetNumberPayloads() override { return static_cast<uint32_t>(open_.size()); }
  ZQMF_LIB_ERROR GetPayload(uint32_t index, std::vector<uint32_t>* words,
                            uint32_t* bytes) override {
    if (index >= open_.size()) return ZQMF_LIB_ERROR_NO_SAMPLE;
    const std::vector<uint8_t>& b = open_[index].bytes;
    words->assign((b.size() + 3) / 4, 0);
    memcpy(words->data(), b.data(), b.size());
    *bytes = static_cast<uint32_t>(b.size());
    return ZQMF_LIB_OK;
  }
  uint32_t GetPayloadSize(uint32_t index) override {
    return index < open_.size() ? static_cast<uint32_t>(open_[index].bytes.size()) : 0;
  }
  ZQMF_LIB_ERROR GetPayloadTime(uint32_t index, double* start, double* end) override {
    if (index >= open_.size()) return ZQMF_LIB_ERROR_NO_SAMPLE;
    *start = open_[index].start;
    *end = open_[index].end;
    return ZQMF_LIB_OK;
  }
  ZQMFRational GetDuration() override { return ZQMFRational(3); }
  ZQMF_LIB_ERROR GetVideoFrameRateAndCount(ZQMFRational* rate, uint32_t* frames) override {
    *rate = ZQMFRational(30000, 1001);
    *frames = 90;
    return ZQMF_LIB_OK;
  }
  void CloseSource() override {
    if (!open_.empty()) r_->closes++;
    open_.clear();
  }

 private:
  FakeRecording* r_;
  std::vector<Segment> open_;
};

class ZqmfTimeline : public ::testing::Test {
 protected:
  // A timeline over a fake recording at an MP4-looking file.
  std::unique_ptr<ZQMFTimeline> Recording() {
    zqtest::WriteFile(mp4_, kMovieStart);
    return std::make_unique<ZQMFTimeline>(
        [this] { return std::make_unique<FakeVideo>(&recording_); });
  }

  // Every sample of `key` from the cursor on.
  static std::vector<const ZQMFAssetSample*> Drain(ZQMFTimeline* t, const std::string& key,
                                                   std::vector<ZQMFAssetSample>* keep) {
    std::vector<const ZQMFAssetSample*> out;
    ZQMF_LIB_ERROR err = 99;
    keep->clear();
    keep->reserve(1000);
    while (const ZQMFAssetSample* s = t->GetNextSample(key, err)) {
      keep->push_back(*s);
      out.push_back(&keep->back());
    }
    EXPECT_EQ(err, ZQMF_LIB_OK);
    return out;
  }

  zqtest::TempDir dir_;
  const std::string mp4_ = dir_.path() + "/GX010001.MP4";
  FakeRecording recording_;
};

TEST_F(ZqmfTimeline, BufferSourceGivesTheSamplesOfTheRequestedKeys) {
  const std::vector<uint8_t> block = Payload(1);
  ZQMFTimeline t;
  ZQMF_LIB_ERROR err = 99;
  ASSERT_EQ(t.SetZQMFGlobalBuffer(block.data(), block.size(), err), ZQMF_LIB_OK);
  ASSERT_EQ(t.Parse(err, ZQMF_PARSE_GLOBAL_BUFFER, {"SFLG", "ACCL"}, nullptr), ZQMF_LIB_OK);
  EXPECT_EQ(err, ZQMF_LIB_OK);

  const ZQMFAssetSample* s = t.GetNextSample("SFLG", err);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->KeyText(), "SFLG");
  EXPECT_EQ(s->type, static_cast<uint32_t>('B'));
  EXPECT_EQ(s->data, (std::vector<uint8_t>{1}));
  EXPECT_EQ(s->startTime, kZQMFNoTime);
  EXPECT_EQ(s->deviceId, 1u);
  EXPECT_EQ(s->deviceName, "Camera");
  EXPECT_EQ(t.GetNextSample("SFLG", err), nullptr);
  EXPECT_EQ(err, ZQMF_LIB_OK);  // the end is not an error
  EXPECT_EQ(t.GetNextSample("TZON", err), nullptr);
  EXPECT_EQ(err, ZQMF_LIB_ERROR_KEY_NOT_REQUESTED);

  // Without time, a record stays one sample of all its structures, scaled to floats.
  uint32_t count = 0;
  EXPECT_EQ(t.GetSampleCount("ACCL", count), ZQMF_LIB_OK);
  EXPECT_EQ(count, 1u);
  s = t.GetSample("ACCL", 0, err);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->type, static_cast<uint32_t>('f'));
  EXPECT_EQ(s->repeat, 4u);
  EXPECT_EQ(s->structSize, 12u);
  EXPECT_EQ(s->scale, (std::vector<double>{1.0}));
  EXPECT_EQ(s->totalSamples, 8u);
  EXPECT_EQ(s->timestamp, 1000000u);
  double v = 0;
  ASSERT_TRUE(s->Number(3, 0, &v));
  EXPECT_FLOAT_EQ(v, 1.03f);
  ASSERT_TRUE(s->Number(3, 2, &v));
  EXPECT_FLOAT_EQ(v, 9.81f);
  EXPECT_FALSE(s->Number(4, 0, &v));
  EXPECT_EQ(t.GetSampleCount("GYRO", count), ZQMF_LIB_ERROR_KEY_NOT_REQUESTED);
}

TEST_F(ZqmfTimeline, TrackSegmentsSplitIntoTimedSamples) {
  for (int k = 0; k < 3; k++) recording_.track.push_back({Payload(k), k * 1.0, k + 1.0});
  auto t = Recording();
  ZQMF_LIB_ERROR err;
  ASSERT_EQ(t->OpenURI(mp4_, err), ZQMF_LIB_OK);
  ASSERT_EQ(t->Parse(err, ZQMF_PARSE_TRACK, {"ACCL"}, nullptr), ZQMF_LIB_OK);

  std::vector<ZQMFAssetSample> keep;
  const std::vector<const ZQMFAssetSample*> accl = Drain(t.get(), "ACCL", &keep);
  ASSERT_EQ(accl.size(), 12u);
  for (size_t i = 0; i < accl.size(); i++) {
    EXPECT_DOUBLE_EQ(accl[i]->startTime, i * 0.25) << i;
    EXPECT_DOUBLE_EQ(accl[i]->endTime, (i + 1) * 0.25) << i;
    EXPECT_EQ(accl[i]->repeat, 1u);
    double x = 0;
    ASSERT_TRUE(accl[i]->Number(0, 0, &x));
    EXPECT_FLOAT_EQ(x, static_cast<float>((i / 4) * 100 + i % 4) / 100) << i;
  }
  EXPECT_EQ(accl[4]->sampleRate, ZQMFRational(4));

  // Across the boundary of the first two payloads, by index; the cursor stays at the end.
  const ZQMFAssetSample* s = t->GetSample("ACCL", 3, err);
  ASSERT_NE(s, nullptr);
  EXPECT_DOUBLE_EQ(s->startTime, 0.75);
  s = t->GetSample("ACCL", 4, err);
  ASSERT_NE(s, nullptr);
  EXPECT_DOUBLE_EQ(s->startTime, 1.0);
  EXPECT_EQ(t->GetSample("ACCL", 12, err), nullptr);
  EXPECT_EQ(t->GetNextSample("ACCL", err), nullptr);

  EXPECT_EQ(t->source().GetSampleRate("ACCL"), ZQMFRational(4));
  uint32_t frames = 0;
  EXPECT_EQ(t->GetVideoFrameRateAndCount(err, frames), ZQMFRational(30000, 1001));
  EXPECT_EQ(frames, 90u);
  EXPECT_EQ(t->GetTrackDuration(err), ZQMFRational(3));
  // Every open was closed again.
  EXPECT_EQ(recording_.opens, 2);
  EXPECT_EQ(recording_.closes, recording_.opens);
}

TEST_F(ZqmfTimeline, RangeReadsTheSegmentsInsideItsHundredths) {
  const double spans[][2] = {{1.2, 1.3}, {1.23, 1.5}, {1.5, 2.01}, {2.0, 2.4}, {2.4, 3.0}};
  int k = 0;
  for (const auto& span : spans) recording_.track.push_back({Payload(k++), span[0], span[1]});
  auto t = Recording();
  ZQMF_LIB_ERROR err;
  ASSERT_EQ(t->OpenURI(mp4_, err), ZQMF_LIB_OK);
  const ZQMFTimeRange range(1.234, 2.001 - 1.234);
  ASSERT_EQ(t->Parse(err, ZQMF_PARSE_TRACK, {"ACCL"}, &range), ZQMF_LIB_OK);
  std::vector<ZQMFAssetSample> keep;
  const auto accl = Drain(t.get(), "ACCL", &keep);
  ASSERT_EQ(accl.size(), 8u);  // the second and third payloads
  EXPECT_DOUBLE_EQ(accl.front()->startTime, 1.23);
  EXPECT_DOUBLE_EQ(accl.back()->endTime, 2.01);

  // The time segments of the source, one after the other.
  for (const auto& span : spans) {
    const ZQMFTimeRange r = t->GetNextTimeRange(err);
    EXPECT_EQ(err, ZQMF_LIB_OK);
    EXPECT_DOUBLE_EQ(r.start(), span[0]);
    EXPECT_DOUBLE_EQ(r.end(), span[1]);
  }
  t->GetNextTimeRange(err);
  EXPECT_EQ(err, ZQMF_LIB_ERROR_NO_SAMPLE);
}

TEST_F(ZqmfTimeline, ParseTypesChooseTrackAndUserData) {
  recording_.track.push_back({Payload(0), 0.0, 1.0});
  recording_.udta = Settings();
  auto t = Recording();
  ZQMF_LIB_ERROR err;
  ASSERT_EQ(t->OpenURI(mp4_, err), ZQMF_LIB_OK);

  ASSERT_EQ(t->Parse(err, ZQMF_PARSE_TRACK_THEN_UDTA, {"ACCL", "TZON"}, nullptr), ZQMF_LIB_OK);
  EXPECT_EQ(Count(*t, "ACCL"), 4u);
  EXPECT_EQ(Count(*t, "TZON"), 1u);

  EXPECT_EQ(t->Parse(err, ZQMF_PARSE_UDTA, {"ACCL", "TZON"}, nullptr),
            ZQMF_LIB_ERROR_KEY_NOT_FOUND);
  EXPECT_EQ(Count(*t, "ACCL"), 0u);
  EXPECT_EQ(Count(*t, "TZON"), 1u);

  EXPECT_EQ(t->Parse(err, ZQMF_PARSE_TRACK, {"ACCL", "TZON"}, nullptr),
            ZQMF_LIB_ERROR_KEY_NOT_FOUND);
  EXPECT_EQ(err, ZQMF_LIB_ERROR_KEY_NOT_FOUND);
  EXPECT_EQ(Count(*t, "ACCL"), 4u);
  EXPECT_EQ(Count(*t, "TZON"), 0u);

  // Text, complex records and anything without time: one sample each.
  ASSERT_EQ(t->Parse(err, ZQMF_PARSE_UDTA, {"LENS", "CPLX", "DVID"}, nullptr), ZQMF_LIB_OK);
  EXPECT_EQ(Count(*t, "DVID"), 0u);  // present, but it describes the device: no samples
  const ZQMFAssetSample* s = t->GetNextSample("CPLX", err);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->typeDescription, "f[2]L");
  EXPECT_EQ(s->ElementTypes(), "ffL");
  double v = 0;
  ASSERT_TRUE(s->Number(0, 2, &v));
  EXPECT_EQ(v, 9);
  s = t->GetNextSample("LENS", err);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(std::string(s->data.begin(), s->data.end()), "wide");

  // Without keys: every sample key.
  ASSERT_EQ(t->Parse(err, ZQMF_PARSE_UDTA, {}, nullptr), ZQMF_LIB_OK);
  std::set<std::string> keys;
  for (uint32_t key : t->source().RequestedKeys()) keys.insert(zqmf_key_text(key));
  EXPECT_EQ(keys, (std::set<std::string>{"CPLX", "LENS", "MTYP", "TZON"}));
}

TEST_F(ZqmfTimeline, DeviceFiltersKeepTheListedDevices) {
  std::vector<uint8_t> two = Payload(0, {1, "Camera"});
  const std::vector<uint8_t> second = Payload(1, {7, "Remote"});
  two.insert(two.end(), second.begin(), second.end());
  ZQMFTimeline t;
  ZQMF_LIB_ERROR err;
  t.SetZQMFGlobalBuffer(two.data(), two.size(), err);
  ASSERT_EQ(t.Parse(err, ZQMF_PARSE_GLOBAL_BUFFER, {"SFLG"}, nullptr), ZQMF_LIB_OK);
  EXPECT_EQ(Count(t, "SFLG"), 2u);

  ASSERT_EQ(t.SetDeviceIds({"7"}, err), ZQMF_LIB_OK);
  ASSERT_EQ(t.Parse(err, ZQMF_PARSE_GLOBAL_BUFFER, {"SFLG"}, nullptr), ZQMF_LIB_OK);
  const ZQMFAssetSample* s = t.GetNextSample("SFLG", err);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->deviceId, 7u);
  EXPECT_EQ(s->deviceName, "Remote");
  EXPECT_EQ(t.GetNextSample("SFLG", err), nullptr);

  ASSERT_EQ(t.SetDeviceIds({}, err), ZQMF_LIB_OK);
  ASSERT_EQ(t.SetDeviceNames({"Camera"}, err), ZQMF_LIB_OK);
  ASSERT_EQ(t.Parse(err, ZQMF_PARSE_GLOBAL_BUFFER, {"SFLG"}, nullptr), ZQMF_LIB_OK);
  EXPECT_EQ(Count(t, "SFLG"), 1u);
  EXPECT_EQ(t.SetDeviceIds({"x7"}, err), ZQMF_ERROR_MEMORY);
  EXPECT_EQ(t.SetDeviceIds({"-1"}, err), ZQMF_ERROR_MEMORY);
}

TEST_F(ZqmfTimeline, ExportsSamplesAsJsonAndText) {
  recording_.track.push_back({Payload(0), 0.0, 1.0});
  recording_.udta = Settings();
  auto t = Recording();
  ZQMF_LIB_ERROR err;
  ASSERT_EQ(t->OpenURI(mp4_, err), ZQMF_LIB_OK);
  ASSERT_EQ(t->Parse(err, ZQMF_PARSE_TRACK_THEN_UDTA, {"ACCL", "LENS", "TZON"}, nullptr),
            ZQMF_LIB_OK);
  // One key's export is the zqmf tool's, checked byte for byte on the sample card.
  std::string out;
  ASSERT_EQ(t->ExportTimeline(err, ZQMF_EXPORT_JSON, &out), ZQMF_LIB_OK);
  const nlohmann::json all = nlohmann::json::parse(out);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0]["samples"][1]["time"], 0.25);
  EXPECT_EQ(all[0]["samples"][1]["values"], nlohmann::json::parse("[[0.01,0,9.81]]"));
  EXPECT_EQ(all[1]["key"], "LENS");
  EXPECT_EQ(all[1]["samples"][0]["time"], nullptr);
  EXPECT_EQ(all[1]["samples"][0]["values"], nlohmann::json::parse(R"(["wide"])"));
  EXPECT_EQ(all[2]["samples"][0]["values"], nlohmann::json::parse("[[60]]"));

  ASSERT_EQ(t->ExportTimeline(err, ZQMF_EXPORT_TEXT, &out), ZQMF_LIB_OK);
  EXPECT_NE(out.find("ACCL 0.75 0.03 0 9.81\n"), std::string::npos) << out;
  EXPECT_NE(out.find("TZON - 60\n"), std::string::npos) << out;
  EXPECT_NE(out.find("LENS - \"wide\"\n"), std::string::npos) << out;
}

// Photos with a block are read on the sample card (tests/telemetry); here files without one.
TEST_F(ZqmfTimeline, FilesWithoutABlockAreNoSource) {
  const std::string jpeg = std::string("\xFF\xD8\xFF\xE0\x00\x04\x00\x00", 8) +
                           std::string("\xFF\xDA\x00\x02\x00\xFF\xD9", 7);
  ZQMFTimeline t;
  ZQMF_LIB_ERROR err;
  zqtest::WriteFile(dir_.path() + "/plain.jpg", jpeg);
  EXPECT_EQ(t.OpenURI(dir_.path() + "/plain.jpg", err), ZQMF_LIB_ERROR_NO_SAMPLE);
  EXPECT_EQ(t.OpenURI(dir_.path() + "/none.jpg", err), ZQMF_ERROR_MEMORY);
  zqtest::WriteFile(dir_.path() + "/notes.txt", "hello, world");
  EXPECT_EQ(t.OpenURI(dir_.path() + "/notes.txt", err), ZQMF_LIB_ERROR_NO_SAMPLE);
  uint32_t n = 0;
  EXPECT_EQ(t.Parse(err, ZQMF_PARSE_TRACK, {"SFLG"}, nullptr), ZQMF_LIB_ERROR_NO_SAMPLE);
  // A file that starts like a movie but holds none.
  zqtest::WriteFile(mp4_, kMovieStart);
  EXPECT_EQ(t.OpenURI(mp4_, err), ZQMF_LIB_ERROR_NO_SAMPLE);
  EXPECT_EQ(t.GetSampleCount("SFLG", n), ZQMF_ERROR_MEMORY);  // no source
}

TEST_F(ZqmfTimeline, DamagedPayloadsKeepWhatCanBeRead) {
  std::vector<uint8_t> bad = Payload(1);
  bad[bad.size() - 7] = 0x7F;  // the Spotmark record's struct size: now beyond its nest
  recording_.track = {{Payload(0), 0, 1}, {bad, 1, 2}, {Payload(2), 2, 3}};
  auto t = Recording();
  ZQMF_LIB_ERROR err;
  ASSERT_EQ(t->OpenURI(mp4_, err), ZQMF_LIB_OK);
  EXPECT_EQ(t->Parse(err, ZQMF_PARSE_TRACK, {"SFLG", "ACCL"}, nullptr), ZQMF_ERROR_BAD_STRUCTURE);
  EXPECT_EQ(Count(*t, "SFLG"), 2u);
  EXPECT_EQ(Count(*t, "ACCL"), 12u);

  recording_.track[1] = {Payload(1), 1, 2};
  EXPECT_EQ(t->Parse(err, ZQMF_PARSE_TRACK, {"ACCL", "TOO LONG"}, nullptr), ZQMF_ERROR_MEMORY);
  EXPECT_EQ(Count(*t, "ACCL"), 12u);
}

TEST_F(ZqmfTimeline, CompressedRecordsShareOneCodebook) {
  // Several compressed occurrences per payload, each after a scale, over several payloads.
  auto payload = [](int16_t base) {
    ZQMFWriter w;
    w.BeginNest("DEVC");
    for (int stream = 0; stream < 2; stream++) {
      w.BeginNest("STRM");
      w.AddValue("SCAL", int16_t{10});
      std::vector<int16_t> xyz;
      for (int i = 0; i < 50; i++) xyz.insert(xyz.end(), {int16_t(base + i), int16_t(stream), 7});
      w.AddCompressed("ACCL", 's', 6, 50, xyz.data());
      w.EndNest();
    }
    w.EndNest();
    std::vector<uint8_t> out;
    EXPECT_EQ(w.Finish(&out), ZQMF_OK);
    return out;
  };
  recording_.track = {{payload(0), 0, 1}, {payload(500), 1, 2}};
  auto t = Recording();
  ZQMF_LIB_ERROR err;
  ASSERT_EQ(t->OpenURI(mp4_, err), ZQMF_LIB_OK);
  ASSERT_EQ(t->Parse(err, ZQMF_PARSE_TRACK, {"ACCL"}, nullptr), ZQMF_LIB_OK);
  std::vector<ZQMFAssetSample> keep;
  const auto accl = Drain(t.get(), "ACCL", &keep);
  ASSERT_EQ(accl.size(), 200u);
  double x = 0, stream = 0;
  ASSERT_TRUE(accl[199]->Number(0, 0, &x));
  ASSERT_TRUE(accl[199]->Number(0, 1, &stream));
  EXPECT_FLOAT_EQ(x, 54.9f);
  EXPECT_FLOAT_EQ(stream, 0.1f);
}

TEST_F(ZqmfTimeline, GlobalSettingsCanBeRewrittenInAWritableBuffer) {
  std::vector<uint8_t> block = Settings();
  ZQMFTimeline t;
  ZQMF_LIB_ERROR err;
  t.SetZQMFGlobalBuffer(static_cast<const void*>(block.data()), block.size(), err);
  const int16_t tz = -300;
  EXPECT_EQ(t.ModifyGlobalSettings(err, "TZON", 's', 2, 1, &tz), ZQMF_ERROR_MEMORY);
  t.SetZQMFGlobalBuffer(block.data(), block.size(), err);
  ASSERT_EQ(t.ModifyGlobalSettings(err, "TZON", 's', 2, 1, &tz), ZQMF_LIB_OK);
  ASSERT_EQ(t.Parse(err, ZQMF_PARSE_GLOBAL_BUFFER, {"TZON"}, nullptr), ZQMF_LIB_OK);
  const ZQMFAssetSample* s = t.GetNextSample("TZON", err);
  ASSERT_NE(s, nullptr);
  int64_t v = 0;
  ASSERT_TRUE(s->Integer(0, 0, &v));
  EXPECT_EQ(v, -300);
  EXPECT_EQ(t.ModifyGlobalSettings(err, "TZON", 'l', 4, 2, &tz), ZQMF_ERROR_BAD_STRUCTURE);

  ZQMFAssetSample added = *s;
  added.startTime = 5;
  ASSERT_EQ(t.AddSampleToTimeline(err, added), ZQMF_LIB_OK);
  EXPECT_EQ(Count(t, "TZON"), 2u);
  EXPECT_EQ(t.GetSample("TZON", 1, err)->startTime, 5);
}

}  // namespace
