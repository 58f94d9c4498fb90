// The simulated control service: a small camera that keeps its state in the shared simulator
// state, records every command in the journal and obeys the fault switches.
#include "zqsim/SimControl.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqsim/SimState.h"

using zqsim::SimState;
using zqsim::SimStateData;

namespace {

std::atomic<int> g_openCount{0};

uint32_t LoadU32(const void* p, uint32_t len, uint32_t offset) {
  uint32_t v = 0;
  const uint8_t* b = static_cast<const uint8_t*>(p);
  for (uint32_t i = 0; i < 4 && offset + i < len; ++i)
    v |= static_cast<uint32_t>(b[offset + i]) << (8 * i);
  return v;
}

int32_t CopyText(char* text, size_t size, const char* value) {
  if (text == nullptr || size == 0) return ZQ_ERR_INVALID_PARAM;
  snprintf(text, size, "%s", value);
  return ZQ_OK;
}

}  // namespace

namespace zqsim {

int32_t ControlFault(uint32_t command, bool* found) {
  return SimState::Get().Read([&](const SimStateData& d) -> int32_t {
    for (const Fault& f : d.faults) {
      if (f.used && static_cast<uint32_t>(f.command) == command) {
        *found = true;
        return f.status;
      }
    }
    *found = false;
    return ZQ_OK;
  });
}

int32_t ControlExecute(uint32_t command, const void* param, uint32_t param_len, void* response,
                       uint32_t response_size, uint16_t* response_len) {
  if (response_len != nullptr) *response_len = 0;
  const uint8_t* p = static_cast<const uint8_t*>(param);
  return SimState::Get().Write([&](SimStateData& d) -> int32_t {
    CameraState& cam = d.camera;
    switch (command) {
      case kCmdShutter: {
        uint32_t on = (param_len >= 1 && p[0] != 0) ? 1 : 0;
        memcpy(d.status[3].data, &on, sizeof on);
        d.status[3].size = 4;
        return ZQ_OK;
      }
      case kCmdMode:
        cam.mode = LoadU32(param, param_len, 0);
        return ZQ_OK;
      case kCmdSubMode:
        cam.mode = LoadU32(param, param_len, 0);
        cam.sub_mode = LoadU32(param, param_len, 4);
        return ZQ_OK;
      case kCmdDateTime:
        memset(cam.date_time, 0, sizeof cam.date_time);
        memcpy(cam.date_time, param,
               param_len < sizeof cam.date_time ? param_len : sizeof cam.date_time);
        return ZQ_OK;
      case kCmdSetting: {
        uint32_t id = LoadU32(param, param_len, 0);
        if (param_len != 8 || id >= kSettingCount) return ZQ_ERR_INVALID_PARAM;
        cam.settings[id] = static_cast<int32_t>(LoadU32(param, param_len, 4));
        return ZQ_OK;
      }
      case kCmdShutdown:
        cam.shutdown_pending = 1;
        return ZQ_OK;
      case kCmdStatus:
        if (cam.shutdown_pending) return ZQ_ERR_NAK_OFF;
        if (response != nullptr) memset(response, 0, response_size);
        // Byte 225 of the status record: the system is ready.
        if (response != nullptr && response_size > 225) static_cast<uint8_t*>(response)[225] = 1;
        if (response_len != nullptr) *response_len = static_cast<uint16_t>(response_size);
        return ZQ_OK;
      case kCmdDigitalZoom:
        cam.digital_zoom = LoadU32(param, param_len, 0);
        return ZQ_OK;
      case kCmdPhotoTimer:
        cam.photo_timer = LoadU32(param, param_len, 0);
        return ZQ_OK;
      default:
        return ZQ_OK;
    }
  });
}

}  // namespace zqsim

int32_t zqcontrol_interface_open() {
  g_openCount.fetch_add(1);
  return ZQ_OK;
}

int32_t zqcontrol_interface_close() {
  int n = g_openCount.load();
  while (n > 0 && !g_openCount.compare_exchange_weak(n, n - 1)) {
  }
  return n > 0 ? ZQ_OK : ZQ_ERR;
}

