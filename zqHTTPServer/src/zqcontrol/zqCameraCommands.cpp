#include "zqcontrol/zqCameraCommands.h"

#include <cstring>
#include <string>

#include "core/zqCsi.h"
#include "csi.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqLog.h"
#include "zqcontrol/zqControlParams.h"
#include "zqcontrolapi/zqCommand.h"
#include "zqcontrolapi/zqQuery.h"

namespace {

void PutLe(uint8_t* p, uint32_t v, int width) {
  for (int i = 0; i < width; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t Send(uint32_t command, const void* param, uint32_t len) {
  return zqcontrol_send_command_param_response(command, param, len, nullptr, 0);
}

int32_t SendBare(uint32_t command, bool marks) {
  if (marks) set_csi_analytics_source_wifi();
  return Send(command, nullptr, 0);
}

enum class Read { kOk, kMissing, kBad };

// One decimal parameter of `width` bytes. `*text` keeps the value's text for log lines. With
// `cuts`, any unsigned 32-bit number is taken and only its low `width` bytes are sent.
Read ReadNumber(const char* params, const char* key, bool is_signed, int width, int64_t* out,
                std::string* text, bool cuts = false) {
  if (!zq_query_get(params, key, text)) return Read::kMissing;
  if (is_signed) {
    int32_t v = 0;
    if (!zq_parse_i32(*text, &v) || !zqc_fits_signed(v, width)) return Read::kBad;
    *out = v;
  } else {
    uint32_t v = 0;
    if (!zq_parse_u32(*text, &v) || (!cuts && !zqc_fits_unsigned(v, width))) {
      return Read::kBad;
    }
    *out = v;
  }
  return Read::kOk;
}

// A required unsigned 32-bit parameter; false when missing or unreadable.
bool RequireUnsigned(const char* params, const char* key, uint32_t* out) {
  std::string text;
  int64_t v = 0;
  if (ReadNumber(params, key, false, 4, &v, &text) != Read::kOk) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

// Commands with one numeric parameter: read it, check it, mark the source when the command
// asks for it, and send its low `width` bytes.
struct OneParam {
  const char* key;
  bool is_signed;
  int width;
  uint32_t command;
  bool marks;
  bool (*accepts)(int64_t value);     // nullptr: every value that fits
  void (*log_bad)(const char* text);  // nullptr: the generic line
  bool cuts = false;                  // any unsigned 32-bit number; its low bytes are sent
};

int32_t SendOne(const char* params, const OneParam& p) {
  std::string text;
  int64_t value = 0;
  Read r = ReadNumber(params, p.key, p.is_signed, p.width, &value, &text, p.cuts);
  if (r == Read::kOk && p.accepts != nullptr && !p.accepts(value)) r = Read::kBad;
  if (r == Read::kBad) {
    if (p.log_bad != nullptr) {
      p.log_bad(text.c_str());
    } else {
      ZQ_LOG(ZQ_LOG_ERROR, "Invalid parameter %s%s", p.key, text.c_str());
    }
  }
  if (r != Read::kOk) return ZQ_ERR_INVALID_PARAM;
  if (p.marks) set_csi_analytics_source_wifi();
  uint8_t bytes[4];
  PutLe(bytes, static_cast<uint32_t>(value), p.width);
  return Send(p.command, bytes, static_cast<uint32_t>(p.width));
}

// The shutter takes any unsigned number and sends its low byte: p=257 is the byte 1, as the
// camera's apps have always relied on.
constexpr OneParam kShutter = {
    "p=",
    false,
    1,
    ZQCONTROL_SHUTTER,
    true,
    nullptr,
    [](const char* t) { ZQ_LOG(ZQ_LOG_ERROR, "Could not parse SHUTTER parameter %s", t); },
    true};
constexpr OneParam kMode = {"p=", false, 4, ZQCONTROL_MODE, true, nullptr, nullptr};
constexpr OneParam kSetMode = {"p=", false, 2, ZQCONTROL_SET_MODE, true, nullptr, nullptr};
constexpr OneParam kSpeedRampActive = {"p=",  false,   4,      ZQCONTROL_TIMEWARP_SPEED_RAMP_ACTIVE,
                                       false, nullptr, nullptr};
constexpr OneParam kSpeedRamp = {"p=",   false,
                                 4,      ZQCONTROL_TIMEWARP_SPEED_RAMP,
                                 false,  [](int64_t v) { return v == 11 || v == 12; },
                                 nullptr};
constexpr OneParam kFactoryReset = {"p=", true, 1, ZQCONTROL_FACTORY_RESET, true, nullptr, nullptr};
constexpr OneParam kLocate = {"p=", true, 1, ZQCONTROL_LOCATE, true, nullptr, nullptr};
constexpr OneParam kFwUpdateDone = {"p=", true, 1, ZQCONTROL_FWUPDATE_DONE, true, nullptr, nullptr};
constexpr OneParam kBandSelect = {"b=", true, 4, ZQCONTROL_BAND_SELECT, true, nullptr, nullptr};
constexpr OneParam kApControl = {"p=", true, 4, ZQCONTROL_AP_CONTROL, true, nullptr, nullptr};
constexpr OneParam kBleControl = {
    "p=", true, 4, ZQCONTROL_BLE_CONTROL, true, [](int64_t v) { return v == 0; }, nullptr};
constexpr OneParam kInContextualMenu = {
    "p=", false, 1, ZQCONTROL_SET_IN_CONTEXTUAL_MENU, true, nullptr, [](const char* t) {
      ZQ_LOG(ZQ_LOG_ERROR, "Could not parse in_contextual_menu parameter %s", t);
    }};
// The USB link is switched off (0) or on (1).
constexpr OneParam kWiredUsb = {
    "p=",
    false,
    1,
    ZQCONTROL_WIRED_USB,
    true,
    [](int64_t v) { return v == 0 || v == 1; },
    [](const char* t) { ZQ_LOG(ZQ_LOG_ERROR, "Could not parse wired_control parameter %s", t); }};
// The camera is controlled from its own screen (0) or by the app (2).
constexpr OneParam kCameraControl = {
    "p=",
    false,
    1,
    ZQCONTROL_SET_CAMERA_CONTROL_STATUS,
    true,
    [](int64_t v) { return v == 0 || v == 2; },
    [](const char* t) {
      ZQ_LOG(ZQ_LOG_ERROR, "Could not parse camera_control_status parameter %s", t);
    }};

// Date-time record: year (u16, full year), month, day, hour, minute, second (u8 each), time
// zone in minutes (i16; 32767 when not given), daylight saving (u8).
constexpr int kDateTimeSize = 10;
constexpr int16_t kNoTimeZone = 32767;

int32_t SendDateTime(const char* params, int field_count) {
  std::string text;
  if (!zq_query_get(params, "p=", &text)) return ZQ_ERR_INVALID_PARAM;
  ZQ_LOG(ZQ_LOG_ERROR, "date_time string p=>%s<", text.c_str());
  if (g_logLevel >= ZQ_LOG_DEBUG) {
    std::string spaced = text;
    for (char& c : spaced) {
      if (c == '%') c = ' ';
    }
    ZQ_LOG(ZQ_LOG_DEBUG, "date_time parsed = >%s<", spaced.c_str());
  }
  int32_t f[8] = {0, 0, 0, 0, 0, 0, kNoTimeZone, 0};
  const int failed = zqc_read_hex_fields(text, field_count, f);
  if (failed >= 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "date_time failed to parse count=%d", failed);
    return ZQ_ERR_INVALID_PARAM;
  }
  // Fields outside the calendar would be cut to their record widths and name another time.
  const bool valid = f[0] >= 0 && f[0] <= 65535 - 2000 && f[1] >= 1 && f[1] <= 12 && f[2] >= 1 &&
                     f[2] <= 31 && f[3] >= 0 && f[3] <= 23 && f[4] >= 0 && f[4] <= 59 &&
                     f[5] >= 0 && f[5] <= 59 && zqc_fits_signed(f[6], 2) &&
                     (f[7] == 0 || f[7] == 1);
  if (!valid) {
    ZQ_LOG(ZQ_LOG_ERROR, "date_time fields out of range y%d:m%d:d%d:h%d:m%d:s%d:tz_m%d,dst%d", f[0],
           f[1], f[2], f[3], f[4], f[5], f[6], f[7]);
    return ZQ_ERR_INVALID_PARAM;
  }
  const int year = f[0] + 2000;
  const int16_t tz = static_cast<int16_t>(f[6]);
  uint8_t record[kDateTimeSize];
  PutLe(record, static_cast<uint32_t>(year), 2);
  for (int i = 1; i < 6; ++i) record[1 + i] = static_cast<uint8_t>(f[i]);
  PutLe(record + 7, static_cast<uint16_t>(tz), 2);
  record[9] = static_cast<uint8_t>(f[7]);

  set_csi_analytics_source_wifi();
  const int32_t err = Send(ZQCONTROL_DATE_TIME, record, kDateTimeSize);
  ZQ_LOG(ZQ_LOG_DEBUG, "date_time err=%d y%d:m%d:d%d:h%d:m%d:s%d:tz_m%d,dst%d", err, year, f[1],
         f[2], f[3], f[4], f[5], tz, f[7]);
  return err;
}

// The reply of the status command while the camera shuts down.
constexpr char kShutdownPending[] =
    "{\n"
    "    \"state\":{\n        \"shutdown_pending\":true\n    }\n"
    "}\n";

}  // namespace

void set_csi_analytics_source_wifi() { zq_mark_source_wifi(); }

int32_t send_setting(int32_t setting, int32_t value) {
  uint8_t pair[8];
  PutLe(pair, static_cast<uint32_t>(setting), 4);
  PutLe(pair + 4, static_cast<uint32_t>(value), 4);
  return Send(ZQCONTROL_SETTING, pair, sizeof pair);
}

int32_t send_digital_zoom(uint32_t percent) {
  if (percent > 100) {
    ZQ_LOG(ZQ_LOG_ERROR,
           "Invalid paramater value for range_pcnt/percent, expect [0..100] got [%lu]",
           static_cast<unsigned long>(percent));
    return ZQ_ERR_INVALID_PARAM;
  }
  set_csi_analytics_source_wifi();
  uint8_t bytes[4];
  PutLe(bytes, percent, 4);
  return Send(ZQCONTROL_DIGITAL_ZOOM, bytes, sizeof bytes);
}

int32_t handle_shutter(const char* params, char*, uint16_t) { return SendOne(params, kShutter); }
int32_t handle_mode(const char* params, char*, uint16_t) { return SendOne(params, kMode); }
int32_t handle_set_mode(const char* params, char*, uint16_t) { return SendOne(params, kSetMode); }
int32_t handle_video_timewarp_speed_ramp_active(const char* params, char*, uint16_t) {
  return SendOne(params, kSpeedRampActive);
}
int32_t handle_video_timewarp_speed_ramp(const char* params, char*, uint16_t) {
  return SendOne(params, kSpeedRamp);
}
int32_t handle_factory_reset(const char* params, char*, uint16_t) {
  return SendOne(params, kFactoryReset);
}
int32_t handle_locate(const char* params, char*, uint16_t) { return SendOne(params, kLocate); }
int32_t handle_fw_update_done(const char* params, char*, uint16_t) {
  return SendOne(params, kFwUpdateDone);
}
int32_t handle_band_select(const char* params, char*, uint16_t) {
  return SendOne(params, kBandSelect);
}
int32_t handle_ap_control(const char* params, char*, uint16_t) {
  return SendOne(params, kApControl);
}
int32_t handle_ble_control(const char* params, char*, uint16_t) {
  return SendOne(params, kBleControl);
}
int32_t handle_set_in_contextual_menu(const char* params, char*, uint16_t) {
  return SendOne(params, kInContextualMenu);
}
int32_t handle_wired_usb_control(const char* params, char*, uint16_t) {
  return SendOne(params, kWiredUsb);
}
int32_t handle_set_camera_control_status(const char* params, char*, uint16_t) {
  return SendOne(params, kCameraControl);
}

int32_t handle_tag_recording(const char*, char*, uint16_t) {
  return SendBare(ZQCONTROL_TAG_MOMENT, true);
}
int32_t handle_delete_last(const char*, char*, uint16_t) {
  return SendBare(ZQCONTROL_DELETE_LAST, true);
}
int32_t handle_delete_all(const char*, char*, uint16_t) {
  return SendBare(ZQCONTROL_DELETE_ALL, true);
}
int32_t handle_fw_update_start(const char*, char*, uint16_t) {
  return SendBare(ZQCONTROL_FWUPDATE_START, true);
}
int32_t handle_fw_update_cancel(const char*, char*, uint16_t) {
  return SendBare(ZQCONTROL_FWUPDATE_CANCEL, true);
}
int32_t handle_rc_pair(const char*, char*, uint16_t) { return SendBare(ZQCONTROL_RC_PAIR, true); }
int32_t handle_rc_pair_cancel(const char*, char*, uint16_t) {
  return SendBare(ZQCONTROL_RC_PAIR_CANCEL, true);
}
int32_t handle_video_promode_reset(const char*, char*, uint16_t) {
  return SendBare(ZQCONTROL_VIDEO_PROMODE_RESET, true);
}
int32_t handle_photo_promode_reset(const char*, char*, uint16_t) {
  return SendBare(ZQCONTROL_PHOTO_PROMODE_RESET, true);
}
int32_t handle_multi_promode_reset(const char*, char*, uint16_t) {
  return SendBare(ZQCONTROL_MULTI_PROMODE_RESET, true);
}
int32_t handle_promode_reset(const char*, char*, uint16_t) {
  return SendBare(ZQCONTROL_PROMODE_RESET, true);
}
int32_t handle_shutdown(const char*, char*, uint16_t) { return SendBare(ZQCONTROL_SHUTDOWN, true); }
int32_t handle_sleep(const char*, char*, uint16_t) { return SendBare(ZQCONTROL_SLEEP, true); }
int32_t handle_onscreen_shortcuts_reset(const char*, char*, uint16_t) {
  return SendBare(ZQCONTROL_ONSCREEN_SHORTCUTS_RESET, false);
}

int32_t handle_set_preset(const char*, char*, uint16_t) {
  ZQ_LOG(ZQ_LOG_ERROR, "Command set_preset is currently unsupported");
  return ZQ_ERR;
}

// The three log paths share one message, as the camera has always logged them.
int32_t handle_system_log_clear(const char*, char*, uint16_t) {
  ZQ_LOG(ZQ_LOG_ERROR, "Command system_log_clear is currently unsupported");
  return ZQ_ERR;
}
int32_t handle_system_log_prepare(const char* params, char* response, uint16_t size) {
  return handle_system_log_clear(params, response, size);
}
int32_t handle_system_log_list(const char* params, char* response, uint16_t size) {
  return handle_system_log_clear(params, response, size);
}

int32_t handle_mode_sub_mode(const char* params, char*, uint16_t) {
  std::string mode_text;
  std::string sub_text;
  uint32_t mode = 0;
  if (!zq_query_get(params, "mode=", &mode_text) || !zq_query_get(params, "sub_mode=", &sub_text) ||
      !zq_parse_u32(mode_text, &mode)) {
    return ZQ_ERR_INVALID_PARAM;
  }
  uint8_t record[8];
  PutLe(record, mode, 4);
  if (sub_text.empty()) {
    set_csi_analytics_source_wifi();
    return Send(ZQCONTROL_MODE, record, 4);
  }
  uint32_t sub = 0;
  if (!zq_parse_u32(sub_text, &sub)) return ZQ_ERR_INVALID_PARAM;
  PutLe(record + 4, sub, 4);
  set_csi_analytics_source_wifi();
  return Send(ZQCONTROL_SUB_MODE, record, sizeof record);
}

int32_t handle_capture_delay(const char* params, char*, uint16_t) {
  std::string text;
  if (!zq_query_get(params, "delay=", &text)) return ZQ_ERR_INVALID_PARAM;
  uint32_t delay = 0;
  if (!zq_parse_u32(text, &delay) || (delay != 0 && delay != 3 && delay != 10)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid paramater value for delay, expect [0, 3s or 10s] got [%s]",
           text.c_str());
    return ZQ_ERR_INVALID_PARAM;
  }
  set_csi_analytics_source_wifi();
  uint8_t bytes[4];
  PutLe(bytes, delay, 4);
  return Send(ZQCONTROL_PHOTO_TIMER, bytes, sizeof bytes);
}

int32_t handle_digital_zoom(const char* params, char*, uint16_t) {
  std::string text;
  if (!zq_query_get(params, "range_pcnt=", &text)) return ZQ_ERR_INVALID_PARAM;
  uint32_t percent = 0;
  if (!zq_parse_u32(text, &percent)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid paramater value for range_pcnt, expect [0..100] got [%s]",
           text.c_str());
    return ZQ_ERR_INVALID_PARAM;
  }
  return send_digital_zoom(percent);
}

