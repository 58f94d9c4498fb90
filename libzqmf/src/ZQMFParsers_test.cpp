#include "zqmf/ZQMFParsers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zqmf/zqmfWriter.h"
#include "zqtest/TempDir.h"

namespace {

// A settings block: one device, a stream of facts, and a stream of telemetry around them.
template <class Fill>
std::vector<uint8_t> Block(Fill fill) {
  ZQMFWriter w;
  w.BeginNest("DEVC");
  w.AddValue("DVID", uint32_t{1});
  w.AddString("DVNM", "Camera");
  w.BeginNest("STRM");
  const int16_t xyz[3] = {1, 2, 3};
  w.AddValues("GYRO", xyz, 3, 1);
  w.EndNest();
  w.BeginNest("STRM");
  fill(&w);
  w.EndNest();
  w.EndNest();
  std::vector<uint8_t> out;
  EXPECT_EQ(w.Finish(&out), ZQMF_OK);
  return out;
}

const auto kNothing = [](ZQMFWriter* w) { w->AddString("STNM", "none"); };

TEST(ZqmfParsers, SpotmarkFlag) {
  ZQMFParserSpotmarkFlag p;
  EXPECT_FALSE(p.beenInitialized());
  std::vector<uint8_t> b = Block([](ZQMFWriter* w) { w->AddValue("SFLG", uint8_t{1}); });
  ASSERT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
  EXPECT_TRUE(p.beenInitialized());
  EXPECT_TRUE(p.spotmarkFlag());
  EXPECT_EQ(p.parseType(), ZQMF_PARSE_GLOBAL_BUFFER);

  b = Block([](ZQMFWriter* w) { w->AddValue("SFLG", uint8_t{2}); });
  ASSERT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
  EXPECT_FALSE(p.spotmarkFlag());  // only 1 sets it
  b = Block(kNothing);
  ASSERT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
  EXPECT_FALSE(p.spotmarkFlag());
  EXPECT_EQ(p.timelineError(), ZQMF_LIB_ERROR_KEY_NOT_FOUND);
  b = Block([](ZQMFWriter* w) { w->AddRaw("SFLG", 'B', 1, 0, nullptr); });
  EXPECT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);  // no samples
  EXPECT_FALSE(p.spotmarkFlag());

  EXPECT_EQ(p.init(nullptr, 4), ZQMF_PARSE_INVALID_ARGUMENT);
  EXPECT_EQ(p.init(b.data(), 0), ZQMF_PARSE_INVALID_ARGUMENT);
  EXPECT_EQ(p.init(std::string(), ZQMF_PARSE_TRACK_THEN_UDTA), ZQMF_PARSE_INVALID_ARGUMENT);
}

