#include "zqcontrol/zqSystemCommands.h"

#include "zqcommon/zqErrors.h"

int32_t handle_command_debug_level_server(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_debug_level_client(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_mobile_offload_clear_new_media_flag(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_mobile_offload_get_state(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_system_notify_event(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_system_get_beacon(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_system_set_beacon(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_system_enable_beacon(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_execute(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_analytics(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_analytics_clear(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_command_offload_start(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_offload_stop(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_command_offload_pause(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
