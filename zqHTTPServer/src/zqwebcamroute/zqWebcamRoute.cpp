#include "zqwebcamroute/zqWebcamRoute.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/zqCsi.h"
#include "core/zqLocks.h"
#include "csi.h"
#include "zqCtrlD.h"
#include "zqcommon/zqLog.h"
#include "zqcontrol/zqCameraCommands.h"

namespace {

constexpr size_t kRoutePrefix = 12;  // strlen("/zq/zqWebcam")

int32_t WriteStatus(int32_t id, const void* value, uint32_t size) {
  ZqLock csi(g_CSIMutex);
  return csi_set(id, value, size);
}

// Command 30 {id, value}, inside its own control-service open and close.
int32_t SendSetting(int32_t id, int32_t value) {
  int32_t status = zqcontrol_interface_open();
  if (status != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "webcam: cannot open the control service, %d", status);
    return status;
  }
  status = send_setting(id, value);
  zqcontrol_interface_close();
  return status;
}

ZqAnswer Answer(const ZqWebcamAnswer& a) { return ZqAnswer::Json(a.code, a.body); }

}  // namespace

ZqAnswer zqWebcam(ZqRequest& request) {
  std::string_view name = request.Uri();
  name.remove_prefix(std::min(kRoutePrefix, name.size()));
  if (name.size() > 1 && name[0] == '/') name.remove_prefix(1);
  const std::optional<ZqWebcamOp> op = zq_webcam_legacy_op(name);
  if (!op) return ZqAnswer::EmptyJson(404);
  if (*op == ZqWebcamOp::kVersion) return Answer(zq_webcam_version());

  const std::string query(request.Query());
  // The route's one webcam lock, held to the end of the request.
  const ZqWebcamLock lock(g_webcamMutex);
  switch (*op) {
    case ZqWebcamOp::kStart:
    case ZqWebcamOp::kStartLtp:
      return Answer(zq_webcam_start(lock, query.c_str(), request.Client(),
                                    *op == ZqWebcamOp::kStartLtp, WriteStatus));
    case ZqWebcamOp::kPreview:
    case ZqWebcamOp::kPreviewLtp:
      return Answer(
          zq_webcam_preview(lock, request.Client(), *op == ZqWebcamOp::kPreviewLtp, WriteStatus));
    case ZqWebcamOp::kStop:
      return Answer(zq_webcam_simple(lock, kZqWebcamStop, WriteStatus));
    case ZqWebcamOp::kStatus:
      return Answer(zq_webcam_simple(lock, kZqWebcamStatus, WriteStatus));
    case ZqWebcamOp::kExit:
      return Answer(zq_webcam_simple(lock, kZqWebcamExit, WriteStatus));
    case ZqWebcamOp::kSettings:
      return Answer(zq_webcam_settings(lock, query.c_str(), WriteStatus, SendSetting));
    case ZqWebcamOp::kVersion:
      break;
  }
  return Answer(zq_webcam_version());
}

ZqAnswer zqwebcam_openapi(std::string_view sub_path, ZqRequest& request,
                          const ZqWebcamFilter* filter) {
  const std::string query(request.Query());
  const bool bare = query.empty();
  if (sub_path == "start") {
    const ZqWebcamLock lock(g_webcamMutex);
    return Answer(
        zq_webcam_checked_start(lock, query.c_str(), request.Client(), filter, WriteStatus));
  }
  if (sub_path == "status") {
    const ZqWebcamLock lock(g_webcamMutex);
    return Answer(zq_webcam_simple(lock, kZqWebcamStatus, WriteStatus));
  }
  const bool known =
      sub_path == "stop" || sub_path == "preview" || sub_path == "version" || sub_path == "exit";
  if (!known) return ZqAnswer::EmptyJson(404);
  if (!bare) return ZqAnswer::Json(400, "{}");
  if (sub_path == "version") return Answer(zq_webcam_version());
  const ZqWebcamLock lock(g_webcamMutex);
  if (sub_path == "preview") {
    return Answer(zq_webcam_preview(lock, request.Client(), false, WriteStatus));
  }
  return Answer(
      zq_webcam_simple(lock, sub_path == "stop" ? kZqWebcamStop : kZqWebcamExit, WriteStatus));
}
