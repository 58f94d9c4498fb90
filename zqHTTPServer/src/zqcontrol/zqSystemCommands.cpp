#include "zqcontrol/zqSystemCommands.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "http/zqResponse.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqUniqueFd.h"
#include "zqcontrol/zqControl.h"
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
ZqAnswer handle_command_execute(const char* params, ZqRequest& request) {
  const int32_t status = zq_execute(params, request.Client());
  if (status == ZQ_OK) return ZqAnswer::Json(200, kZqExecuteOkBody);
  if (status == kZqExecuteNotReady) return ZqAnswer::Json(503, kZqNotReadyBody);
  return zqcontrol_status_answer("execute", params, status, {});
}

ZqAnswer handle_command_analytics(const char* params, ZqRequest&) {
  std::vector<ZqAnalyticsFile> files;
  uint64_t total = 0;
  const int32_t status = zq_analytics_prepare(&files, &total);
  if (status != ZQ_OK || total == 0) {
    return zqcontrol_status_answer("analytics/get", params, status, {});
  }
  return zqcontrol_analytics_stream(std::move(files), total);
}

ZqAnswer zqcontrol_analytics_stream(std::vector<ZqAnalyticsFile> files, uint64_t total) {
  // The files as they are now, one after the other; the length was taken from their sizes,
  // so a file that changes meanwhile ends the answer short and the connection is closed.
  return ZqAnswer::Sized(200, kMimeOctetStream, total, [files = std::move(files)](ZqSink& sink) {
    for (const ZqAnalyticsFile& f : files) {
      const UniqueFd fd(open(f.path.c_str(), O_RDONLY | O_CLOEXEC));
      if (!fd.valid()) {
        ZQ_LOG(ZQ_LOG_ERROR, "send_analytics_files, failed to open %s, %s", f.path.c_str(),
               strerror(errno));
        return false;
      }
      char buf[1024];
      ssize_t n;
      while ((n = read(fd.get(), buf, sizeof buf)) > 0) {
        if (!sink.Write(buf, static_cast<size_t>(n))) return false;
      }
      if (n < 0) return false;
    }
    return true;
  });
}

int32_t handle_command_analytics_clear(const char*, char*, uint16_t) {
  return zq_analytics_clear();
}

namespace {

ZqAnswer Offload(const char* path, const char* what, const char* params, ZqRequest& request) {
  return zqcontrol_status_answer(path, params, zq_wireless_offload(what, request.Tls()), {});
}

}  // namespace

ZqAnswer handle_command_offload_start(const char* params, ZqRequest& request) {
  return Offload("command/wirelessOffload/start", "start", params, request);
}
ZqAnswer handle_command_offload_stop(const char* params, ZqRequest& request) {
  return Offload("command/wirelessOffload/stop", "stop", params, request);
}
ZqAnswer handle_command_offload_pause(const char* params, ZqRequest& request) {
  return Offload("command/wirelessOffload/pause", "pause", params, request);
}
