#include "zqcontrol/zqControl.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>

#include "http/zqResponse.h"
#include "server/zqCsi.h"
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
  std::string body = "\n";
  ss_printf(body,
            "{ \"message\": \"ZQCONTROL_SYSTEM_GET_GEOCAL return size:%d, failed with err %d\" }",
            len, status);
  return Failure(body);
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
  std::string body = "\n";
  ss_printf(
      body,
      "{ \"message\": \"ZQCONTROL_SYSTEM_GET_SHADINGDATA_FILE path:%s, failed with err %d\" }",
      zq_json_escape(path).c_str(), status);
  return Failure(body);
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
  std::string body = "\r\n";
  ss_printf(body, "{ \"message\": \"ZQCONTROL_PRESETS failed with err %d\" }", result);
  return Failure(body);
}

void AppendError(std::string& out, const char* path, const char* params, const char* http_status,
                 int32_t err, int line) {
  http_print_error_response_ex(out, path, params, http_status, err, zqErrno2Str(err),
                               "zqcontrol_cgi_handler", line);
}

// The answer to a handler's status.
void AppendAnswer(std::string& out, int32_t status, std::string_view body, const char* path,
                  const char* params) {
  const char* http_status = nullptr;
  int32_t err = status;
  switch (status) {
    case ZQ_OK:
      if (body.empty()) {
        http_output_empty_json(out);
      } else {
        http_output_success_header(out);
        http_output_content_length(out, body.size());
        out.append(body);
      }
      return;
    case ZQ_ERR_RESPONSE_ALREADY_SENT:
      // An ordinary handler never answers itself: this is a service status passed on, and
      // the client still needs an answer.
      http_status = kHttp500;
      break;
    case kNoContent:
      AppendError(out, path, params, kHttp204, status, __LINE__);
      return;
    case ZQ_ERR_NOT_SUPPORTED:
      AppendError(out, path, params, kHttp400, ZQ_ERR_INVALID_PARAM, __LINE__);
      return;
    case ZQ_ERR_ACCESS_DENIED:
      AppendError(out, path, params, kHttp403, status, __LINE__);
      return;
    case kZqStatusNotFound:
      AppendError(out, path, params, kHttp404, status, __LINE__);
      return;
    case ZQ_ERR_INCOMPLETE_CGI_PARAM:
      http_status = kHttp400;
      break;
    default:
      http_status = kHttp500;
      break;
  }
  AppendError(out, path, params, http_status, err, __LINE__);
  // The status text without its line end.
  ZQ_LOG(ZQ_LOG_ERROR, "err %d, pPath %s, pParams %s, http_status %.*s", status, path, params,
         static_cast<int>(strlen(http_status) - 2), http_status);
}

}  // namespace

ZqAnswer zqcontrol_status_answer(const char* path, const char* params, int32_t status,
                                 std::string_view body) {
  std::string out;
  AppendAnswer(out, status, body, path, params);
  return ZqAnswer::Raw(std::move(out));
}

int32_t zqcontrol_cgi_handler(const char* path, const char* params, std::string& out,
                              ZqRequest* request, std::optional<ZqAnswer>* own) {
  ZQ_LOG(ZQ_LOG_INFO, "Executing zqControl-CIVETWEB-cgi-bin path[%s] params[%s]", path, params);

  if (path[0] == '\0') {
    ZQ_LOG(ZQ_LOG_DEBUG, "Sending settings.json file");
    camera_description_output_json(out);
    return ZQ_OK;
  }

  int32_t err = zqcontrol_uri_interface_open();
  if (err != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Error[%d] opening the daemon interface", err);
    AppendError(out, path, params, kHttp500, err, __LINE__);
    return err;
  }
  int row = 0;
  err = add_custom_handlers(&row);
  if (err != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Unable to add custom handlers err:%d at line:%d", err, row);
    zqcontrol_uri_interface_close();
    AppendError(out, path, params, kHttp500, err, __LINE__);
    return err;
  }

  int32_t status = ZQ_OK;
  const bool answers = request != nullptr && own != nullptr &&
                       zqcontrol_uri_answer(path, params, *request, own, &status);
  if (!answers || !*own) {
    // The handlers' response buffer, zeroed for each request. (A command that answers itself
    // gets here only when its pre-step failed: its status is answered.)
    char response[kZqcResponseSize] = {};
    if (!answers) status = zqcontrol_uri_handle_uri_param(path, params, response, kZqcResponseSize);
    AppendAnswer(out, status, std::string_view(response, strnlen(response, kZqcResponseSize)), path,
                 params);
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
    std::string out;
    std::optional<ZqAnswer> own;
    zqcontrol_cgi_handler(path, query.c_str(), out, &request, &own);
    if (own) return std::move(*own);
    if (!out.empty()) return ZqAnswer::Raw(std::move(out));
  } catch (const std::exception& e) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqControl - Caught exception %s - discarding", e.what());
  } catch (...) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqControl - Caught exception %s - discarding", "(unknown)");
  }
  return ZqAnswer::EmptyJson(500);  // the client still gets an answer
}
