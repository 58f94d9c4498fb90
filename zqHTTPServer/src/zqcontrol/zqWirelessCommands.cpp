#include "zqcontrol/zqWirelessCommands.h"

#include <string>

#include "zqcommon/zqErrors.h"
#include "zqcontrolapi/zqCommand.h"
#include "zqcontrolapi/zqWifi.h"

int32_t handle_ap_config(const char* params, char*, uint16_t) { return zq_ap_config(params); }

int32_t handle_ssid_scan(const char* params, char* response, uint16_t size) {
  std::string body;
  const int32_t status = zq_network_scan(params, &body);
  if (status != ZQ_OK) return status;
  return zq_answer_into(body, response, size, ZqNoRoom::kTooLong);
}

int32_t handle_ssid_list(const char* params, char* response, uint16_t size) {
  // The "scan_failed" body goes out with the failure too.
  std::string body;
  const int32_t status = zq_network_list(params, &body);
  if (body.empty()) return status;
  const int32_t copied = zq_answer_into(body, response, size, ZqNoRoom::kNoRoom);
  return status != ZQ_OK ? status : copied;
}

int32_t handle_ssid_save(const char* params, char*, uint16_t) {
  return zq_network_send(params, ZqNetworkUse::kSave);
}
int32_t handle_ssid_select(const char* params, char*, uint16_t) {
  return zq_network_send(params, ZqNetworkUse::kSelect);
}
int32_t handle_ssid_delete(const char* params, char*, uint16_t) {
  return zq_network_send(params, ZqNetworkUse::kDelete);
}
int32_t handle_command_wifi_pair_complete(const char* params, char*, uint16_t) {
  return zq_pair_complete(params);
}
int32_t handle_command_wifi_set_suspend_resume_state(const char* params, char*, uint16_t) {
  return zq_suspend_resume(params);
}
