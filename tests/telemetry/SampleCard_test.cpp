// The sample card of the simulated camera carries telemetry that the library, the tag
// extractors and the zqmf tool read back.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "zqmf/ZQMFParsers.h"
#include "zqmf/zqmfContainers.h"
#include "zqmftimeline/ZQMFTimeline.h"
#include "zqsim/SimCard.h"
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

void ClipsCarryTelemetryInTheirUserData() {
  for (const char* name : {"ZQ010001.MP4", "ZQ010001.LRV", "ZQ010002.MP4", "ZQ010002.LRV"}) {
    std::vector<uint8_t> block;
    ASSERT_EQ(zqmf_mp4_read_udta_block(File(name).c_str(), &block), ZQMF_OK) << name;
    ZQMFTimeline t;
    ZQMF_LIB_ERROR err;
    t.SetZQMFGlobalBuffer(static_cast<const void*>(block.data()), block.size(), err);
    ASSERT_EQ(t.Parse(err, ZQMF_PARSE_GLOBAL_BUFFER, {"ACCL", "GYRO", "GPS5"}, nullptr),
              ZQMF_LIB_OK)
        << name;
    const ZQMFAssetSample* s = t.GetNextSample("ACCL", err);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->repeat, 400u);  // two seconds at 200 Hz
    double g = 0;
    ASSERT_TRUE(s->Number(0, 0, &g));
    EXPECT_NEAR(g, 9.81, 0.5);
    s = t.GetNextSample("GPS5", err);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->repeat, 36u);  // 18 Hz
    double lat = 0;
    ASSERT_TRUE(s->Number(0, 0, &lat));
    EXPECT_NEAR(lat, 46.5, 0.1);

    // The clip is still a valid movie.
    int status = -1;
    const std::string duration = Command(
        "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + File(name) + "'", &status);
    EXPECT_EQ(status, 0) << name;
    EXPECT_EQ(duration, "2.000000\n") << name;
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
  const char* bin = getenv("ZQ_BIN_DIR");
  ASSERT_NE(bin, nullptr);
  const std::string zqmf = std::string(bin) + "/zqmf";
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
}

// One test: making the card (ffmpeg) takes most of the time.
TEST(SampleCard, ClipsAndPhotosCarryTelemetry) {
  zqtest::TempDir dir;
  g_card = dir.path();
  std::string error;
  ASSERT_TRUE(zqsim::MakeCard(g_card, &error)) << error;
  {
    SCOPED_TRACE("clips");
    ClipsCarryTelemetryInTheirUserData();
  }
  {
    SCOPED_TRACE("photos");
    PhotosCarryTheCameraFacts();
  }
  {
    SCOPED_TRACE("tool");
    TheToolShowsEveryFilesTelemetry();
  }
}

}  // namespace
