// Wireless commands of the control interface: the access point's name and password, remembered
// networks, scans and the end of app pairing.
//
// Command handlers in the form of the control registry (zqCameraCommands.h): thin calls into the
// control API library (libzqControlApi). Those that need the request itself (its method, body or
// TLS) or write answers of their own still answer ZQ_ERR_NOT_SUPPORTED, reported as a bad request.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQWIRELESSCOMMANDS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQWIRELESSCOMMANDS_H_

#include <cstdint>

int32_t handle_ap_config(const char* params, char* response, uint16_t response_size);
int32_t handle_ssid_scan(const char* params, char* response, uint16_t response_size);
int32_t handle_ssid_list(const char* params, char* response, uint16_t response_size);
int32_t handle_ssid_save(const char* params, char* response, uint16_t response_size);
int32_t handle_ssid_select(const char* params, char* response, uint16_t response_size);
int32_t handle_ssid_delete(const char* params, char* response, uint16_t response_size);
int32_t handle_command_wifi_pair_complete(const char* params, char* response,
                                          uint16_t response_size);
int32_t handle_command_wifi_set_suspend_resume_state(const char* params, char* response,
                                                     uint16_t response_size);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQWIRELESSCOMMANDS_H_
