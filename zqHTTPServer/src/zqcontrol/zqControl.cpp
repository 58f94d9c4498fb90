#include "zqcontrol/zqControl.h"

#include <civetweb.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>

#include "server/zqConnection.h"
#include "server/zqCsi.h"
#include "server/zqResponse.h"
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

// The handlers' response buffer, zeroed before each request; guarded by g_accessMutex.
char g_response[kZqcResponseSize];

// The answer being built; kept between requests so that its storage is reused. Guarded by
// g_accessMutex.
std::string& Answer() {
  static auto* answer = new std::string();  // lives for the process
  return *answer;
}

// A whole answer with a body, in one write.
void WriteAnswer(mg_connection* conn, const char* status, const char* type, const char* body,
                 size_t n) {
  std::string& text = Answer();
  text.clear();
  ss_printf(text, "HTTP/1.1 %sContent-Type: %s\r\nContent-Length: %zu\r\n\r\n", status, type, n);
  text.append(body, n);
  zq_conn_write(conn, text.data(), text.size());
}

void WriteFailure(mg_connection* conn, const std::string& body) {
  WriteAnswer(conn, kHttp500, kMimeJson, body.data(), body.size());
}

// "getGeoCal": the camera's geometric calibration blob.
void SendGeoCal(mg_connection* conn) {
  uint16_t len = 0;
  int32_t status = zqcontrol_interface_open();
  const bool opened = status == 0;
  if (opened) {
    memset(g_response, 0, sizeof g_response);
    status = zqcontrol_send_command_param_response_ex(ZQCONTROL_SYSTEM_GET_GEOCAL, nullptr, 0,
                                                      g_response, kGeoCalCapacity, &len);
    if (len > kGeoCalCapacity) len = kGeoCalCapacity;  // never more than was offered
  }
  if (status == 0 && len != 0) {
    WriteAnswer(conn, kHttp200, kMimeOctetStream, g_response, len);
  } else {
    std::string body = "\n";
    ss_printf(body,
              "{ \"message\": \"ZQCONTROL_SYSTEM_GET_GEOCAL return size:%d, failed with err %d\" }",
              len, status);
    WriteFailure(conn, body);
  }
  if (opened) zqcontrol_interface_close();
}

// "getCalData": the shading calibration file the camera names.
void SendCalData(mg_connection* conn) {
  char path[kCalPathSize] = {};
  int32_t status = zqcontrol_interface_open();
  const bool opened = status == 0;
  if (opened) {
    status = zqcontrol_send_command_param_response(ZQCONTROL_SYSTEM_GET_SHADINGDATA_FILE, nullptr,
                                                   0, path, sizeof path);
  }
  path[sizeof path - 1] = '\0';
  ZQ_LOG(ZQ_LOG_DEBUG, "Got Analytics file response [%s] \n", path);
  if (status == 0) {
    FILE* f = path[0] != '\0' ? fopen(zq_path(path).c_str(), "rbe") : nullptr;
    struct stat st = {};
    if (f != nullptr && fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode)) {
      std::string& head = Answer();
      head.clear();
      ss_printf(head, "HTTP/1.1 %sContent-Type: %s\r\nContent-Length: %lld\r\n\r\n", kHttp200,
                kMimeOctetStream, static_cast<long long>(st.st_size));
      zq_conn_write(conn, head.data(), head.size());
      http_output_bin_file(conn, f);
      fclose(f);
      zqcontrol_interface_close();
      return;
    }
    if (f != nullptr) fclose(f);
    status = kNoContent;
  }
  std::string body = "\n";
  ss_printf(
      body,
      "{ \"message\": \"ZQCONTROL_SYSTEM_GET_SHADINGDATA_FILE path:%s, failed with err %d\" }",
      zq_json_escape(path).c_str(), status);
  WriteFailure(conn, body);
  if (opened) zqcontrol_interface_close();
}

