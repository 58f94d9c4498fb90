#include "zqcontrol/zqSystemCommands.h"

#include <string>

#include "zqcommon/zqErrors.h"
#include "zqcontrolapi/zqCommand.h"
#include "zqcontrolapi/zqSystem.h"

namespace {

int32_t Answer(int32_t status, const std::string& body, char* response, uint16_t size,
               ZqNoRoom log) {
  if (status != ZQ_OK) return status;
  return zq_answer_into(body, response, size, log);
}

}  // namespace

int32_t handle_command_debug_level_server(const char* params, char*, uint16_t) {
  return zq_debug_server_level(params);
}
int32_t handle_command_debug_level_client(const char* params, char*, uint16_t) {
  return zq_debug_client_level(params);
}
int32_t handle_command_mobile_offload_clear_new_media_flag(const char*, char*, uint16_t) {
  return zq_clear_new_media_flag();
}
int32_t handle_command_mobile_offload_get_state(const char*, char* response, uint16_t size) {
  std::string body;
  const int32_t status = zq_offload_state(&body);
  return Answer(status, body, response, size, ZqNoRoom::kTooLong);
}
int32_t handle_command_system_notify_event(const char* params, char*, uint16_t) {
  return zq_notify_event(params);
}
int32_t handle_command_system_get_beacon(const char*, char* response, uint16_t size) {
  std::string body;
  const int32_t status = zq_get_beacon(&body);
  return Answer(status, body, response, size, ZqNoRoom::kNoRoom);
}
int32_t handle_command_system_set_beacon(const char* params, char*, uint16_t) {
  return zq_set_beacon(params);
}
int32_t handle_command_system_enable_beacon(const char* params, char*, uint16_t) {
  return zq_enable_beacon(params);
}
// "execute" and "analytics/get" answer with bodies of their own (a fixed status text, 503, or
// the analytics files streamed): built on the answer value of the HTTP layer, over zq_execute
// and zq_analytics_prepare.
int32_t handle_command_execute(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_analytics(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_analytics_clear(const char*, char*, uint16_t) {
  return zq_analytics_clear();
}
// The wireless-offload paths depend on whether the request came over TLS (zq_wireless_offload):
// built on the request context of the HTTP layer.
int32_t handle_command_offload_start(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_offload_stop(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_offload_pause(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
