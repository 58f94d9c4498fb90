// The simulated control service: a small camera that keeps its state in the shared simulator
// state, records every command in the journal and obeys the fault switches.
#include "zqsim/SimControl.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "zqCtrlD.h"
#include "zqcommon/zqByteOrder.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimCamera.h"
#include "zqsim/SimState.h"

using zqsim::SimState;
using zqsim::SimStateData;

namespace {

std::atomic<int> g_openCount{0};

constexpr uint32_t kModeCount = 3;

int32_t CopyText(char* text, size_t size, const char* value) {
  if (text == nullptr || size == 0) return ZQ_ERR_INVALID_PARAM;
  snprintf(text, size, "%s", value);
  return ZQ_OK;
}

void CopyCut(char* dst, size_t size, const char* src) {
  const size_t n = strnlen(src, size - 1);
  memcpy(dst, src, n);
  dst[n] = '\0';
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Parameter sizes the service insists on; commands not listed take any parameter.
uint32_t ParamSize(uint32_t command) {
  switch (command) {
    case ZQCONTROL_SHUTTER:
    case ZQCONTROL_FWUPDATE_DONE:
    case ZQCONTROL_LOCATE:
    case ZQCONTROL_FACTORY_RESET:
    case ZQCONTROL_SET_IN_CONTEXTUAL_MENU:
    case ZQCONTROL_SET_CAMERA_CONTROL_STATUS:
    case ZQCONTROL_WIRED_USB:
      return 1;
    case ZQCONTROL_SET_MODE:
      return 2;
    case ZQCONTROL_MODE:
    case ZQCONTROL_AP_CONTROL:
    case ZQCONTROL_BAND_SELECT:
    case ZQCONTROL_DEBUG_LEVEL:
    case ZQCONTROL_DIGITAL_ZOOM:
    case ZQCONTROL_BLE_CONTROL:
    case ZQCONTROL_PHOTO_TIMER:
    case ZQCONTROL_TIMEWARP_SPEED_RAMP:
    case ZQCONTROL_TIMEWARP_SPEED_RAMP_ACTIVE:
      return 4;
    case ZQCONTROL_SUB_MODE:
    case ZQCONTROL_SETTING:
    case ZQCONTROL_BUTTON_SET:
      return 8;
    case ZQCONTROL_DATE_TIME:
      return 10;
    case ZQCONTROL_LIVEVIEW_EXPOSURE:
      return 16;
    case ZQCONTROL_TAG_MOMENT:
    case ZQCONTROL_DELETE_LAST:
    case ZQCONTROL_DELETE_ALL:
    case ZQCONTROL_FWUPDATE_START:
    case ZQCONTROL_FWUPDATE_CANCEL:
    case ZQCONTROL_RC_PAIR:
    case ZQCONTROL_RC_PAIR_CANCEL:
    case ZQCONTROL_VIDEO_PROMODE_RESET:
    case ZQCONTROL_PHOTO_PROMODE_RESET:
    case ZQCONTROL_MULTI_PROMODE_RESET:
    case ZQCONTROL_CAMERA_STATE:
    case ZQCONTROL_STATUS:
    case ZQCONTROL_SHUTDOWN:
    case ZQCONTROL_SLEEP:
    case ZQCONTROL_SYSTEM_GET_GEOCAL:
    case ZQCONTROL_SYSTEM_GET_SHADINGDATA_FILE:
    case ZQCONTROL_PROMODE_RESET:
    case ZQCONTROL_ONSCREEN_SHORTCUTS_RESET:
    case ZQCONTROL_GET_DATE_TIME:
    case ZQCONTROL_BUSY:
      return 0;
    default:
      return UINT32_MAX;
  }
}

// Copies a reply into the caller's buffer, as much as fits.
void Reply(const void* data, uint32_t n, void* response, uint32_t response_size,
           uint16_t* response_len) {
  const uint32_t copied = response != nullptr ? std::min(n, response_size) : 0;
  if (copied > 0) memcpy(response, data, copied);
  if (response_len != nullptr) *response_len = static_cast<uint16_t>(std::min(copied, 65535u));
}

// Seconds since the epoch of a date-time record read as UTC, or -1 when it names no real time.
int64_t RecordTime(const uint8_t* p) {
  struct tm tm = {};
  tm.tm_year = zq_load_le16(p) - 1900;
  tm.tm_mon = p[2] - 1;
  tm.tm_mday = p[3];
  tm.tm_hour = p[4];
  tm.tm_min = p[5];
  tm.tm_sec = p[6];
  if (p[2] < 1 || p[2] > 12 || p[3] < 1 || p[4] > 23 || p[5] > 59 || p[6] > 59) return -1;
  const time_t t = timegm(&tm);
  struct tm back = {};
  gmtime_r(&t, &back);
  if (back.tm_mday != p[3]) return -1;  // 31 February and the like
  return static_cast<int64_t>(t);
}

// The camera's media files below DCIM, as (folder, name) in name order.
std::vector<std::pair<std::string, std::string>> MediaFiles() {
  std::vector<std::pair<std::string, std::string>> files;
  const std::string dcim = zq_path(std::string(kZqSdCardRoot) + "/DCIM");
  DIR* top = opendir(dcim.c_str());
  if (top == nullptr) return files;
  while (dirent* folder = readdir(top)) {
    if (folder->d_name[0] == '.') continue;
    const std::string dir = dcim + "/" + folder->d_name;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) continue;
    while (dirent* e = readdir(d)) {
      struct stat st = {};
      if (e->d_name[0] != '.' && lstat((dir + "/" + e->d_name).c_str(), &st) == 0 &&
          S_ISREG(st.st_mode)) {
        files.emplace_back(dir, e->d_name);
      }
    }
    closedir(d);
  }
  closedir(top);
  std::sort(files.begin(), files.end());
  return files;
}

bool IsCapture(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return ext == "MP4" || ext == "JPG";
}

// Delete all: every file below the DCIM folders. Delete last: the newest capture (the last
// clip or photo by folder and name) with its companion files (proxy, thumbnail).
int32_t DeleteMedia(bool all) {
  const auto files = MediaFiles();
  std::string stem;
  if (!all) {
    for (auto it = files.rbegin(); it != files.rend() && stem.empty(); ++it) {
      if (IsCapture(it->second))
        stem = it->first + "/" + it->second.substr(0, it->second.rfind('.'));
    }
    if (stem.empty()) return ZQ_ERR_NAK;  // nothing to delete
  }
  for (const auto& [dir, name] : files) {
    const std::string path = dir + "/" + name;
    if (all || path.compare(0, stem.size() + 1, stem + ".") == 0) unlink(path.c_str());
  }
  return ZQ_OK;
}

// The shading calibration file the camera keeps; made on first use.
void EnsureShadingFile() {
  const std::string path = zq_path(zqsim::kShadingDataPath);
  if (access(path.c_str(), F_OK) == 0) return;
  zq_make_dirs(path.substr(0, path.rfind('/')));
  FILE* f = fopen(path.c_str(), "we");
  if (f == nullptr) return;
  for (int i = 0; i < 4096; ++i) fputc((i * 31 + 7) & 0xFF, f);
  fclose(f);
}

// The fault switch set for `command`, or nullptr.
const zqsim::Fault* FaultFor(const SimStateData& d, uint32_t command) {
  for (const zqsim::Fault& f : d.faults) {
    if (f.used && static_cast<uint32_t>(f.command) == command) return &f;
  }
  return nullptr;
}

int32_t Act(SimStateData& d, uint32_t command, const uint8_t* p, void* response,
            uint32_t response_size, uint16_t* response_len) {
  zqsim::CameraState& cam = d.camera;
  const bool recording = zqsim::IsRecording(d);
  const int64_t now_ms = NowMs();
  switch (command) {
    case ZQCONTROL_SHUTTER: {
      if (p[0] > 1) return ZQ_ERR_NAK;
      if (p[0] == 1 && cam.mode == 1) {
        ++cam.photos_taken;  // a photo: nothing keeps running
        return ZQ_OK;
      }
      if (p[0] == 1 && !recording) cam.recording_since_ms = now_ms;
      if (p[0] == 0 && recording) ++cam.videos_taken;
      const uint32_t on = p[0];
      memcpy(d.status[3].data, &on, sizeof on);
      d.status[3].size = 4;
      d.status[3].present = 1;
      return ZQ_OK;
    }
    case ZQCONTROL_MODE:
    case ZQCONTROL_SET_MODE: {
      const uint32_t mode = command == ZQCONTROL_MODE ? zq_load_le32(p) : zq_load_le16(p);
      if (recording || mode >= kModeCount) return ZQ_ERR_NAK;
      cam.mode = mode;
      cam.mode_group = mode;
      cam.sub_mode = 0;
      return ZQ_OK;
    }
    case ZQCONTROL_SUB_MODE: {
      const uint32_t mode = zq_load_le32(p);
      const uint32_t sub = zq_load_le32(p + 4);
      if (recording || mode >= kModeCount || sub >= zqsim::Modes()[mode].sub_modes.size()) {
        return ZQ_ERR_NAK;
      }
      cam.mode = mode;
      cam.mode_group = mode;
      cam.sub_mode = sub;
      return ZQ_OK;
    }
    case ZQCONTROL_DATE_TIME: {
      const int64_t t = RecordTime(p);
      if (t < 0) return ZQ_ERR_INVALID_PARAM;
      cam.clock_offset_s = t - now_ms / 1000;
      cam.time_zone = static_cast<int16_t>(zq_load_le16(p + 7));
      cam.dst = p[9];
      return ZQ_OK;
    }
    case ZQCONTROL_GET_DATE_TIME: {
      uint8_t record[10];
      zqsim::CameraDateTime(cam, now_ms / 1000, record);
      Reply(record, sizeof record, response, response_size, response_len);
      return ZQ_OK;
    }
    case ZQCONTROL_TAG_MOMENT:
      ++cam.tags;
      return ZQ_OK;
    case ZQCONTROL_FWUPDATE_START:
      cam.fw_update = 1;
      return ZQ_OK;
    case ZQCONTROL_FWUPDATE_CANCEL:
      cam.fw_update = 0;
      return ZQ_OK;
    case ZQCONTROL_FWUPDATE_DONE:
      cam.fw_update = p[0] != 0 ? 2 : 0;
      return ZQ_OK;
    case ZQCONTROL_AP_CONTROL:
      cam.ap_enabled = zq_load_le32(p) != 0;
      return ZQ_OK;
    case ZQCONTROL_BAND_SELECT: {
      const int32_t band = static_cast<int32_t>(zq_load_le32(p));
      if (band != 0 && band != 1) return ZQ_ERR_NAK;
      cam.band = band;
      return ZQ_OK;
    }
    case ZQCONTROL_RC_PAIR:
      cam.rc_pairing = 1;
      return ZQ_OK;
    case ZQCONTROL_RC_PAIR_CANCEL:
      cam.rc_pairing = 0;
      return ZQ_OK;
    case ZQCONTROL_VIDEO_PROMODE_RESET:
    case ZQCONTROL_PHOTO_PROMODE_RESET:
    case ZQCONTROL_MULTI_PROMODE_RESET:
      if (recording) return ZQ_ERR_NAK;
      zqsim::ResetModeSettings(&cam, command - ZQCONTROL_VIDEO_PROMODE_RESET);
      return ZQ_OK;
    case ZQCONTROL_PROMODE_RESET:
      if (recording) return ZQ_ERR_NAK;
      zqsim::ResetModeSettings(&cam, cam.mode);
      return ZQ_OK;
    case ZQCONTROL_SETTING: {
      const int32_t id = static_cast<int32_t>(zq_load_le32(p));
      const int32_t value = static_cast<int32_t>(zq_load_le32(p + 4));
      if (id == zqsim::kKeepAliveSetting) return ZQ_OK;
      if (recording) return ZQ_ERR_NAK;
      if (!zqsim::SettingAccepts(zqsim::ModelOrDefault(d.identity.model_number), id, value)) {
        return ZQ_ERR_NAK;
      }
      cam.settings[id] = value;
      return ZQ_OK;
    }
    case ZQCONTROL_CAMERA_STATE: {
      uint8_t state[kZqcCameraStateSize] = {};
      state[kZqcCameraBusyOffset] = recording ? 1 : 0;
      state[kZqcZoomAvailableOffset] =
          zqsim::ModelOrDefault(d.identity.model_number).lenses == 1 ? 1 : 0;
      Reply(state, sizeof state, response, response_size, response_len);
      return ZQ_OK;
    }
    case ZQCONTROL_STATUS: {
      all_status_settings_t record;
      zqsim::BuildStatusRecord(d, now_ms, &record);
      Reply(&record, sizeof record, response, response_size, response_len);
      return ZQ_OK;
    }
    case ZQCONTROL_BUSY: {
      const uint8_t busy = recording ? 1 : 0;
      Reply(&busy, 1, response, response_size, response_len);
      return ZQ_OK;
    }
    case ZQCONTROL_SHUTDOWN:
      cam.shutdown_pending = 1;
      return ZQ_OK;
    case ZQCONTROL_LOCATE:
      cam.locate = p[0] != 0;
      return ZQ_OK;
    case ZQCONTROL_FACTORY_RESET:
      if (recording) return ZQ_ERR_NAK;
      zqsim::ResetSettings(&cam);
      cam.mode = cam.sub_mode = cam.mode_group = 0;
      cam.digital_zoom = cam.photo_timer = 0;
      return ZQ_OK;
    case ZQCONTROL_LIVEVIEW_EXPOSURE: {
      const uint32_t mode = zq_load_le32(p);
      if (mode > 3) return ZQ_ERR_INVALID_PARAM;
      cam.exposure_mode = static_cast<uint8_t>(mode);
      return ZQ_OK;
    }
    case ZQCONTROL_SYSTEM_GET_GEOCAL: {
      std::vector<uint8_t> blob(std::min<uint32_t>(cam.geocal_size, 65535));
      static const char kMagic[] = "GEOCAL01";
      for (size_t i = 0; i < blob.size(); ++i) {
        blob[i] = i < 8 ? static_cast<uint8_t>(kMagic[i]) : static_cast<uint8_t>(i * 7);
      }
      Reply(blob.data(), static_cast<uint32_t>(blob.size()), response, response_size, response_len);
      return ZQ_OK;
    }
    case ZQCONTROL_SYSTEM_GET_SHADINGDATA_FILE:
      EnsureShadingFile();
      Reply(zqsim::kShadingDataPath, sizeof zqsim::kShadingDataPath, response, response_size,
            response_len);
      return ZQ_OK;
    case ZQCONTROL_DIGITAL_ZOOM: {
      const uint32_t percent = zq_load_le32(p);
      if (percent > 100) return ZQ_ERR_INVALID_PARAM;
      if (zqsim::ModelOrDefault(d.identity.model_number).lenses != 1) return ZQ_ERR_NAK;
      cam.digital_zoom = percent;
      return ZQ_OK;
    }
    case ZQCONTROL_BLE_CONTROL:
      cam.ble_enabled = zq_load_le32(p) != 0;
      return ZQ_OK;
    case ZQCONTROL_PHOTO_TIMER: {
      const uint32_t delay = zq_load_le32(p);
      if (delay != 0 && delay != 3 && delay != 10) return ZQ_ERR_INVALID_PARAM;
      cam.photo_timer = delay;
      return ZQ_OK;
    }
    case ZQCONTROL_TIMEWARP_SPEED_RAMP: {
      const uint32_t ramp = zq_load_le32(p);
      if (ramp != 11 && ramp != 12) return ZQ_ERR_INVALID_PARAM;
      cam.speed_ramp = ramp;
      return ZQ_OK;
    }
    case ZQCONTROL_TIMEWARP_SPEED_RAMP_ACTIVE:
      cam.speed_ramp_active = zq_load_le32(p);
      return ZQ_OK;
    case ZQCONTROL_SET_IN_CONTEXTUAL_MENU:
      cam.in_contextual_menu = p[0] != 0;
      return ZQ_OK;
    case ZQCONTROL_SET_CAMERA_CONTROL_STATUS:
      cam.camera_control = p[0];
      return ZQ_OK;
    case ZQCONTROL_WIRED_USB:
      cam.wired_usb = p[0] != 0;
      return ZQ_OK;
    default:
      // Commands the simulated camera does not model are acknowledged.
      return ZQ_OK;
  }
}

}  // namespace