TEST(ZqmfParsers, TimeZoneOffsetKeepsOnlyRealZones) {
  const struct {
    int64_t minutes;
    bool as_long;
    int16_t kept;
    const char* text;
  } kCases[] = {
      {60, false, 60, "+01:00"},
      {-720, false, -720, "-12:00"},
      {840, false, 840, "+14:00"},
      {330, true, 330, "+05:30"},
      {900, false, kZQMFTimeZoneUnknown, ""},
      {-721, false, kZQMFTimeZoneUnknown, ""},
      {65536 + 60, true, kZQMFTimeZoneUnknown, ""},
  };
  for (const auto& c : kCases) {
    std::vector<uint8_t> b = Block([&](ZQMFWriter* w) {
      if (c.as_long) {
        w->AddValue("TZON", static_cast<int32_t>(c.minutes));
      } else {
        w->AddValue("TZON", static_cast<int16_t>(c.minutes));
      }
    });
    ZQMFTimeZoneOffsetParser p;
    ASSERT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
    EXPECT_EQ(p.timeZoneOffset(), c.kept) << c.minutes;
    EXPECT_EQ(p.timeZoneOffsetText(), c.text) << c.minutes;
  }
  ZQMFTimeZoneOffsetParser none;
  std::vector<uint8_t> b = Block(kNothing);
  ASSERT_EQ(none.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
  EXPECT_EQ(none.timeZoneOffset(), kZQMFTimeZoneUnknown);
  b = Block([](ZQMFWriter* w) { w->AddString("TZON", "+01:00"); });
  EXPECT_EQ(none.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_BAD_VALUE);
  EXPECT_EQ(none.timeZoneOffset(), kZQMFTimeZoneUnknown);
}

TEST(ZqmfParsers, MediaType) {
  ZQMFParserMediaType p;
  std::vector<uint8_t> b = Block([](ZQMFWriter* w) { w->AddValue("MTYP", uint8_t{13}); });
  ASSERT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
  EXPECT_EQ(convertZQMFMediaTypeToZQMediaType(p.mediaType()), ZQMediaEnums::kMediaTypePhoto);
  b = Block([](ZQMFWriter* w) { w->AddValue("MTYP", uint32_t{17}); });
  ASSERT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
  EXPECT_EQ(p.mediaType(), ZQMF_MEDIA_TYPE_UNKNOWN);
  b = Block([](ZQMFWriter* w) { w->AddValue("MTYP", uint8_t{9}); });
  ASSERT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
  b = Block(kNothing);  // a later block without the key goes back to the default
  ASSERT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
  EXPECT_EQ(p.mediaType(), ZQMF_MEDIA_TYPE_UNKNOWN);
}

TEST(ZqmfParsers, LensProjection) {
  ZQMFParserLensProjection p;
  std::vector<uint8_t> b = Block([](ZQMFWriter* w) { w->Add("PRJT", 'F', 4, 1, "EACO"); });
  ASSERT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
  EXPECT_EQ(convertZQMFLensProjectionToZQMediaLensProjection(p.lensProjection()),
            ZQMediaEnums::kLensEACOverlap);
  EXPECT_EQ(p.lensProjectionCode(), "EACO");
  b = Block([](ZQMFWriter* w) { w->AddString("PRJT", "ABCD"); });
  ASSERT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
  EXPECT_EQ(p.lensProjection(), ZQMF_LENS_PROJECTION_STOCK);
  EXPECT_EQ(p.lensProjectionCode(), "ABCD");
  b = Block(kNothing);
  ASSERT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_OK);
  EXPECT_EQ(p.lensProjection(), ZQMF_LENS_PROJECTION_NONE);
  EXPECT_EQ(p.lensProjectionCode(), "");
  b = Block([](ZQMFWriter* w) { w->AddValue("PRJT", uint32_t{0x45524230}); });
  EXPECT_EQ(p.init(b.data(), static_cast<uint32_t>(b.size())), ZQMF_PARSE_BAD_VALUE);
  EXPECT_EQ(p.lensProjection(), ZQMF_LENS_PROJECTION_NONE);
}

// Photos of the sample card are read through these extractors in tests/telemetry.
TEST(ZqmfParsers, MissingFilesAndDamagedBlocks) {
  zqtest::TempDir dir;
  const std::vector<uint8_t> block = Block([](ZQMFWriter* w) { w->AddValue("SFLG", uint8_t{1}); });
  ZQMFParserSpotmarkFlag flag;
  ASSERT_EQ(flag.init(block.data(), static_cast<uint32_t>(block.size())), ZQMF_PARSE_OK);
  EXPECT_TRUE(flag.spotmarkFlag());
  EXPECT_EQ(flag.init(dir.path() + "/missing.JPG", ZQMF_PARSE_TRACK_THEN_UDTA),
            ZQMF_PARSE_OPEN_FAILED);
  EXPECT_FALSE(flag.spotmarkFlag());
  EXPECT_TRUE(flag.beenInitialized());

  // A block that is not ZQMF at all, or cut short: defaults, the timeline says why.
  const std::string junk = "not a ZQMF block at all";
  ASSERT_EQ(flag.init(junk.data(), static_cast<uint32_t>(junk.size())), ZQMF_PARSE_OK);
  EXPECT_FALSE(flag.spotmarkFlag());
  EXPECT_EQ(flag.timelineError(), ZQMF_ERROR_BAD_STRUCTURE);
  ASSERT_EQ(flag.init(block.data(), static_cast<uint32_t>(block.size() - 4)), ZQMF_PARSE_OK);
  EXPECT_FALSE(flag.spotmarkFlag());
}

}  // namespace