bool is_zqcontrol_interface_open() { return g_openCount.load() > 0; }

void zqcontrol_set_caller_id(int32_t /*id*/) {}

int32_t zqcontrol_send_command_param_response_ex(uint32_t command, const void* param,
                                                 uint32_t param_len, void* response,
                                                 uint32_t response_size, uint16_t* response_len) {
  if (param == nullptr) param_len = 0;
  bool faulted = false;
  int32_t status = zqsim::ControlFault(command, &faulted);
  if (!faulted) {
    status =
        zqsim::ControlExecute(command, param, param_len, response, response_size, response_len);
  }
  zqsim::JournalAppend(command, param, param_len, status);
  return status;
}

int32_t zqcontrol_send_command_param_response(uint32_t command, const void* param,
                                              uint32_t param_len, void* response,
                                              uint32_t response_size) {
  return zqcontrol_send_command_param_response_ex(command, param, param_len, response,
                                                  response_size, nullptr);
}

int32_t zqcontrol_get_camera_info(zqcontrol_camera_info* info) {
  if (info == nullptr) return ZQ_ERR_INVALID_PARAM;
  return SimState::Get().Read([&](const SimStateData& d) {
    const zqsim::Identity& id = d.identity;
    memset(info, 0, sizeof *info);
    info->model_number = id.model_number;
    snprintf(info->model_name, sizeof info->model_name, "%s", id.model_name);
    snprintf(info->firmware_version, sizeof info->firmware_version, "%s", id.firmware_version);
    snprintf(info->serial_number, sizeof info->serial_number, "%s", id.serial_number);
    snprintf(info->board_type, sizeof info->board_type, "%s", id.board_type);
    snprintf(info->ap_mac, sizeof info->ap_mac, "%s", id.ap_mac);
    snprintf(info->ap_ssid, sizeof info->ap_ssid, "%s", id.ap_ssid);
    info->ap_has_default_credentials = id.ap_has_default_credentials != 0;
    info->common_camera_features = id.common_camera_features;
    return ZQ_OK;
  });
}

int32_t zqc_state_get_model_number(uint8_t* model_number) {
  if (model_number == nullptr) return ZQ_ERR_INVALID_PARAM;
  *model_number =
      SimState::Get().Read([](const SimStateData& d) { return d.identity.model_number; });
  return ZQ_OK;
}

#define ZQSIM_TEXT_GETTER(field)                                                        \
  int32_t zqc_state_get_##field(char* text, size_t size) {                              \
    return SimState::Get().Read(                                                        \
        [&](const SimStateData& d) { return CopyText(text, size, d.identity.field); }); \
  }
ZQSIM_TEXT_GETTER(model_name)
ZQSIM_TEXT_GETTER(firmware_version)
ZQSIM_TEXT_GETTER(serial_number)
ZQSIM_TEXT_GETTER(board_type)
ZQSIM_TEXT_GETTER(ap_mac)
ZQSIM_TEXT_GETTER(ap_ssid)
#undef ZQSIM_TEXT_GETTER

int32_t zqc_state_get_ap_has_default_credentials(bool* value) {
  if (value == nullptr) return ZQ_ERR_INVALID_PARAM;
  *value = SimState::Get().Read(
      [](const SimStateData& d) { return d.identity.ap_has_default_credentials != 0; });
  return ZQ_OK;
}

int32_t zqc_state_get_common_camera_features(uint32_t* value) {
  if (value == nullptr) return ZQ_ERR_INVALID_PARAM;
  *value =
      SimState::Get().Read([](const SimStateData& d) { return d.identity.common_camera_features; });
  return ZQ_OK;
}

int32_t zqc_state_get_update_required(uint32_t* value) {
  if (value == nullptr) return ZQ_ERR_INVALID_PARAM;
  *value = SimState::Get().Read([](const SimStateData& d) { return d.identity.update_required; });
  return ZQ_OK;
}
