#include "zqcontrol/zqControl.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "core/zqCsi.h"
#include "http/zqResponse.h"
#include "http/zqWriter.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"
#include "zqcontrol/zqCameraInfo.h"
#include "zqcontrol/zqControlUri.h"
#include "zqcontrol/zqPresetCommands.h"

namespace {

constexpr size_t kRoutePrefix = 13;  // strlen("/zq/zqControl")
constexpr uint32_t kGeoCalCapacity = 1499;
constexpr uint32_t kCalPathSize = 257;
constexpr int32_t kNoContent = kZqStatusNoContent;

ZqAnswer Failure(const std::string& body) { return ZqAnswer::Json(500, body); }

// "getGeoCal": the camera's geometric calibration blob.
ZqAnswer GeoCal() {
  char blob[kGeoCalCapacity] = {};
  uint16_t len = 0;
  int32_t status = zqcontrol_interface_open();
  const bool opened = status == 0;
  if (opened) {
    status = zqcontrol_send_command_param_response_ex(ZQCONTROL_SYSTEM_GET_GEOCAL, nullptr, 0, blob,
                                                      kGeoCalCapacity, &len);
    zqcontrol_interface_close();
    if (len > kGeoCalCapacity) len = kGeoCalCapacity;  // never more than was offered
  }
  if (status == 0 && len != 0)
    return ZqAnswer::Bytes(200, kMimeOctetStream, std::string(blob, len));
  return Failure("\n{ \"message\": \"ZQCONTROL_SYSTEM_GET_GEOCAL return size:" +
                 std::to_string(len) + ", failed with err " + std::to_string(status) + "\" }");
}

// "getCalData": the shading calibration file the camera names, read as it is sent.
ZqAnswer CalData() {
  char path[kCalPathSize] = {};
  int32_t status = zqcontrol_interface_open();
  const bool opened = status == 0;
  if (opened) {
    status = zqcontrol_send_command_param_response(ZQCONTROL_SYSTEM_GET_SHADINGDATA_FILE, nullptr,
                                                   0, path, sizeof path);
    zqcontrol_interface_close();
  }
  path[sizeof path - 1] = '\0';
  ZQ_LOG(ZQ_LOG_DEBUG, "Got Analytics file response [%s] \n", path);
  if (status == 0) {
    std::shared_ptr<FILE> f(path[0] != '\0' ? fopen(zq_path(path).c_str(), "rbe") : nullptr,
                            [](FILE* file) {
                              if (file != nullptr) fclose(file);
                            });
    struct stat st = {};
    if (f != nullptr && fstat(fileno(f.get()), &st) == 0 && S_ISREG(st.st_mode)) {
      return ZqAnswer::Sized(200, kMimeOctetStream, static_cast<uint64_t>(st.st_size),
                             [f](ZqSink& sink) {
                               char buf[1024];
                               size_t n;
                               while ((n = fread(buf, 1, sizeof buf, f.get())) > 0) {
                                 if (!sink.Write(buf, n)) return false;
                               }
                               return ferror(f.get()) == 0;
                             });
    }
    status = kNoContent;
  }
  return Failure("\n{ \"message\": \"ZQCONTROL_SYSTEM_GET_SHADINGDATA_FILE path:" +
                 zq_json_escape(path) + ", failed with err " + std::to_string(status) + "\" }");
}

// "preset/<name>".
ZqAnswer Preset(const char* name, const char* query) {
  ZQ_LOG(ZQ_LOG_DEBUG, "%s", name);
  std::optional<ZqAnswer> answer;
  int32_t result = zqcontrol_interface_open();
  if (result == 0) {
    result = handle_preset_commands(name, query, &answer);
    zqcontrol_interface_close();
  }
  if (result == 0 && answer) return std::move(*answer);
  return Failure("\r\n{ \"message\": \"ZQCONTROL_PRESETS failed with err " +
                 std::to_string(result) + "\" }");
}

ZqAnswer Error(const char* path, const char* params, int http_status, int32_t err, int line) {
  return zqcontrol_error_answer(path, params, http_status, err, zqErrno2Str(err),
                                "zqcontrol_cgi_handler", line);
}

// The answer to a handler's status.
ZqAnswer StatusAnswer(int32_t status, std::string_view body, const char* path, const char* params) {
  int http_status = 500;
  int32_t err = status;
  switch (status) {
    case ZQ_OK:
      if (body.empty()) return ZqAnswer::EmptyJson(200);
      return ZqAnswer::Json(200, std::string(body));
    case ZQ_ERR_RESPONSE_ALREADY_SENT:
      // An ordinary handler never answers itself: this is a service status passed on, and
      // the client still needs an answer.
      break;
    case kNoContent:
      return Error(path, params, 204, status, __LINE__);
    case ZQ_ERR_NOT_SUPPORTED:
      return Error(path, params, 400, ZQ_ERR_INVALID_PARAM, __LINE__);
    case ZQ_ERR_ACCESS_DENIED:
      return Error(path, params, 403, status, __LINE__);
    case kZqStatusNotFound:
      return Error(path, params, 404, status, __LINE__);
    case ZQ_ERR_INCOMPLETE_CGI_PARAM:
      http_status = 400;
      break;
    default:
      break;
  }
  ZQ_LOG(ZQ_LOG_ERROR, "err %d, pPath %s, pParams %s, http_status %d %s", status, path, params,
         http_status, zq_reason(http_status));
  return Error(path, params, http_status, err, __LINE__);
}

}  // namespace

