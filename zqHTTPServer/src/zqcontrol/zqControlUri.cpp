#include "zqcontrol/zqControlUri.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqLog.h"
#include "zqcontrol/zqBleCommands.h"
#include "zqcontrol/zqCameraCommands.h"
#include "zqcontrol/zqCameraInfo.h"
#include "zqcontrol/zqStorageCommands.h"
#include "zqcontrol/zqSystemCommands.h"
#include "zqcontrol/zqWirelessCommands.h"

namespace {

constexpr ZqcUriRow Row(const char* path, ZqcCommandHandler handler) {
  return {path, {handler, nullptr, nullptr, nullptr}};
}
// Commands that make their own answer (a file, a stream).
constexpr ZqcUriRow Own(const char* path, ZqcAnswerCommand answer) {
  return {path, {nullptr, nullptr, nullptr, answer}};
}
// BLE handlers run inside the link to the BLE service.
constexpr ZqcUriRow Ble(const char* path, ZqcCommandHandler handler) {
  return {path, {handler, ble_if_open, ble_if_close, nullptr}};
}

constexpr ZqcUriRow kDefaultHandlers[] = {
    Row("command/shutter", handle_shutter),
    Row("command/mode", handle_mode),
    Row("command/sub_mode", handle_mode_sub_mode),
    Row("command/setup/date_time", handle_date_time),
    Row("command/setup/date_time_dst", handle_date_time_dst),
    Row("command/fwupdate/download/start", handle_fw_update_start),
    Row("command/fwupdate/download/done", handle_fw_update_done),
    Row("command/fwupdate/download/cancel", handle_fw_update_cancel),
    Row("command/storage/tag_moment", handle_tag_recording),
    Row("command/storage/tag_moment/playback", handle_tag_playback),
    Row("command/storage/tag_moment/playback/photo", handle_tag_playback),
    Row("command/storage/delete/last", handle_delete_last),
    Row("command/storage/delete/all", handle_delete_all),
    Row("command/storage/delete/group", handle_delete_group),
    Own("command/storage/delete/list", handle_delete_list),
    Row("command/storage/delete", handle_delete),
    Row("command/wireless/ap/control", handle_ap_control),
    Row("command/wireless/ap/ssid", handle_ap_config),
    Row("command/wireless/band/select", handle_band_select),
    Row("command/wireless/ssid/scan", handle_ssid_scan),
    Row("command/wireless/ssid/list", handle_ssid_list),
    Row("command/wireless/ssid/save", handle_ssid_save),
    Row("command/wireless/ssid/select", handle_ssid_select),
    Row("command/wireless/ssid/delete", handle_ssid_delete),
    Row("command/wireless/rc/pair", handle_rc_pair),
    Row("command/wireless/rc/pair/cancel", handle_rc_pair_cancel),
    Row("command/wireless/pair/cancel", handle_rc_pair_cancel),
    Row("command/video/promode/reset", handle_video_promode_reset),
    Row("command/photo/promode/reset", handle_photo_promode_reset),
    Row("command/multi_shot/promode/reset", handle_multi_promode_reset),
    Row("command/system/shutdown", handle_shutdown),
    Row("command/system/sleep", handle_sleep),
    Row("command/system/locate", handle_locate),
    Row("command/system/factory_reset", handle_factory_reset),
    Row("status", handle_settings_status),
    Row("setting", handle_setting),
    Row("notifications", handle_notifications),
    Row("info", handle_camera_info),
    Row("command/transcode/history", handle_transcode_history),
    Own("command/transcode/video_to_video", handle_transcode_video_to_video),
    Own("command/transcode/photo_to_video", handle_transcode_photo_to_video),
    Row("command/transcode/status", handle_transcode_status),
    Row("command/transcode/cancel", handle_transcode_cancel),
    Row("command/liveview/exposure_mode", handle_liveview_exposure),
    Row("debug/server_level", handle_command_debug_level_server),
    Row("command/set_client_info", handle_command_set_client_info),
    Row("command/digital_zoom", handle_digital_zoom),
    Row("command/photo_timer", handle_capture_delay),
    Row("command/mobile_offload/clear_new_media_flag",
        handle_command_mobile_offload_clear_new_media_flag),
    Row("command/system/notify_event", handle_command_system_notify_event),
    Row("command/system/get_beacon", handle_command_system_get_beacon),
    Row("command/system/set_beacon", handle_command_system_set_beacon),
    Row("command/system/enable_beacon", handle_command_system_enable_beacon),
    Row("command/mobile_offload/get_state", handle_command_mobile_offload_get_state),
    Row("command/ble/control", handle_ble_control),
    Row("command/set_mode", handle_set_mode),
    Row("command/promode/reset", handle_promode_reset),
    Row("command/set_preset", handle_set_preset),
    Row("command/system/logs_clear", handle_system_log_clear),
    Row("command/system/logs_prepare", handle_system_log_prepare),
    Row("command/system/logs_list", handle_system_log_list),
    Row("command/onscreen_shortcuts_reset", handle_onscreen_shortcuts_reset),
    Row("command/timewarp_speed_ramp", handle_video_timewarp_speed_ramp),
    Row("command/timewarp_speed_ramp_active", handle_video_timewarp_speed_ramp_active),
    Row("command/button_set", handle_button_set),
    Row("command/set_in_contextual_menu", handle_set_in_contextual_menu),
    Row("command/set_camera_control_status", handle_set_camera_control_status),
    Row("command/system/wired_usb", handle_wired_usb_control),
};
static_assert(std::size(kDefaultHandlers) == 68);

constexpr ZqcUriRow kCustomHandlers[] = {
    Row("command/ble/pairing_available", handle_command_ble_pairing_available),
    Ble("command/ble/pairing_phase", handle_command_ble_pairing_phase),
    Ble("command/ble/configure", handle_command_ble_configure),
    Ble("command/ble/scan", handle_command_ble_scan),
    Ble("command/ble/scan/list", handle_command_ble_scan_list),
    Ble("command/ble/pair/start", handle_command_ble_pair_start),
    Ble("command/ble/pair/cancel", handle_command_ble_pair_cancel),
    Ble("command/ble/pair/status", handle_command_ble_pair_status),
    Ble("command/ble/whitelist/list", handle_command_ble_whitelist_list),
    Ble("command/ble/whitelist/device", handle_command_ble_whitelist_device),
    Ble("command/ble/whitelist/configure", handle_command_ble_whitelist_configure),
    Own("execute", handle_command_execute),
    Own("analytics/get", handle_command_analytics),
    Row("analytics/clear", handle_command_analytics_clear),
    Row("debug/client_level", handle_command_debug_level_client),
    Row("command/wireless/pair/complete", handle_command_wifi_pair_complete),
    Own("command/wirelessOffload/start", handle_command_offload_start),
    Own("command/wirelessOffload/stop", handle_command_offload_stop),
    Own("command/wirelessOffload/pause", handle_command_offload_pause),
    Row("command/system/suspend_resume_state", handle_command_wifi_set_suspend_resume_state),
};
static_assert(std::size(kCustomHandlers) == 20);

// Path -> record.
std::map<std::string, ZqcUriRecord, std::less<>>& Registry() REQUIRES(g_accessMutex) {
  static auto* registry = new std::map<std::string, ZqcUriRecord, std::less<>>();  // process
  return *registry;
}
bool g_defaultsAdded GUARDED_BY(g_accessMutex) = false;
bool g_customAdded GUARDED_BY(g_accessMutex) = false;

int32_t AddRows(std::span<const ZqcUriRow> rows, int* failed_row) REQUIRES(g_accessMutex) {
  int n = 0;
  for (const ZqcUriRow& r : rows) {
    ++n;
    const int32_t err = zqcontrol_uri_add_handler(r.path, r.record);
    if (err != 0) {
      if (failed_row != nullptr) *failed_row = n;
      return err;
    }
  }
  return ZQ_OK;
}

constexpr char kSettingPrefix[] = "setting";

}  // namespace

