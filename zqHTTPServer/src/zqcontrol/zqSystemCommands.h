// System commands of the control interface: the streaming program, log levels, analytics files,
// the mobile-offload state, the beacon values and wake-up notifications.
//
// Command handlers in the form of the control registry (zqCameraCommands.h): thin calls into the
// control API library (libzqControlApi). "execute" (a fixed status body, or 503 when the camera is
// not ready), "analytics/get" (the files streamed) and the wireless-offload paths (whether the
// request came over TLS) make answers of their own from the request.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQSYSTEMCOMMANDS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQSYSTEMCOMMANDS_H_

#include <cstdint>
#include <vector>

#include "http/zqAnswer.h"
#include "http/zqRequest.h"
#include "zqcontrolapi/zqSystem.h"

int32_t handle_command_debug_level_server(const char* params, char* response,
                                          uint16_t response_size);
int32_t handle_command_debug_level_client(const char* params, char* response,
                                          uint16_t response_size);
int32_t handle_command_mobile_offload_clear_new_media_flag(const char* params, char* response,
                                                           uint16_t response_size);
int32_t handle_command_mobile_offload_get_state(const char* params, char* response,
                                                uint16_t response_size);
int32_t handle_command_system_notify_event(const char* params, char* response,
                                           uint16_t response_size);
int32_t handle_command_system_get_beacon(const char* params, char* response,
                                         uint16_t response_size);
int32_t handle_command_system_set_beacon(const char* params, char* response,
                                         uint16_t response_size);
int32_t handle_command_system_enable_beacon(const char* params, char* response,
                                            uint16_t response_size);
ZqAnswer handle_command_execute(const char* params, ZqRequest& request);
ZqAnswer handle_command_analytics(const char* params, ZqRequest& request);
// The analytics files `files` (zq_analytics_prepare), `total` bytes in all, as one 200
// octet-stream body read 1,024 bytes at a time; a file that no longer opens ends it short.
ZqAnswer zqcontrol_analytics_stream(std::vector<ZqAnalyticsFile> files, uint64_t total);
int32_t handle_command_analytics_clear(const char* params, char* response, uint16_t response_size);
ZqAnswer handle_command_offload_start(const char* params, ZqRequest& request);
ZqAnswer handle_command_offload_stop(const char* params, ZqRequest& request);
ZqAnswer handle_command_offload_pause(const char* params, ZqRequest& request);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQSYSTEMCOMMANDS_H_
