// The sample card of the simulated camera carries telemetry that the library, the tag
// extractors and the zqmf tool read back.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mp4boxes/BoxBuilder.h"
#include "zqmf/ZQMFParsers.h"
#include "zqmftimeline/ZQMFTimeline.h"
#include "zqsim/SimCard.h"
#include "zqtest/Programs.h"
#include "zqtest/TempDir.h"

namespace {

// Runs `command`, returning its standard output; `*status` gets its exit status.
std::string Command(const std::string& command, int* status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), p)) > 0) out.append(buffer, n);
  const int raw = pclose(p);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string g_card;  // the card made for the checks below

std::string File(const char* name) { return g_card + "/DCIM/100TAVRO/" + name; }

// The values the card's clips were made with, read back through the timeline from their
// telemetry track; their facts from the user data; the clips still play.
void ClipsCarryATelemetryTrack() {
  for (const char* name : {"ZQ010001.MP4", "ZQ010001.LRV", "ZQ010002.MP4", "ZQ010002.LRV"}) {
    SCOPED_TRACE(name);
    ZQMFTimeline t;
    ZQMF_LIB_ERROR err;
    ASSERT_EQ(t.OpenURI(File(name), err), ZQMF_LIB_OK);
    ASSERT_EQ(t.Parse(err, ZQMF_PARSE_TRACK, {"ACCL", "GYRO", "GPS5"}, nullptr), ZQMF_LIB_OK);
    uint32_t n = 0;
    ASSERT_EQ(t.GetSampleCount("ACCL", n), ZQMF_LIB_OK);
    EXPECT_EQ(n, 400u);  // two seconds at 200 Hz
    ASSERT_EQ(t.GetSampleCount("GPS5", n), ZQMF_LIB_OK);
    EXPECT_EQ(n, 36u);  // 18 Hz
    for (uint32_t k = 0; k < 400; k += 57) {
      const ZQMFAssetSample* s = t.GetSample("ACCL", k, err);
      ASSERT_NE(s, nullptr);
      EXPECT_NEAR(s->startTime, k / 200.0, 1e-9);
      double g = 0;
      ASSERT_TRUE(s->Number(0, 0, &g));
      EXPECT_NEAR(g, 9.81, 0.35) << k;  // gravity and a little vibration
    }
    const ZQMFAssetSample* fix = t.GetSample("GPS5", 35, err);
    ASSERT_NE(fix, nullptr);
    EXPECT_NEAR(fix->startTime, 35 / 18.0, 1e-9);
    double lat = 0;
    ASSERT_TRUE(fix->Number(0, 0, &lat));
    EXPECT_NEAR(lat, 46.5, 0.01);  // scaled to degrees
    EXPECT_EQ(t.GetTrackDuration(err).c_string(), "2");

    // The facts live in the user data; parse type 0 finds them after the track.
    ASSERT_EQ(t.Parse(err, ZQMF_PARSE_TRACK_THEN_UDTA, {"MTYP", "TZON"}, nullptr), ZQMF_LIB_OK);
    const ZQMFAssetSample* zone = t.GetNextSample("TZON", err);
    ASSERT_NE(zone, nullptr);
    double minutes = 0;
    ASSERT_TRUE(zone->Number(0, 0, &minutes));
    EXPECT_EQ(minutes, 60);
    ZQMFParserMediaType type;
    ASSERT_EQ(type.init(File(name), ZQMF_PARSE_TRACK_THEN_UDTA), ZQMF_PARSE_OK);
    EXPECT_EQ(convertZQMFMediaTypeToZQMediaType(type.mediaType()), ZQMediaEnums::kMediaTypeVideo);

    // The clip is still a valid movie: ffprobe sees the telemetry stream and the duration,
    // ffmpeg decodes it.
    int status = -1;
    const std::string probe = Command(
        "ffprobe -v error -show_entries format=duration:stream=codec_tag_string -of "
        "csv=p=0 '" +
            File(name) + "'",
        &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(probe.find("zqmd"), std::string::npos) << probe;
    EXPECT_NE(probe.find("2.000000"), std::string::npos) << probe;
    Command("ffmpeg -nostdin -v error -i '" + File(name) + "' -f null - 2>&1", &status);
    EXPECT_EQ(status, 0);
  }
}

void PhotosCarryTheCameraFacts() {
  const struct {
    const char* name;
    bool spotmark;
  } kPhotos[] = {{"TAVR0003.JPG", false}, {"TAVR0004.JPG", true}};
  for (const auto& p : kPhotos) {
    ZQMFParserMediaType type;
    ZQMFParserLensProjection lens;
    ZQMFTimeZoneOffsetParser zone;
    ZQMFParserSpotmarkFlag flag;
    ASSERT_EQ(type.init(File(p.name), ZQMF_PARSE_TRACK_THEN_UDTA), ZQMF_PARSE_OK) << p.name;
    ASSERT_EQ(lens.init(File(p.name), ZQMF_PARSE_TRACK_THEN_UDTA), ZQMF_PARSE_OK) << p.name;
    ASSERT_EQ(zone.init(File(p.name), ZQMF_PARSE_TRACK_THEN_UDTA), ZQMF_PARSE_OK) << p.name;
    ASSERT_EQ(flag.init(File(p.name), ZQMF_PARSE_TRACK_THEN_UDTA), ZQMF_PARSE_OK) << p.name;
    EXPECT_EQ(convertZQMFMediaTypeToZQMediaType(type.mediaType()), ZQMediaEnums::kMediaTypePhoto);
    EXPECT_EQ(convertZQMFLensProjectionToZQMediaLensProjection(lens.lensProjection()),
              ZQMediaEnums::kLensStock);
    EXPECT_EQ(lens.lensProjectionCode(), "ZQLS");
    EXPECT_EQ(zone.timeZoneOffsetText(), "+01:00");
    EXPECT_EQ(flag.spotmarkFlag(), p.spotmark) << p.name;
  }
}

void TheToolShowsEveryFilesTelemetry() {
  ASSERT_NE(getenv("ZQ_BIN_DIR"), nullptr);
  const std::string zqmf = zqtest::ProgramCommand("zqmf");
  for (const char* name : {"ZQ010001.MP4", "ZQ010002.LRV", "TAVR0003.JPG"}) {
    int status = -1;
    const std::string dump = Command(zqmf + " dump '" + File(name) + "'", &status);
    EXPECT_EQ(status, 0) << name;
    EXPECT_NE(dump.find("  STRM  nest"), std::string::npos) << dump;
    EXPECT_NE(dump.find("    ACCL  s 6x"), std::string::npos) << dump;
    EXPECT_NE(dump.find("    PRJT  F 4x1  \"ZQLS\""), std::string::npos) << dump;
  }
  int status = -1;
  const std::string json = Command(zqmf + " json '" + File("TAVR0004.JPG") + "' TZON", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(json,
            "{\"key\":\"TZON\",\"type\":\"s\",\"samples\":[{\"time\":null,\"duration\":null,"
            "\"values\":[[60]]}]}\n");
  Command(zqmf + " dump '" + File("ZQ010001.THM") + "' 2>/dev/null", &status);
  EXPECT_EQ(status, 1);  // a thumbnail has no telemetry

  // A recording: timed samples from its track, a fact from its user data.
  const std::string gps = Command(zqmf + " json '" + File("ZQ010001.MP4") + "' GPS5", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(gps.rfind("{\"key\":\"GPS5\",\"type\":\"d\",\"samples\":[{\"time\":0,", 0), 0u) << gps;
  EXPECT_NE(gps.find("{\"time\":1.9444444444444444,"), std::string::npos) << gps;
  const std::string zone = Command(zqmf + " json '" + File("ZQ010001.MP4") + "' TZON", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(zone.find("{\"time\":null,\"duration\":null,\"values\":[[60]]}"), std::string::npos)
      << zone;
  const std::string dump = Command(zqmf + " dump '" + File("ZQ010002.MP4") + "'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(dump.find("MP4 telemetry track, 2 samples, 2 s\nsample 0  0.000-1.000 s, "),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("\nsample 1  1.000-2.000 s, "), std::string::npos) << dump;
  EXPECT_NE(dump.find(": MP4 user data, "), std::string::npos) << dump;
}

// The telemetry track's chunk offsets in `file`: the `stco` of the track whose handler is
// `meta`.
mp4boxes::BoxRef TelemetryOffsets(const std::string& file) {
  for (const mp4boxes::BoxRef& trak : mp4boxes::FindAll(file, {"moov", "trak"})) {
    const auto hdlr = mp4boxes::Find(file, {"mdia", "hdlr"}, trak.Payload(), trak.End());
    if (!hdlr || file.compare(hdlr->Payload() + 8, 4, "meta") != 0) continue;
    const auto stco =
        mp4boxes::Find(file, {"mdia", "minf", "stbl", "stco"}, trak.Payload(), trak.End());
    if (stco) return *stco;
  }
  ADD_FAILURE() << "no telemetry track";
  return {};
}

// A copy of a clip whose second telemetry sample points past the end of the file: the tool
// says so, shows the rest, and fails; nothing crashes.
void DamagedClipsAreReportedNotFatal() {
  ASSERT_NE(getenv("ZQ_BIN_DIR"), nullptr);
  const std::string zqmf = zqtest::ProgramCommand("zqmf");
  std::string clip = zqtest::ReadFile(File("ZQ010001.LRV"));
  const mp4boxes::BoxRef stco = TelemetryOffsets(clip);
  ASSERT_EQ(mp4boxes::Get32(clip, stco.Payload() + 4), 2u);
  mp4boxes::Set32(clip, stco.Payload() + 12, static_cast<uint32_t>(clip.size() + 1000));
  zqtest::TempDir dir;
  const std::string path = dir.path() + "/damaged.LRV";
  zqtest::WriteFile(path, clip);

  int status = -1;
  const std::string dump = Command(zqmf + " dump '" + path + "' 2>&1", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(dump.find("sample 0  0.000-1.000 s"), std::string::npos) << dump;
  EXPECT_NE(dump.find("telemetry sample 1 ("), std::string::npos) << dump;
  EXPECT_NE(dump.find("lies outside the file"), std::string::npos) << dump;
  const std::string json = Command(zqmf + " json '" + path + "' GYRO", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(json.find("\"samples\":[{\"time\":0,"), std::string::npos) << json;

  ZQMFTimeline t;
  ZQMF_LIB_ERROR err;
  ASSERT_EQ(t.OpenURI(path, err), ZQMF_LIB_OK);
  EXPECT_EQ(t.Parse(err, ZQMF_PARSE_TRACK, {"GYRO"}, nullptr), ZQMF_LIB_ERROR_PAYLOAD_UNREADABLE);
  uint32_t n = 0;
  t.GetSampleCount("GYRO", n);
  EXPECT_EQ(n, 200u);  // the first second
}

// A raw file past the tool's limit is refused by its size, also when that size passes 4 GiB
// (a sparse file), where a 32-bit size would wrap to a few bytes.
TEST(ZqmfTool, RawFilesPastTheLimitAreRefused) {
  ASSERT_NE(getenv("ZQ_BIN_DIR"), nullptr);
  zqtest::TempDir dir;
  for (const uint64_t size : {(uint64_t{256} << 20) + 1, (uint64_t{1} << 32) + 16}) {
    const std::string path = dir.path() + "/big.zqmf";
    zqtest::WriteFile(path, "");
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
    int status = -1;
    const std::string out =
        Command(zqtest::ProgramCommand("zqmf") + " dump '" + path + "' 2>&1", &status);
    EXPECT_EQ(status, 2) << size;
    EXPECT_NE(out.find("not a regular file of at most 256 MiB"), std::string::npos) << out;
  }
}

// One test: making the card (ffmpeg) takes most of the time.
TEST(SampleCard, ClipsAndPhotosCarryTelemetry) {
  zqtest::TempDir dir;
  g_card = dir.path();
  std::string error;
  ASSERT_TRUE(zqsim::MakeCard(g_card, &error)) << error;
  {
    SCOPED_TRACE("clips");
    ClipsCarryATelemetryTrack();
  }
  {
    SCOPED_TRACE("photos");
    PhotosCarryTheCameraFacts();
  }
  {
    SCOPED_TRACE("tool");
    TheToolShowsEveryFilesTelemetry();
  }
  {
    SCOPED_TRACE("damaged clip");
    DamagedClipsAreReportedNotFatal();
  }
}

}  // namespace
