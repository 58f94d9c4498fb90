// What the simulated camera is: its models, modes, settings with their options, and the status
// values it reports. The settings documents in the card image and the status record
// (command 34) are both made from these tables, so what a document offers is what the
// simulated control service accepts and reports.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCAMERA_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCAMERA_H_

#include <cstdint>
#include <span>
#include <string>

#include "zqCtrlD.h"

namespace zqsim {

struct CameraState;
struct SimStateData;

struct ModelSpec {
  uint8_t number;
  const char* dir;  // directory of its settings document below /usr/local/tavro/etc
  const char* name;
  uint8_t lenses;  // 2 for the spherical models
  uint8_t tier;    // options marked with a higher tier are not offered
};

struct OptionSpec {
  int32_t value;
  const char* name;
  uint8_t tier;    // lowest model tier that offers it
  uint8_t lenses;  // 0: every model; 1 or 2: only models with that many lenses
};

struct SettingSpec {
  int32_t id;
  const char* name;
  const char* display_name;
  int32_t default_value;
  std::span<const OptionSpec> options;
  uint8_t lenses;  // 0: every model; 2: spherical models only
};

struct SubModeSpec {
  uint32_t id;
  const char* name;
  const char* display_name;
};

struct ModeSpec {
  uint32_t id;
  const char* name;
  const char* display_name;
  std::span<const SubModeSpec> sub_modes;
  std::span<const int32_t> settings;  // ids, in display order
};

enum class StatusType : uint8_t { kBoolean, kNumber, kDateTime };

// One value of the status part of the record: `width` little-endian bytes at `offset` of
// camera_status_t (kDateTime: the 10-byte date-time record at `offset` of system_settings_t).
struct StatusField {
  int32_t id;
  const char* name;
  StatusType type;
  uint16_t offset;
  uint8_t width;
};

// Setting id of the keep-alive the apps send (setting/91/66, polled): accepted with any value
// at any time (also while recording), kept, and reported by the status document after the
// model's own settings.
inline constexpr int32_t kKeepAliveSetting = 91;

// Settings of webcam mode, set through the setting command but not offered in the settings
// documents: the stream's field of view (setting 43: the fields of view 0, 2, 3 and 4) and its
// bit rate (setting 62: 700,001 to 6,000,000 bits a second). Taken while recording too.
inline constexpr int32_t kWebcamFovSetting = 43;
inline constexpr int32_t kWebcamBitRateSetting = 62;
bool IsWebcamSetting(int32_t id);
bool WebcamSettingAccepts(int32_t id, int32_t value);

// Settings slots in the record: one 16-bit value per setting id below this.
inline constexpr int32_t kRecordSettingIds = 100;

std::span<const ModelSpec> Models();
// The model's entry, or the entry of model 57 when the number is unknown.
const ModelSpec& ModelOrDefault(uint8_t number);
std::span<const ModeSpec> Modes();
std::span<const SettingSpec> Settings();
std::span<const StatusField> StatusFields();

const SettingSpec* FindSetting(int32_t id);
// Whether `model` offers setting `id` with `value`.
bool SettingAccepts(const ModelSpec& model, int32_t id, int32_t value);
// Whether `model` offers the setting at all.
bool ModelHasSetting(const ModelSpec& model, const SettingSpec& setting);
// Whether `model` offers `option` (of a setting it has).
bool ModelOffers(const ModelSpec& model, const OptionSpec& option);

// Every setting back to its default value.
void ResetSettings(CameraState* camera);
// The settings of one mode back to their defaults.
void ResetModeSettings(CameraState* camera, uint32_t mode);

// The settings document of `model`: one JSON object describing the model, its modes with their
// sub-modes and settings, every setting with its options, and the status values it reports.
std::string SettingsDocument(const ModelSpec& model);

// Writes every model's document to `root`/usr/local/tavro/etc/<dir>/settings.json.
bool WriteSettingsDocuments(const std::string& root, std::string* error);

// The status record of the camera as it is now (`now_ms`: the host's wall clock).
void BuildStatusRecord(const SimStateData& d, int64_t now_ms, all_status_settings_t* record);

// The camera clock as a 10-byte date-time record.
void CameraDateTime(const CameraState& camera, int64_t now_s, uint8_t record[10]);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCAMERA_H_
