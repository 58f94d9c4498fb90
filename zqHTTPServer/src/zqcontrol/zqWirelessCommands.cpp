#include "zqcontrol/zqWirelessCommands.h"

#include "zqcommon/zqErrors.h"

int32_t handle_ap_config(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_ssid_scan(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_ssid_list(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_ssid_save(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_ssid_select(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_ssid_delete(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_wifi_pair_complete(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_wifi_set_suspend_resume_state(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
