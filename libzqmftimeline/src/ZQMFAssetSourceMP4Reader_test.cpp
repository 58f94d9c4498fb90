#include "zqmftimeline/ZQMFAssetSourceMP4Reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "mp4boxes/BoxBuilder.h"
#include "mp4boxes/TelemetryTrack.h"
#include "zqfileio/MemoryFileIO.h"
#include "zqmf/zqmfWriter.h"
#include "zqmftimeline/ZQMFTimeline.h"
#include "zqtest/TempDir.h"

namespace {

constexpr int kSeconds = 3;

std::string Str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// The telemetry of second `second`: four accelerometer samples (x = second x 100 + i, scale
// 100) and a GPS fix whose latitude counts the seconds.
std::string Payload(int second) {
  ZQMFWriter w;
  w.BeginNest("DEVC");
  w.AddValue("DVID", uint32_t{1});
  w.AddString("DVNM", "Camera");
  w.BeginNest("STRM");
  w.AddValue("SCAL", int16_t{100});
  int16_t accl[12];
  for (int i = 0; i < 4; i++) {
    accl[3 * i] = static_cast<int16_t>(second * 100 + i);
    accl[3 * i + 1] = 0;
    accl[3 * i + 2] = 981;
  }
  w.AddValues("ACCL", accl, 3, 4);
  w.EndNest();
  w.BeginNest("STRM");
  w.AddValue("GPS1", static_cast<int32_t>(second));
  w.EndNest();
  w.EndNest();
  std::vector<uint8_t> out;
  EXPECT_EQ(w.Finish(&out), ZQMF_OK);
  return Str(out);
}

// The recording's global facts, as the user data carries them.
std::string Facts() {
  ZQMFWriter w;
  w.BeginNest("DEVC");
  w.AddValue("TZON", int16_t{60});
  w.AddValue("MTYP", uint8_t{0});
  w.EndNest();
  std::vector<uint8_t> out;
  EXPECT_EQ(w.Finish(&out), ZQMF_OK);
  return Str(out);
}

struct ClipShape {
  bool moovFirst = false;
  bool track = true;
  bool facts = true;
  int64_t mediaStart = 0;
  uint32_t delay = 0;
};

// A 3-second movie at 30000/1001 frames per second: 30 video chunks of three frames, with the
// telemetry track added the camera's way (interleaved with the chunks).
std::string Clip(const ClipShape& shape, mp4boxes::TelemetryLayout* layout = nullptr) {
  mp4boxes::TrackRecipe video;
  video.stts = {{90, 1001}};
  video.sizes.assign(90, 40);
  video.stsc = {{1, 3, 1}};
  std::string mdat;
  for (int chunk = 0; chunk < 30; chunk++) {
    video.offsets.push_back(mdat.size());
    mdat += std::string(120, static_cast<char>('a' + chunk % 26));
  }
  const std::string udta = shape.facts ? mp4boxes::Box("ZQMF", Facts()) : "";
  const std::string file =
      mp4boxes::MovieFileWithRelativeChunks({mp4boxes::Trak(video)}, udta, mdat, shape.moovFirst);
  if (!shape.track) return file;
  mp4boxes::TelemetryTrack track;
  for (int s = 0; s < kSeconds; s++) track.samples.push_back(Payload(s));
  track.mediaStart = shape.mediaStart;
  track.delay = shape.delay;
  std::string error;
  std::string out = mp4boxes::AddTelemetryTrack(file, track, layout, &error);
  EXPECT_FALSE(out.empty()) << error;
  return out;
}

class Mp4Telemetry : public ::testing::TestWithParam<bool> {
 protected:
  std::string Write(const std::string& bytes, const char* name = "clip.mp4") {
    const std::string path = dir_.path() + "/" + name;
    zqtest::WriteFile(path, bytes);
    return path;
  }
  zqtest::TempDir dir_;
};

TEST_P(Mp4Telemetry, TimelineReadsTheTrackSamplesAtTheirTimes) {
  ClipShape shape;
  shape.moovFirst = GetParam();
  const std::string path = Write(Clip(shape));
  ZQMFTimeline t;
  ZQMF_LIB_ERROR err = 99;
  ASSERT_EQ(t.OpenURI(path, err), ZQMF_LIB_OK);
  ASSERT_EQ(t.Parse(err, ZQMF_PARSE_TRACK, {"ACCL", "GPS1"}, nullptr), ZQMF_LIB_OK);
  uint32_t n = 0;
  ASSERT_EQ(t.GetSampleCount("ACCL", n), ZQMF_LIB_OK);
  ASSERT_EQ(n, 4u * kSeconds);  // split as the timeline's own tests show
  for (int second = 0; second < kSeconds; second++) {
    const ZQMFAssetSample* s = t.GetNextSample("GPS1", err);
    ASSERT_NE(s, nullptr);
    EXPECT_DOUBLE_EQ(s->startTime, second);
    double v = -1;
    ASSERT_TRUE(s->Number(0, 0, &v));
    EXPECT_EQ(v, second);
  }
  EXPECT_EQ(t.GetNextSample("GPS1", err), nullptr);
  EXPECT_EQ(err, ZQMF_LIB_OK);

  EXPECT_EQ(t.GetTrackDuration(err).c_string(), "3");
  uint32_t frames = 0;
  EXPECT_EQ(t.GetVideoFrameRateAndCount(err, frames).c_string(), "30000/1001");
  EXPECT_EQ(frames, 90u);

  // A range reads the seconds inside it only.
  const ZQMFTimeRange range(1.0, 1.0);
  ASSERT_EQ(t.Parse(err, ZQMF_PARSE_TRACK, {"GPS1"}, &range), ZQMF_LIB_OK);
  const ZQMFAssetSample* s = t.GetNextSample("GPS1", err);
  ASSERT_NE(s, nullptr);
  EXPECT_DOUBLE_EQ(s->startTime, 1.0);
  EXPECT_EQ(t.GetNextSample("GPS1", err), nullptr);
}

TEST_P(Mp4Telemetry, TrackAndUserDataTogetherAndApart) {
  ClipShape shape;
  shape.moovFirst = GetParam();
  ZQMFTimeline t;
  ZQMF_LIB_ERROR err = 99;
  // Type 0 reads the track, then the user data: timed sensor samples and untimed facts.
  ASSERT_EQ(t.OpenURI(Write(Clip(shape)), err), ZQMF_LIB_OK);
  ASSERT_EQ(t.Parse(err, ZQMF_PARSE_TRACK_THEN_UDTA, {"ACCL", "TZON"}, nullptr), ZQMF_LIB_OK);
  const ZQMFAssetSample* s = t.GetNextSample("TZON", err);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->startTime, kZQMFNoTime);
  uint32_t n = 0;
  t.GetSampleCount("ACCL", n);
  EXPECT_EQ(n, 4u * kSeconds);
  EXPECT_EQ(t.Parse(err, ZQMF_PARSE_TRACK, {"TZON"}, nullptr), ZQMF_LIB_ERROR_KEY_NOT_FOUND);
  EXPECT_EQ(t.Parse(err, ZQMF_PARSE_UDTA, {"ACCL"}, nullptr), ZQMF_LIB_ERROR_KEY_NOT_FOUND);

