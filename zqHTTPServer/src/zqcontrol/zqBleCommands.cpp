#include "zqcontrol/zqBleCommands.h"

#include <string>

#include "zqcontrolapi/zqBleLink.h"
#include "zqcontrolapi/zqCommand.h"

namespace {

// A command whose success answer is a body: the body into the response buffer.
template <typename Fn>
int32_t WithBody(Fn fn, char* response, uint16_t size) {
  std::string body;
  const int32_t status = fn(&body);
  if (status != 0) return status;
  return zq_answer_into(body, response, size, ZqNoRoom::kNoRoom);
}

}  // namespace

int32_t ble_if_open() { return zq_ble_link_open(); }

void ble_if_close() { zq_ble_link_close(); }

int32_t handle_command_ble_pairing_available(const char*, char*, uint16_t) {
  return zq_ble_pairing_available();
}
int32_t handle_command_ble_pairing_phase(const char* params, char*, uint16_t) {
  return zq_ble_pairing_phase(params);
}
int32_t handle_command_ble_configure(const char* params, char* response, uint16_t size) {
  return WithBody([&](std::string* b) { return zq_ble_configure(params, b); }, response, size);
}
int32_t handle_command_ble_scan(const char* params, char*, uint16_t) { return zq_ble_scan(params); }
int32_t handle_command_ble_scan_list(const char* params, char* response, uint16_t size) {
  return WithBody([&](std::string* b) { return zq_ble_scan_list(params, b); }, response, size);
}
int32_t handle_command_ble_pair_start(const char* params, char*, uint16_t) {
  return zq_ble_pair(params, true);
}
int32_t handle_command_ble_pair_cancel(const char* params, char*, uint16_t) {
  return zq_ble_pair(params, false);
}
int32_t handle_command_ble_pair_status(const char*, char* response, uint16_t size) {
  return WithBody([](std::string* b) { return zq_ble_pair_status(b); }, response, size);
}
int32_t handle_command_ble_whitelist_list(const char* params, char* response, uint16_t size) {
  return WithBody([&](std::string* b) { return zq_ble_whitelist_list(params, b); }, response, size);
}
int32_t handle_command_ble_whitelist_device(const char* params, char* response, uint16_t size) {
  return WithBody([&](std::string* b) { return zq_ble_whitelist_device(params, b); }, response,
                  size);
}
int32_t handle_command_ble_whitelist_configure(const char* params, char*, uint16_t) {
  return zq_ble_whitelist_configure(params);
}