ZqAnswer zqcontrol_error_answer(const char* path, const char* params, int http_status, int32_t err,
                                const char* detail, const char* function, int line) {
  if (http_status == 204) return ZqAnswer::Bytes(204, "", "");
  auto text = [](const char* s) { return std::string(s != nullptr ? s : ""); };
  const nlohmann::ordered_json body = {{"path", text(path)},
                                       {"params", text(params)},
                                       {"error", err},
                                       {"error_name", zqErrno2Str(err)},
                                       {"detail", text(detail)},
                                       {"function", text(function)},
                                       {"line", line}};
  return ZqAnswer::Json(
      http_status,
      body.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
}

ZqAnswer zqcontrol_status_answer(const char* path, const char* params, int32_t status,
                                 std::string_view body) {
  return StatusAnswer(status, body, path, params);
}

int32_t zqcontrol_cgi_handler(const char* path, const char* params, std::optional<ZqAnswer>* answer,
                              ZqRequest* request) {
  ZQ_LOG(ZQ_LOG_INFO, "Executing zqControl-CIVETWEB-cgi-bin path[%s] params[%s]", path, params);

  if (path[0] == '\0') {
    ZQ_LOG(ZQ_LOG_DEBUG, "Sending settings.json file");
    camera_description_output_json(answer);
    return ZQ_OK;
  }

  int32_t err = zqcontrol_uri_interface_open();
  if (err != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Error[%d] opening the daemon interface", err);
    *answer = Error(path, params, 500, err, __LINE__);
    return err;
  }
  int row = 0;
  err = add_custom_handlers(&row);
  if (err != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Unable to add custom handlers err:%d at line:%d", err, row);
    zqcontrol_uri_interface_close();
    *answer = Error(path, params, 500, err, __LINE__);
    return err;
  }

  int32_t status = ZQ_OK;
  const bool answers =
      request != nullptr && zqcontrol_uri_answer(path, params, *request, answer, &status);
  if (!answers || !*answer) {
    // The handlers' response buffer, zeroed for each request. (A command that answers itself
    // gets here only when its pre-step failed: its status is answered.)
    char response[kZqcResponseSize] = {};
    if (!answers) status = zqcontrol_uri_handle_uri_param(path, params, response, kZqcResponseSize);
    *answer = StatusAnswer(status, std::string_view(response, strnlen(response, kZqcResponseSize)),
                           path, params);
  }

  err = zqcontrol_uri_interface_close();
  if (err != 0) ZQ_LOG(ZQ_LOG_ERROR, "Error[%d] closing the daemon interface", err);
  ZQ_LOG(ZQ_LOG_INFO, "DONE");
  return status;
}

ZqAnswer zqControl(ZqRequest& request) {
  const std::string uri(request.Uri());
  const std::string query(request.Query());
  const char* path = uri.size() >= kRoutePrefix ? uri.c_str() + kRoutePrefix : "";
  if (path[0] == '/' && path[1] != '\0') ++path;  // "/" alone stays, and is no command

  const ZqControlLocks locks;
  try {
    if (strcmp(path, "getGeoCal") == 0) return GeoCal();
    if (strcmp(path, "getCalData") == 0) return CalData();
    if (strncmp(path, "preset/", 7) == 0) return Preset(path + 7, query.c_str());
    std::optional<ZqAnswer> answer;
    zqcontrol_cgi_handler(path, query.c_str(), &answer, &request);
    if (answer) return std::move(*answer);
  } catch (const std::exception& e) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqControl - Caught exception %s - discarding", e.what());
  } catch (...) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqControl - Caught exception %s - discarding", "(unknown)");
  }
  return ZqAnswer::EmptyJson(500);  // the client still gets an answer
}