  // Without a track the user data is what there is; without either, no source.
  shape.track = false;
  ASSERT_EQ(t.OpenURI(Write(Clip(shape)), err), ZQMF_LIB_OK);
  EXPECT_EQ(t.Parse(err, ZQMF_PARSE_TRACK, {"TZON"}, nullptr), ZQMF_LIB_ERROR_NO_SAMPLE);
  ASSERT_EQ(t.Parse(err, ZQMF_PARSE_TRACK_THEN_UDTA, {"TZON"}, nullptr), ZQMF_LIB_OK);
  s = t.GetNextSample("TZON", err);
  ASSERT_NE(s, nullptr);
  double zone = 0;
  ASSERT_TRUE(s->Number(0, 0, &zone));
  EXPECT_EQ(zone, 60);
  shape.facts = false;
  EXPECT_EQ(t.OpenURI(Write(Clip(shape)), err), ZQMF_LIB_ERROR_NO_SAMPLE);
  // The track alone.
  shape.track = true;
  ASSERT_EQ(t.OpenURI(Write(Clip(shape)), err), ZQMF_LIB_OK);
  EXPECT_EQ(t.Parse(err, ZQMF_PARSE_UDTA, {"TZON"}, nullptr), ZQMF_LIB_ERROR_NO_SAMPLE);
  EXPECT_EQ(t.Parse(err, ZQMF_PARSE_TRACK_THEN_UDTA, {"ACCL"}, nullptr), ZQMF_LIB_OK);
}

INSTANTIATE_TEST_SUITE_P(MovieFirstAndLast, Mp4Telemetry, ::testing::Bool());

