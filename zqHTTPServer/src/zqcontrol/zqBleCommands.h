// BLE accessory commands of the control interface: scans, pairing, the list of remembered
// devices and the pairing phase.
//
// Command handlers in the form of the control registry (zqCameraCommands.h): thin calls into the
// control API library (libzqControlApi). Those that need the request itself (its method, body or
// TLS) or write answers of their own still answer ZQ_ERR_NOT_SUPPORTED, reported as a bad request.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQBLECOMMANDS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQBLECOMMANDS_H_

#include <cstdint>

// The link to the BLE service, opened before and closed after each BLE command that uses it
// (the registry's pre- and post-steps). 0 when open.
int32_t ble_if_open();
void ble_if_close();

int32_t handle_command_ble_pairing_available(const char* params, char* response,
                                             uint16_t response_size);
int32_t handle_command_ble_pairing_phase(const char* params, char* response,
                                         uint16_t response_size);
int32_t handle_command_ble_configure(const char* params, char* response, uint16_t response_size);
int32_t handle_command_ble_scan(const char* params, char* response, uint16_t response_size);
int32_t handle_command_ble_scan_list(const char* params, char* response, uint16_t response_size);
int32_t handle_command_ble_pair_start(const char* params, char* response, uint16_t response_size);
int32_t handle_command_ble_pair_cancel(const char* params, char* response, uint16_t response_size);
int32_t handle_command_ble_pair_status(const char* params, char* response, uint16_t response_size);
int32_t handle_command_ble_whitelist_list(const char* params, char* response,
                                          uint16_t response_size);
int32_t handle_command_ble_whitelist_device(const char* params, char* response,
                                            uint16_t response_size);
int32_t handle_command_ble_whitelist_configure(const char* params, char* response,
                                               uint16_t response_size);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQBLECOMMANDS_H_