// "preset/<name>": the preset commands answer on the connection themselves.
void RunPreset(mg_connection* conn, const char* name, const char* query) {
  ZQ_LOG(ZQ_LOG_DEBUG, "%s", name);
  int32_t result = zqcontrol_interface_open();
  if (result == 0) {
    result = handle_preset_commands(conn, name, query);
    zqcontrol_interface_close();
  }
  if (result != 0) {
    std::string body = "\r\n";
    ss_printf(body, "{ \"message\": \"ZQCONTROL_PRESETS failed with err %d\" }", result);
    WriteFailure(conn, body);
  }
}

void AppendError(std::string& out, const char* path, const char* params, const char* http_status,
                 int32_t err, int line) {
  http_print_error_response_ex(out, path, params, http_status, err, zqErrno2Str(err),
                               "zqcontrol_cgi_handler", line);
}

// The answer to a handler's status.
void AppendAnswer(std::string& out, int32_t status, bool answers_itself, const char* path,
                  const char* params) {
  const char* http_status = nullptr;
  int32_t err = status;
  switch (status) {
    case ZQ_OK: {
      const size_t n = strnlen(g_response, sizeof g_response);
      if (n == 0) {
        http_output_empty_json(out);
      } else {
        http_output_success_header(out);
        http_output_content_length(out, n);
        out.append(g_response, n);
      }
      return;
    }
    case ZQ_ERR_RESPONSE_ALREADY_SENT:
      // Only a handler that may answer itself has answered; from any other (a service status
      // passed on) nothing has been written, and the client still needs an answer.
      if (answers_itself) return;
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

// Clears the published connection when a dispatch ends, however it ends.
class PublishedConnection {
 public:
  explicit PublishedConnection(mg_connection* conn) { Set(conn); }
  ~PublishedConnection() { Set(nullptr); }
  PublishedConnection(const PublishedConnection&) = delete;
  PublishedConnection& operator=(const PublishedConnection&) = delete;

 private:
  static void Set(mg_connection* conn) {
    std::lock_guard<std::mutex> lock(g_CWConnection_mutex);
    g_pCivetWebConnection = conn;
  }
};

}  // namespace

int32_t zqcontrol_cgi_handler(const char* path, const char* params, std::string& out,
                              mg_connection* conn) {
  const PublishedConnection published(conn);
  memset(g_response, 0, sizeof g_response);
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

  bool answers_itself = false;
  const int32_t status =
      zqcontrol_uri_handle_uri_param(path, params, g_response, kZqcResponseSize, &answers_itself);
  AppendAnswer(out, status, answers_itself, path, params);

  err = zqcontrol_uri_interface_close();
  if (err != 0) ZQ_LOG(ZQ_LOG_ERROR, "Error[%d] closing the daemon interface", err);
  ZQ_LOG(ZQ_LOG_INFO, "DONE");
  return status;
}

int zqControlHandler(mg_connection* conn, void* /*cbdata*/) {
  const mg_request_info* ri = mg_get_request_info(conn);
  const char* uri = ri->local_uri != nullptr ? ri->local_uri : "";
  const char* query = ri->query_string != nullptr ? ri->query_string : "";
  const char* path = strlen(uri) >= kRoutePrefix ? uri + kRoutePrefix : "";
  if (path[0] == '/' && path[1] != '\0') ++path;  // "/" alone stays, and is no command

  std::lock_guard<std::mutex> access(g_accessMutex);
  std::lock_guard<std::mutex> csi(g_CSIMutex);
  bool written = false;
  try {
    if (strcmp(path, "getGeoCal") == 0) {
      written = true;
      SendGeoCal(conn);
    } else if (strcmp(path, "getCalData") == 0) {
      written = true;
      SendCalData(conn);
    } else if (strncmp(path, "preset/", 7) == 0) {
      written = true;
      RunPreset(conn, path + 7, query);
    } else {
      std::string& out = Answer();
      out.clear();
      zqcontrol_cgi_handler(path, query, out, conn);
      written = true;
      if (!out.empty()) zq_conn_write(conn, out.data(), out.size());
    }
  } catch (const std::exception& e) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqControl - Caught exception %s - discarding", e.what());
  } catch (...) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqControl - Caught exception %s - discarding", "(unknown)");
  }
  if (!written) http_response_empty_json(conn, kHttp500);  // the client still gets an answer
  return 1;
}