TEST(Mp4TelemetryTimes, EditListDelaysAndStartsTheTrack) {
  // An empty edit of 100 ms, then the media from 500 ms on: sample k (at media time k
  // seconds) is shown at 0.1 + k - 0.5.
  ClipShape shape;
  shape.mediaStart = 500;
  shape.delay = 100;
  const std::string file = Clip(shape);
  MemoryFileIO io(file.data(), file.size());
  ZQMFAssetSourceMP4Reader source(&io);
  ASSERT_EQ(source.OpenMP4Source("in memory"), ZQMF_LIB_OK);
  ASSERT_EQ(source.GetNumberPayloads(), static_cast<uint32_t>(kSeconds));
  for (uint32_t k = 0; k < kSeconds; k++) {
    double start = 0, end = 0;
    ASSERT_EQ(source.GetPayloadTime(k, &start, &end), ZQMF_LIB_OK);
    EXPECT_NEAR(start, 0.1 + k - 0.5, 1e-9) << k;
    EXPECT_NEAR(end, start + 1, 1e-9) << k;
    std::vector<uint32_t> words;
    uint32_t bytes = 0;
    ASSERT_EQ(source.GetPayload(k, &words, &bytes), ZQMF_LIB_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(words.data()), bytes), Payload(k));
  }
  double start = 0, end = 0;
  EXPECT_EQ(source.GetPayloadTime(kSeconds, &start, &end), ZQMF_LIB_ERROR_NO_SAMPLE);
  source.CloseSource();
  EXPECT_EQ(source.GetNumberPayloads(), 0u);
}

// A sample past the end of the file is the sample card's damaged clip (its own test).
TEST(Mp4TelemetryDamage, SamplesOutsideTheFileAreAClearError) {
  mp4boxes::TelemetryLayout layout;
  ClipShape shape;
  shape.moovFirst = true;  // so that cutting the file keeps the movie
  const std::string good = Clip(shape, &layout);
  ASSERT_EQ(layout.offsets.size(), static_cast<size_t>(kSeconds));
  mp4boxes::BoxRef stsz;
  for (const mp4boxes::BoxRef& b :
       mp4boxes::FindAll(good, {"moov", "trak", "mdia", "minf", "stbl", "stsz"})) {
    if (mp4boxes::Get32(good, b.Payload() + 8) == kSeconds) stsz = b;
  }
  ASSERT_NE(stsz.size, 0u);

  std::string huge = good;
  mp4boxes::Set32(huge, stsz.Payload() + 16, 0xFFFFFFF0u);
  const struct {
    const char* name;
    std::string file;
  } kCases[] = {
      {"second sample absurdly large", huge},
      {"file cut short", good.substr(0, layout.offsets[1] + 3)},
  };
  zqtest::TempDir dir;
  for (const auto& c : kCases) {
    MemoryFileIO io(c.file.data(), c.file.size());
    ZQMFAssetSourceMP4Reader source(&io);
    ASSERT_EQ(source.OpenMP4Source(""), ZQMF_LIB_OK) << c.name;
    std::vector<uint32_t> words;
    uint32_t bytes = 0;
    EXPECT_EQ(source.GetPayload(0, &words, &bytes), ZQMF_LIB_OK) << c.name;
    EXPECT_EQ(source.GetPayload(1, &words, &bytes), ZQMF_LIB_ERROR_PAYLOAD_UNREADABLE) << c.name;

    // The timeline keeps what it could read and says what went wrong.
    const std::string path = dir.path() + "/damaged.mp4";
    zqtest::WriteFile(path, c.file);
    ZQMFTimeline t;
    ZQMF_LIB_ERROR err = 99;
    ASSERT_EQ(t.OpenURI(path, err), ZQMF_LIB_OK) << c.name;
    EXPECT_EQ(t.Parse(err, ZQMF_PARSE_TRACK, {"GPS1"}, nullptr), ZQMF_LIB_ERROR_PAYLOAD_UNREADABLE)
        << c.name;
    uint32_t n = 0;
    t.GetSampleCount("GPS1", n);
    EXPECT_EQ(n, c.file == huge ? 2u : 1u) << c.name;
  }
}

TEST(Mp4TelemetryDamage, FilesThatAreNoMovieOpenAsNoSource) {
  zqtest::TempDir dir;
  ZQMFAssetSourceMP4Reader source;
  EXPECT_EQ(source.OpenMP4Source(dir.path() + "/missing.mp4"), ZQMF_ERROR_MEMORY);
  const std::string clip = Clip({});
  const std::string cut = dir.path() + "/cut.mp4";
  zqtest::WriteFile(cut, clip.substr(0, clip.size() - 50));  // the movie atom at the end is cut
  EXPECT_EQ(source.OpenMP4Source(cut), ZQMF_LIB_ERROR_NO_SAMPLE);
  EXPECT_EQ(source.OpenMP4SourceUDTA(cut), ZQMF_LIB_ERROR_NO_SAMPLE);
  EXPECT_EQ(source.GetNumberPayloads(), 0u);
  ZQMFRational rate;
  uint32_t frames = 0;
  EXPECT_EQ(source.GetVideoFrameRateAndCount(&rate, &frames), ZQMF_LIB_ERROR_NO_SAMPLE);
}

}  // namespace
