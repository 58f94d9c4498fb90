#include "zqmf/ZQMediaEnums.h"

#include <cstring>

#include "zqmf/ZQCameraModels.h"

namespace {

const char* const kMediaTypeText[] = {
    "Unknown",         "Photo",        "Video",       "Burst",           "TimeLapse",
    "TimeLapseVideo",  "LoopedVideo",  "SessionFile", "ContinuousPhoto", "NightPhoto",
    "NightLapsePhoto", "PhotoInVideo", "LiveBurst",
};

const char* const kLensText[] = {
    "non-Tavro Camera",
    "Stock Tavro Lens",
    "ERP Projection (single image)",
    "Stock EAC (single image)",
    "EAC Split Top first (split slice)",
    "EAC Split Bottom first (split slice)",
    "EAC with Overlap region for post multi-band blending (top first)",
    "Padded EAC (single image, with padding)",
    "Padded EAC Top",
    "Padded EAC Bottom",
    "Fisheye Front",
    "Fisheye Back",
    "Dual Fisheye Front then Back",
    "Dual Fisheye Back then Front",
    "Panorama",
    "Tiny Planet projection",
};

// The four-character codes of projections 2 to 15, in order.
const char kLensCodes[][5] = {"ERP0", "EAC0", "EACT", "EACB", "EACO", "PEAC", "PEAT",
                              "PEAB", "FSHF", "FSHB", "FSFB", "FSBF", "PANO", "TINY"};

// Media type of each raw "MTYP" value 0 to 26 (the camera's capture modes).
const int32_t kRawMediaType[] = {
    2,  5, 11, 6, 0,  2, 12, 5, 10, 3, 4, 8, 9, 1,  // 0-13
    11, 6, 12, 0, 10, 3, 4,  8, 9,  1, 2, 1, 5,     // 14-26
};

}  // namespace

namespace ZQMediaEnums {

const char* mediaTypeToStr(ZQMediaType type) {
  const int32_t n = static_cast<int32_t>(sizeof(kMediaTypeText) / sizeof(kMediaTypeText[0]));
  return type >= 0 && type < n ? kMediaTypeText[type] : kMediaTypeText[0];
}

const char* lensProjectionToStr(ZQMediaLensProjection projection) {
  const int32_t n = static_cast<int32_t>(sizeof(kLensText) / sizeof(kLensText[0]));
  return projection >= 0 && projection < n ? kLensText[projection] : kLensText[0];
}

}  // namespace ZQMediaEnums

ZQMFMediaType ZQMFMediaTypeFromRaw(int64_t raw) {
  const int64_t n = static_cast<int64_t>(sizeof(kRawMediaType) / sizeof(kRawMediaType[0]));
  return static_cast<ZQMFMediaType>(raw >= 0 && raw < n ? kRawMediaType[raw] : 0);
}

ZQMFLensProjection ZQMFLensProjectionFromCode(const char code[4]) {
  for (size_t i = 0; i < sizeof(kLensCodes) / sizeof(kLensCodes[0]); i++) {
    if (memcmp(code, kLensCodes[i], 4) == 0) return static_cast<ZQMFLensProjection>(i + 2);
  }
  return ZQMF_LENS_PROJECTION_STOCK;
}

ZQMediaEnums::ZQMediaType convertZQMFMediaTypeToZQMediaType(ZQMFMediaType type) {
  return type >= 1 && type <= 12 ? static_cast<ZQMediaEnums::ZQMediaType>(type)
                                 : ZQMediaEnums::kMediaTypeUnknown;
}

ZQMediaEnums::ZQMediaLensProjection convertZQMFLensProjectionToZQMediaLensProjection(
    ZQMFLensProjection projection) {
  return projection >= 1 && projection <= 15
             ? static_cast<ZQMediaEnums::ZQMediaLensProjection>(projection)
             : ZQMediaEnums::kLensNonTavroCamera;
}

int32_t convertZQMFParseErrorToMediaError(int32_t error) {
  static const int32_t kMediaError[] = {0, 3, 12, 20, 21, 22, 23};
  return error >= 0 && error <= 6 ? kMediaError[error] : 20;
}

int32_t FirmwareVersionToModelName(const char* version, std::string* displayName,
                                   std::string* shortName) {
  if (version == nullptr) return -1;
  if (displayName != nullptr) displayName->clear();
  if (shortName != nullptr) shortName->clear();
  const ZQCameraModel* row = zq_camera_model_for_firmware(version);
  if (row == nullptr) return 1;
  if (displayName != nullptr) *displayName = row->displayName;
  if (shortName != nullptr) *shortName = row->shortName;
  return 0;
}
