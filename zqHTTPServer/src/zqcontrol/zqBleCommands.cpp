#include "zqcontrol/zqBleCommands.h"

#include "zqcommon/zqErrors.h"

int32_t ble_if_open() { return ZQ_OK; }

void ble_if_close() {}

int32_t handle_command_ble_pairing_available(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_ble_pairing_phase(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_ble_configure(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_ble_scan(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_ble_scan_list(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_ble_pair_start(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_ble_pair_cancel(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_ble_pair_status(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_ble_whitelist_list(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_ble_whitelist_device(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_ble_whitelist_configure(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
