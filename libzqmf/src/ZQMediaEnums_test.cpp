#include "zqmf/ZQMediaEnums.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Table lookups: the first and last rows, one inside, and the values outside the table.
TEST(ZqMediaEnums, RawMediaTypesMapThroughTheCameraTable) {
  const struct {
    int64_t raw;
    ZQMediaEnums::ZQMediaType type;
  } kCases[] = {
      {0, ZQMediaEnums::kMediaTypeVideo},           {1, ZQMediaEnums::kMediaTypeTimeLapseVideo},
      {4, ZQMediaEnums::kMediaTypeUnknown},         {13, ZQMediaEnums::kMediaTypePhoto},
      {26, ZQMediaEnums::kMediaTypeTimeLapseVideo}, {27, ZQMediaEnums::kMediaTypeUnknown},
      {-1, ZQMediaEnums::kMediaTypeUnknown},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(convertZQMFMediaTypeToZQMediaType(ZQMFMediaTypeFromRaw(c.raw)), c.type) << c.raw;
  }
}

TEST(ZqMediaEnums, TextsAndConversions) {
  EXPECT_STREQ(ZQMediaEnums::mediaTypeToStr(ZQMediaEnums::kMediaTypeUnknown), "Unknown");
  EXPECT_STREQ(ZQMediaEnums::mediaTypeToStr(ZQMediaEnums::kMediaTypeSessionFile), "SessionFile");
  EXPECT_STREQ(ZQMediaEnums::mediaTypeToStr(ZQMediaEnums::kMediaTypeLiveBurst), "LiveBurst");
  EXPECT_STREQ(ZQMediaEnums::mediaTypeToStr(static_cast<ZQMediaEnums::ZQMediaType>(13)), "Unknown");
  EXPECT_STREQ(ZQMediaEnums::lensProjectionToStr(ZQMediaEnums::kLensNonTavroCamera),
               "non-Tavro Camera");
  EXPECT_STREQ(ZQMediaEnums::lensProjectionToStr(ZQMediaEnums::kLensEACOverlap),
               "EAC with Overlap region for post multi-band blending (top first)");
  EXPECT_STREQ(ZQMediaEnums::lensProjectionToStr(ZQMediaEnums::kLensTinyPlanet),
               "Tiny Planet projection");
  EXPECT_STREQ(
      ZQMediaEnums::lensProjectionToStr(static_cast<ZQMediaEnums::ZQMediaLensProjection>(-4)),
      "non-Tavro Camera");

  EXPECT_EQ(convertZQMFMediaTypeToZQMediaType(static_cast<ZQMFMediaType>(12)),
            ZQMediaEnums::kMediaTypeLiveBurst);
  EXPECT_EQ(convertZQMFMediaTypeToZQMediaType(static_cast<ZQMFMediaType>(13)),
            ZQMediaEnums::kMediaTypeUnknown);
  EXPECT_EQ(convertZQMFLensProjectionToZQMediaLensProjection(static_cast<ZQMFLensProjection>(15)),
            ZQMediaEnums::kLensTinyPlanet);
  EXPECT_EQ(convertZQMFLensProjectionToZQMediaLensProjection(static_cast<ZQMFLensProjection>(16)),
            ZQMediaEnums::kLensNonTavroCamera);

  const int32_t kMediaErrors[] = {0, 3, 12, 20, 21, 22, 23, 20, 20};
  for (int32_t e = 0; e < 9; e++) EXPECT_EQ(convertZQMFParseErrorToMediaError(e), kMediaErrors[e]);
  EXPECT_EQ(convertZQMFParseErrorToMediaError(-1), 20);
}

TEST(ZqMediaEnums, LensCodes) {
  const struct {
    const char* code;
    ZQMediaEnums::ZQMediaLensProjection projection;
  } kCodes[] = {
      {"ERP0", ZQMediaEnums::kLensERP},
      {"TINY", ZQMediaEnums::kLensTinyPlanet},
      {"ABCD", ZQMediaEnums::kLensStock},
      {"erp0", ZQMediaEnums::kLensStock},
  };
  for (const auto& c : kCodes) {
    EXPECT_EQ(convertZQMFLensProjectionToZQMediaLensProjection(ZQMFLensProjectionFromCode(c.code)),
              c.projection)
        << c.code;
  }
}

TEST(ZqMediaEnums, ModelNamesFromFirmwareVersions) {
  std::string display = "x", short_name = "y";
  EXPECT_EQ(FirmwareVersionToModelName("T11.01.02.00", &display, &short_name), 0);
  EXPECT_EQ(display, "TAVRO T11");
  EXPECT_EQ(short_name, "T11");
  EXPECT_EQ(FirmwareVersionToModelName("T11.03.00.10", &display, &short_name), 0);
  EXPECT_EQ(display, "TAVRO T11 X");
  EXPECT_EQ(FirmwareVersionToModelName("S01.01.00.00", &display, &short_name), 0);
  EXPECT_EQ(short_name, "S1");
  EXPECT_EQ(FirmwareVersionToModelName("T11.02.00.10", &display, &short_name), 1);
  EXPECT_EQ(display, "");
  EXPECT_EQ(short_name, "");
  EXPECT_EQ(FirmwareVersionToModelName("T1", &display, &short_name), 1);
  EXPECT_EQ(FirmwareVersionToModelName(nullptr, &display, &short_name), -1);
}

}  // namespace