std::span<const ZqcUriRow> zqcontrol_default_handlers() { return kDefaultHandlers; }
std::span<const ZqcUriRow> zqcontrol_custom_handlers() { return kCustomHandlers; }

int32_t zqcontrol_uri_add_handler(const char* path, const ZqcUriRecord& record) {
  if (!Registry().emplace(path, record).second) {
    fprintf(stderr, "Handler already exists for key [%s]\n", path);
    return ZQ_ERR;
  }
  return ZQ_OK;
}

void remove_all_handlers() {
  Registry().clear();
  g_defaultsAdded = false;
  g_customAdded = false;
}

int32_t zqcontrol_uri_interface_open() {
  int32_t err = zqcontrol_interface_open();
  if (err != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Unable to open zqControl interface");
    return err;
  }
  if (g_defaultsAdded) return ZQ_OK;
  err = AddRows(kDefaultHandlers, nullptr);
  if (err != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Unable to add default handlers");
    zqcontrol_interface_close();
    remove_all_handlers();
    return err;
  }
  g_defaultsAdded = true;
  return ZQ_OK;
}

int32_t zqcontrol_uri_interface_close() { return zqcontrol_interface_close(); }

int32_t add_custom_handlers(int* row) {
  if (g_customAdded) return ZQ_OK;
  const int32_t err = AddRows(kCustomHandlers, row);
  if (err == 0) g_customAdded = true;
  return err;
}

const ZqcUriRecord* zqcontrol_uri_find(std::string_view path) {
  const auto& registry = Registry();
  const auto it = registry.find(path);
  return it != registry.end() ? &it->second : nullptr;
}

int32_t zqcontrol_uri_handle_uri_param(const char* path, const char* params, char* response,
                                       uint16_t response_size) {
  const ZqcUriRecord* record = zqcontrol_uri_find(path);
  if (record == nullptr) {
    // "setting/91/66" runs the setting handler with "/91/66".
    if (strncmp(path, kSettingPrefix, strlen(kSettingPrefix)) != 0) return ZQ_ERR_NOT_SUPPORTED;
    record = zqcontrol_uri_find(kSettingPrefix);
    if (record == nullptr) return ZQ_ERR_NOT_SUPPORTED;
    params = path + strlen(kSettingPrefix);
  }
  if (record->handler == nullptr) return ZQ_ERR_NOT_SUPPORTED;

  int32_t status;
  const int32_t pre = record->pre != nullptr ? record->pre() : 0;
  if (pre != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "A pre execution handler was specified and failed!");
    status = pre;
  } else {
    status = record->handler(params != nullptr ? params : "", response, response_size);
  }
  if (record->post != nullptr) record->post();
  if (status != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "Execute failed, err %d, path %s, param %s", status, path,
           params != nullptr ? params : "");
  }
  return status;
}

bool zqcontrol_uri_answer(const char* path, const char* params, ZqRequest& request,
                          std::optional<ZqAnswer>* answer, int32_t* status) {
  const ZqcUriRecord* record = zqcontrol_uri_find(path);
  if (record == nullptr || record->answer == nullptr) return false;
  *status = record->pre != nullptr ? record->pre() : 0;
  if (*status != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "A pre execution handler was specified and failed!");
  } else {
    answer->emplace(record->answer(params != nullptr ? params : "", request));
  }
  if (record->post != nullptr) record->post();
  return true;
}
