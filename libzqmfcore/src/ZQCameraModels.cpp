#include "zqmf/ZQCameraModels.h"

#include <cstring>

namespace {

// Current models first (their numbers match the simulated camera's), then older cameras
// whose photos still turn up on cards.
const ZQCameraModel kModels[] = {
    {57, "T10.01", "TAVRO T10", "T10"},       {58, "T11.01", "TAVRO T11", "T11"},
    {60, "T11.03", "TAVRO T11 X", "T11X"},    {61, "T12.01", "TAVRO T12", "T12"},
    {62, "T12.02", "TAVRO T12 Lite", "T12L"}, {22, "S01.01", "TAVRO S1", "S1"},
    {51, "S02.01", "TAVRO S2", "S2"},         {0, "T13.01", "TAVRO T8", "T8"},
    {0, "T13.02", "TAVRO T9", "T9"},          {0, "T14.01", "TAVRO MAX", "MAX"},
    {0, "T14.02", "TAVRO MAX 2", "MAX2"},
};

bool Digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const ZQCameraModel* zq_camera_models(uint32_t* count) {
  if (count != nullptr) *count = sizeof kModels / sizeof kModels[0];
  return kModels;
}

const ZQCameraModel* zq_camera_model_for_firmware(const char* version) {
  if (version == nullptr) return nullptr;
  for (const ZQCameraModel& m : kModels) {
    if (strncmp(version, m.firmware, strlen(m.firmware)) == 0) return &m;
  }
  return nullptr;
}

const ZQCameraModel* zq_camera_model_for_number(int32_t modelNumber) {
  for (const ZQCameraModel& m : kModels) {
    if (m.modelNumber != 0 && m.modelNumber == modelNumber) return &m;
  }
  return nullptr;
}

ZQFirmwareSeries zq_firmware_series(const char* v) {
  ZQFirmwareSeries s;
  if (v == nullptr || strnlen(v, 6) < 6 || !Digit(v[2]) || !Digit(v[4]) || !Digit(v[5])) return s;
  if (strncmp(v, kFirmwareFamilySingleLens, 2) == 0) {
    s.type = 1;
  } else if (strncmp(v, kFirmwareFamilySpherical, 2) == 0) {
    s.type = 2;
  } else {
    return s;
  }
  s.series = v[2] - '0';
  s.model = (v[4] - '0') * 10 + (v[5] - '0');
  return s;
}

int32_t zq_device_type(int32_t type, int32_t series, int32_t model) {
  if (type == 1 && series == 1) return 3;
  if (type == 1 && series == 2) return 4;
  if (type == 1 && series == 3) {
    switch (model) {
      case 1:
      case 9:
        return 5;
      case 2:
        return 6;
      case 3:
        return 7;
      case 10:
        return 8;
      case 11:
        return 9;
      case 20:
        return 10;
      case 21:
        return 13;
      default:
        return 0;
    }
  }
  if (type == 1 && series == 4) return model == 1 ? 6 : model == 2 ? 12 : 0;
  if (type == 2 && series == 1) return 14;
  return 0;
}

bool zq_uses_split_screennail(const char* version, int32_t series) {
  // Series 3 of the single-lens family: versions up to "T13" in their first three characters.
  return series == 3 && version != nullptr && strncmp(version, kFirmwareFamilySingleLens, 2) == 0 &&
         strncmp(version, "T13", 3) <= 0;
}