namespace zqsim {

int32_t ControlExecute(uint32_t command, const void* param, uint32_t param_len, void* response,
                       uint32_t response_size, uint16_t* response_len) {
  if (response_len != nullptr) *response_len = 0;
  const uint32_t size = ParamSize(command);
  const bool size_ok = size == UINT32_MAX || param_len == size;
  const uint8_t* p = static_cast<const uint8_t*>(param);

  if (command == ZQCONTROL_DELETE_LAST || command == ZQCONTROL_DELETE_ALL) {
    // The card is changed outside the state lock; the camera refuses while it records.
    const int32_t refusal = SimState::Get().Read([&](const SimStateData& d) -> int32_t {
      if (const Fault* f = FaultFor(d, command)) return f->status;
      if (!size_ok) return ZQ_ERR_INVALID_PARAM;
      if (d.camera.shutdown_pending) return ZQ_ERR_NAK_OFF;
      return IsRecording(d) ? ZQ_ERR_NAK : ZQ_OK;
    });
    return refusal != ZQ_OK ? refusal : DeleteMedia(command == ZQCONTROL_DELETE_ALL);
  }
  // One exclusive access per command: the fault switches, then the camera.
  return SimState::Get().Write([&](SimStateData& d) -> int32_t {
    if (const Fault* f = FaultFor(d, command)) return f->status;
    if (!size_ok) return ZQ_ERR_INVALID_PARAM;
    if (d.camera.shutdown_pending) return ZQ_ERR_NAK_OFF;
    return Act(d, command, p, response, response_size, response_len);
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
  const int32_t status =
      zqsim::ControlExecute(command, param, param_len, response, response_size, response_len);
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
    // Texts longer than the record's fields are cut, as the camera's record holds them.
    CopyCut(info->model_name, sizeof info->model_name, id.model_name);
    CopyCut(info->firmware_version, sizeof info->firmware_version, id.firmware_version);
    CopyCut(info->serial_number, sizeof info->serial_number, id.serial_number);
    CopyCut(info->board_type, sizeof info->board_type, id.board_type);
    CopyCut(info->ap_mac, sizeof info->ap_mac, id.ap_mac);
    CopyCut(info->ap_ssid, sizeof info->ap_ssid, id.ap_ssid);
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
