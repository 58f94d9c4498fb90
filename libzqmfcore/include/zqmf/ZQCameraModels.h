// The camera models the daemon knows by firmware version, and what a version tells about the
// camera: family, series and model, device type, model names, and where photos keep their
// screennail. The same table names the firmware versions of the simulated camera's models.
//
// Firmware versions read "XYs.mm.aa.bb": the family prefix XY ("T1" single-lens cameras,
// type 1; "S0" spherical cameras, type 2), the series digit s and the two-digit model mm.
#ifndef ZQ_LIBZQMF_INCLUDE_ZQMF_ZQCAMERAMODELS_H_
#define ZQ_LIBZQMF_INCLUDE_ZQMF_ZQCAMERAMODELS_H_

#include <cstdint>

inline constexpr char kFirmwareFamilySingleLens[] = "T1";
inline constexpr char kFirmwareFamilySpherical[] = "S0";

struct ZQCameraModel {
  int32_t modelNumber;   // the camera's model number (0: not a current model)
  const char* firmware;  // version prefix, compared with the start of a version
  const char* displayName;
  const char* shortName;
};

// Every row, longer prefixes before shorter ones that they extend.
const ZQCameraModel* zq_camera_models(uint32_t* count);
// The row whose prefix starts `version` (the first in table order), or null.
const ZQCameraModel* zq_camera_model_for_firmware(const char* version);
// The row of a model number, or null.
const ZQCameraModel* zq_camera_model_for_number(int32_t modelNumber);

struct ZQFirmwareSeries {
  int32_t type = 0;  // 1 single-lens family, 2 spherical family, 0 not a known version
  int32_t series = -1;
  int32_t model = -1;
};
// Family, series and model of a version; type 0 when the version does not have the form.
ZQFirmwareSeries zq_firmware_series(const char* version);
// The device type for a family, series and model (0 when the table has none).
int32_t zq_device_type(int32_t type, int32_t series, int32_t model);
// Whether photos of this camera cut their screennail over APP2 segments (series 3 of the
// single-lens family) rather than indexing it as a second picture.
bool zq_uses_split_screennail(const char* version, int32_t series);

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQCAMERAMODELS_H_