int32_t handle_button_set(const char* params, char*, uint16_t) {
  uint32_t type = 0;
  uint32_t state = 0;
  if (!RequireUnsigned(params, "type=", &type) || !RequireUnsigned(params, "state=", &state)) {
    return ZQ_ERR_INVALID_PARAM;
  }
  uint8_t record[8];
  PutLe(record, type, 4);
  PutLe(record + 4, state, 4);
  return Send(ZQCONTROL_BUTTON_SET, record, sizeof record);
}

int32_t handle_liveview_exposure(const char* params, char*, uint16_t) {
  // {mode, x, y, lens}: modes 1 to 3 expose for the point x, y; mode 3 also names the lens.
  uint32_t v[4] = {0, 0, 0, 0};
  if (!RequireUnsigned(params, "mode=", &v[0]) || v[0] >= 4) return ZQ_ERR_INVALID_PARAM;
  if (v[0] >= 1 &&
      (!RequireUnsigned(params, "x=", &v[1]) || !RequireUnsigned(params, "y=", &v[2]))) {
    return ZQ_ERR_INVALID_PARAM;
  }
  if (v[0] == 3 && !RequireUnsigned(params, "lens=", &v[3])) return ZQ_ERR_INVALID_PARAM;
  uint8_t record[16];
  for (int i = 0; i < 4; ++i) PutLe(record + 4 * i, v[i], 4);
  ZQ_LOG(ZQ_LOG_DEBUG, "Sending liveview_exposure command for mode:%d, x:%d y:%d", v[0], v[1],
         v[2]);
  set_csi_analytics_source_wifi();
  return Send(ZQCONTROL_LIVEVIEW_EXPOSURE, record, sizeof record);
}

