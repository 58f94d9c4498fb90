// What the control interface says about the camera itself: the settings document (the answer
// to "/zq/zqControl" with no command), the "info" command, and the model table behind them.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCAMERAINFO_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCAMERAINFO_H_

#include <cstdint>
#include <optional>
#include <string>

#include "http/zqAnswer.h"

// The camera's identity as both answers report it.
struct ZqcCameraInfo {
  uint8_t model_number = 0;
  std::string model_name;
  std::string firmware_version;
  std::string serial_number;
  std::string board_type;
  std::string ap_mac;
  std::string ap_ssid;
  bool ap_has_default_credentials = false;
  uint32_t common_camera_features = 0;
  uint32_t update_required = 0;
};

// Model 57 stands for every model the table does not know.
inline constexpr uint8_t kZqcDefaultModel = 57;

// Directory of the model's settings document below /usr/local/tavro/etc, or nullptr when the
// model is not in the table.
const char* zqc_model_directory(uint8_t model_number);

// Appends the info members, in their fixed order, joined by "," (texts JSON-escaped).
// `git_sha1` (40 hexadecimal digits) is written after the credentials flag when given.
void zqc_append_info_members(std::string& out, const ZqcCameraInfo& info, const char* git_sha1);

// The answer for the settings document, into `*answer`: the model's settings file with an
// "info" object added as its last member (200), or an error answer (500). Returns 0 or the
// failure status. The document is always valid JSON: a settings file that is not a JSON object
// is reported as ZQ_ERR_FILE_READ rather than sent.
int32_t camera_description_output_json(std::optional<ZqAnswer>* answer);

// The "info" command: {"info":{...}} into `response`. -1 when it does not fit, the camera
// information's status when that cannot be read.
int32_t handle_camera_info(const char* params, char* response, uint16_t response_size);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCAMERAINFO_H_
