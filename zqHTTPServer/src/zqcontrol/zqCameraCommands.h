// The camera command handlers of the control interface: shutter, modes, settings, status,
// date and time, zoom, timers, resets, power and accessory switches, and the operations the
// Open API shares with them.
//
// Every handler has the command-handler form of the control registry: `params` is the query
// text (undecoded; the setting handler gets the rest of its path instead), `response` a
// buffer of `response_size` bytes for a JSON success body. The result is 0 or a negative
// ZQ_ERR_* code: ZQ_ERR_INVALID_PARAM for a missing, repeated or unreadable parameter (the
// control service is then not contacted), else the service's status. Handlers run one at a
// time under the control locks (zqCsi.h) and take no lock themselves.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCAMERACOMMANDS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCAMERACOMMANDS_H_

#include <cstdint>

// Marks the next command as coming from the Wi-Fi client: caller id 1 and camera status 92
// set to 1 (a failed set is logged and the command goes on).
void set_csi_analytics_source_wifi();

// Command 30 with {setting id, value} (8 bytes); no source marking. The service's status.
int32_t send_setting(int32_t setting, int32_t value);

// Digital zoom to `percent` (0..100): source marking and command 61. Above 100: logged,
// ZQ_ERR_INVALID_PARAM.
int32_t send_digital_zoom(uint32_t percent);

int32_t handle_shutter(const char* params, char* response, uint16_t response_size);
int32_t handle_mode(const char* params, char* response, uint16_t response_size);
int32_t handle_mode_sub_mode(const char* params, char* response, uint16_t response_size);
int32_t handle_set_mode(const char* params, char* response, uint16_t response_size);
int32_t handle_date_time(const char* params, char* response, uint16_t response_size);
int32_t handle_date_time_dst(const char* params, char* response, uint16_t response_size);
int32_t handle_fw_update_start(const char* params, char* response, uint16_t response_size);
int32_t handle_fw_update_done(const char* params, char* response, uint16_t response_size);
int32_t handle_fw_update_cancel(const char* params, char* response, uint16_t response_size);
int32_t handle_tag_recording(const char* params, char* response, uint16_t response_size);
int32_t handle_delete_last(const char* params, char* response, uint16_t response_size);
int32_t handle_delete_all(const char* params, char* response, uint16_t response_size);
int32_t handle_ap_control(const char* params, char* response, uint16_t response_size);
int32_t handle_band_select(const char* params, char* response, uint16_t response_size);
int32_t handle_rc_pair(const char* params, char* response, uint16_t response_size);
int32_t handle_rc_pair_cancel(const char* params, char* response, uint16_t response_size);
int32_t handle_video_promode_reset(const char* params, char* response, uint16_t response_size);
int32_t handle_photo_promode_reset(const char* params, char* response, uint16_t response_size);
int32_t handle_multi_promode_reset(const char* params, char* response, uint16_t response_size);
int32_t handle_promode_reset(const char* params, char* response, uint16_t response_size);
int32_t handle_shutdown(const char* params, char* response, uint16_t response_size);
int32_t handle_sleep(const char* params, char* response, uint16_t response_size);
int32_t handle_locate(const char* params, char* response, uint16_t response_size);
int32_t handle_factory_reset(const char* params, char* response, uint16_t response_size);
int32_t handle_settings_status(const char* params, char* response, uint16_t response_size);
int32_t handle_setting(const char* params, char* response, uint16_t response_size);
int32_t handle_notifications(const char* params, char* response, uint16_t response_size);
int32_t handle_liveview_exposure(const char* params, char* response, uint16_t response_size);
int32_t handle_command_set_client_info(const char* params, char* response, uint16_t response_size);
int32_t handle_digital_zoom(const char* params, char* response, uint16_t response_size);
int32_t handle_capture_delay(const char* params, char* response, uint16_t response_size);
int32_t handle_ble_control(const char* params, char* response, uint16_t response_size);
int32_t handle_set_preset(const char* params, char* response, uint16_t response_size);
int32_t handle_system_log_clear(const char* params, char* response, uint16_t response_size);
int32_t handle_system_log_prepare(const char* params, char* response, uint16_t response_size);
int32_t handle_system_log_list(const char* params, char* response, uint16_t response_size);
int32_t handle_onscreen_shortcuts_reset(const char* params, char* response, uint16_t response_size);
int32_t handle_video_timewarp_speed_ramp(const char* params, char* response,
                                         uint16_t response_size);
int32_t handle_video_timewarp_speed_ramp_active(const char* params, char* response,
                                                uint16_t response_size);
int32_t handle_button_set(const char* params, char* response, uint16_t response_size);
int32_t handle_set_in_contextual_menu(const char* params, char* response, uint16_t response_size);
int32_t handle_set_camera_control_status(const char* params, char* response,
                                         uint16_t response_size);
int32_t handle_wired_usb_control(const char* params, char* response, uint16_t response_size);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCAMERACOMMANDS_H_