int32_t handle_date_time(const char* params, char*, uint16_t) { return SendDateTime(params, 6); }

int32_t handle_date_time_dst(const char* params, char*, uint16_t) {
  return SendDateTime(params, 8);
}

int32_t handle_setting(const char* params, char*, uint16_t) {
  int32_t id = 0;
  int32_t value = 0;
  if (params == nullptr || !zqc_read_setting_path(params, &id, &value)) {
    return ZQ_ERR_INVALID_PARAM;
  }
  set_csi_analytics_source_wifi();
  return send_setting(id, value);
}

int32_t handle_notifications(const char* params, char*, uint16_t) {
  const char* text = params != nullptr ? params : "";
  set_csi_analytics_source_wifi();
  return Send(ZQCONTROL_NOTIFICATIONS, text, static_cast<uint32_t>(strlen(text) + 1));
}

int32_t handle_command_set_client_info(const char*, char*, uint16_t) {
  set_csi_analytics_source_wifi();
  const uint32_t client_info = 374;
  return csi_set(CSI_CLIENT_INFO, &client_info, sizeof client_info) == 0 ? ZQ_OK : ZQ_ERR;
}

int32_t handle_settings_status(const char*, char* response, uint16_t response_size) {
  all_status_settings_t record;
  memset(&record, 0, sizeof record);
  set_csi_analytics_source_wifi();
  const int32_t status =
      zqcontrol_send_command_param_response(ZQCONTROL_STATUS, nullptr, 0, &record, sizeof record);

  // Built in a buffer each worker thread keeps, so polling the status allocates nothing.
  thread_local std::string text;
  text.clear();
  const bool shutting_down = status == ZQ_ERR_NAK_OFF;
  if (shutting_down) {
    text = kShutdownPending;
  } else {
    zqcontrol_camera_info info;
    uint8_t model = 0;
    const int32_t err = zqcontrol_get_camera_info(&info);
    if (err != 0) {
      ZQ_LOG(ZQ_LOG_ERROR, "error on zqcontrol_get_camera_info %d, using DEFAULT\n", err);
    } else {
      model = info.model_number;
    }
    text += "{";
    camera_status_serialize_status_to_json(text, &record, model);
    text += ",\n";
    camera_settings_serialize_to_json(text, &record.settings, &record.status,
                                      &record.system_settings, model);
    text += "}\n";
  }
  if (text.size() >= response_size) {
    ZQ_LOG(ZQ_LOG_ERROR, "Not enough room in buffer for response\n");
    return shutting_down ? ZQ_OK : ZQ_ERR;
  }
  memcpy(response, text.c_str(), text.size() + 1);
  return ZQ_OK;
}
