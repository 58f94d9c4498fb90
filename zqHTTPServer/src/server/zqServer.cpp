#include "server/zqServer.h"

#include <civetweb.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/zqClients.h"
#include "core/zqFileSender.h"
#include "http/zqConnAnswer.h"
#include "http/zqConnection.h"
#include "http/zqResponse.h"
#include "http/zqServerStop.h"
#include "server/zqRoutes.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"
#include "zqpolicy/zqPolicy.h"

namespace {

// The library's wait for the next request on a kept-alive connection.
constexpr long kKeepAliveMs = 1000;
// The longest a transfer may make no progress at all (the library's own default).
constexpr long kStallMs = 30000;

std::atomic<int> g_nextWorker{0};
std::atomic<int> g_activeRequests{0};
std::atomic<bool> g_draining{false};
thread_local int t_workerIndex = -1;

// Requests polled so often that logging them would drown the log.
bool Quiet(const char* uri) {
  return strcmp(uri, "/zq/zqControl/status") == 0 || strcmp(uri, "/modkit/cv") == 0 ||
         strcmp(uri, "/zq/zqControl/setting/91/66") == 0;
}

void* InitThread(const mg_context* /*ctx*/, int thread_type) {
  if (thread_type == 1) t_workerIndex = g_nextWorker.fetch_add(1);
  return nullptr;
}

bool IsMethod(const mg_request_info* ri, const char* method) {
  return ri->request_method != nullptr && strcmp(ri->request_method, method) == 0;
}

// Answers a request with the server's error page. The connection is kept only for a request
// that was read whole (its head parsed, no body) from a client that asks to keep it.
void ErrorAnswer(mg_connection* conn, int status, const char* text, bool close) {
  const mg_request_info* ri = mg_get_request_info(conn);
  ZqConnData* data = zq_conn_data(conn);
  if (data != nullptr) {
    if (!data->in_request) zq_conn_begin_answer(data, IsMethod(ri, "HEAD"));
    data->error_sent = true;
  }
  zq_send_answer(conn, zq_error_page(status, text, !close && zq_conn_keep_alive(conn)));
}

bool AllDigits(const char* s) {
  if (*s == '\0') return false;
  for (; *s != '\0'; ++s) {
    if (*s < '0' || *s > '9') return false;
  }
  return true;
}

void DecodeInPlace(const char* text) {
  if (text == nullptr) return;
  const size_t len = strlen(text);
  std::string decoded(len + 1, '\0');
  const int n = mg_url_decode(text, static_cast<int>(len), decoded.data(),
                              static_cast<int>(decoded.size()), 0);
  if (n < 0) return;
  // The library's own strings, which it would have decoded in place itself; decoding never
  // makes them longer.
  memcpy(const_cast<char*>(text), decoded.data(), static_cast<size_t>(n) + 1);
}

// The server leaves request paths as they were sent (decode_url "no"), so that they can be
// checked before they are decoded: a NUL ("%00") would cut the decoded path short, and the
// rest of the request would act on a name the client did not send. Paths without one are
// then decoded in place, as the server would have done. False for a path with a NUL.
bool DecodePath(const mg_request_info* ri) {
  for (const char* path : {ri->local_uri_raw, ri->local_uri}) {
    if (path != nullptr && strstr(path, "%00") != nullptr) return false;
  }
  DecodeInPlace(ri->local_uri_raw);
  if (ri->local_uri != ri->local_uri_raw) DecodeInPlace(ri->local_uri);
  return true;
}

// Why a request cannot be taken as it stands, or nullptr. Several or malformed lengths, or a
// length beside chunked coding, leave where its body ends open to interpretation (a second
// request could hide in it); a transfer coding other than chunked cannot be read.
const char* Ambiguity(const mg_connection* conn) {
  const mg_request_info* ri = mg_get_request_info(conn);
  const char* length = nullptr;
  int codings = 0;
  for (int i = 0; i < ri->num_headers; ++i) {
    const mg_header& h = ri->http_headers[i];
    if (strcasecmp(h.name, "Content-Length") == 0) {
      if (!AllDigits(h.value)) return "Malformed Content-Length";
      if (length != nullptr && strcmp(length, h.value) != 0) return "Conflicting Content-Length";
      length = h.value;
    } else if (strcasecmp(h.name, "Transfer-Encoding") == 0) {
      if (strcasecmp(h.value, "chunked") != 0 || ++codings > 1) {
        return "Unsupported Transfer-Encoding";
      }
    }
  }
  if (length != nullptr && codings > 0) return "Content-Length with Transfer-Encoding";
  return nullptr;
}

bool IsWebSocketUpgrade(const mg_connection* conn) {
  const char* upgrade = mg_get_header(conn, "Upgrade");
  return upgrade != nullptr && strcasestr(upgrade, "websocket") != nullptr;
}

int InitConnection(const mg_connection* conn, void** conn_data) {
  auto* data = new ZqConnData();  // the clients' registry owns it from here
  data->worker = t_workerIndex;
  *conn_data = data;
  zq_clients_admit(conn, data);
  return 0;
}

// A request that the library read but hands to nobody, so that nothing would answer it:
// "OPTIONS *", and a target in absolute form that does not name this server's port. It
// closes such a connection; the answer goes out first.
void AnswerUnhandled(mg_connection* conn, ZqConnData* data) {
  const mg_request_info* ri = mg_get_request_info(conn);
  if (data->error_sent || ri->request_method == nullptr || ri->request_uri == nullptr ||
      ri->local_uri != nullptr) {
    return;
  }
  zq_conn_begin_answer(data, IsMethod(ri, "HEAD"));
  if (IsMethod(ri, "OPTIONS") && strcmp(ri->request_uri, "*") == 0) {
    zq_send_answer(conn, ZqAnswer::Raw("HTTP/1.1 200 OK\r\nAllow: GET, HEAD, POST\r\n"
                                       "Content-Length: 0\r\nConnection: close\r\n\r\n"));
    return;
  }
  zq_send_answer(conn, zq_error_page(400, "The request names no resource of this server", false));
}

void ConnectionClose(const mg_connection* conn) {
  ZqConnData* data = zq_conn_data(conn);
  if (data != nullptr) AnswerUnhandled(const_cast<mg_connection*>(conn), data);
  zq_clients_closing(conn);
}

void ConnectionClosed(const mg_connection* conn) { zq_clients_closed(conn); }

int BeginRequest(mg_connection* conn) {
  ZqConnData* data = zq_conn_data(conn);
  const mg_request_info* ri = mg_get_request_info(conn);
  if (data != nullptr && !data->classified) {
    // Once per connection, before its first request is handled (the library does not offer
    // the request details earlier). The class follows the local port's role, in the camera's
    // port numbers, so host runs on other ports behave like the camera.
    static constexpr int kCameraPorts[] = {80, 8000, 8001, 8080};
    const int role = zq_port_role(ri->server_port);
    zqpolicy_classify_network_source(conn, role >= 0 ? kCameraPorts[role] : ri->server_port,
                                     ri->remote_addr, nullptr);
    data->classified = true;
  }
  if (data != nullptr) {
    data->in_request = true;
    data->error_sent = false;
    ++data->requests;
    zq_conn_begin_answer(data, IsMethod(ri, "HEAD"));
  }
  zq_clients_request_started(conn);
  g_activeRequests.fetch_add(1);
  if (g_draining.load()) {
    ErrorAnswer(conn, 503, "Server is stopping", false);
    return 1;
  }

  const bool decoded = DecodePath(ri);
  const char* uri = ri->local_uri != nullptr ? ri->local_uri : "";
  if (g_logLevel >= ZQ_LOG_INFO && !Quiet(uri)) {
    ZQ_LOG(ZQ_LOG_INFO, "conn %d: %s", t_workerIndex, uri);
  }
  if (const char* why = decoded ? Ambiguity(conn) : "NUL in the path") {
    ZQ_LOG(ZQ_LOG_ERROR, "conn %d: error occured\n", t_workerIndex);
    ErrorAnswer(conn, 400, why, true);
    return 1;
  }
  // After its answer, the server would read whatever of a body the handler left unread,
  // for as long as the client kept sending it. It closes the connection instead.
  if (zq_conn_has_body(conn)) mg_disable_connection_keep_alive(conn);
  if (!IsWebSocketUpgrade(conn)) return 0;  // the server dispatches to the route
  // The library would take the request for a WebSocket and answer it with a bare error. No
  // route speaks WebSocket: the upgrade is ignored, as HTTP allows, and the request is served
  // as a plain one.
  zq_route_serve(conn, zq_route_for_upgrade(uri));
  return 1;
}

// Under a sanitizer its own allocator owns the heap, and glibc's arenas stay unused.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZQ_SANITIZER_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZQ_SANITIZER_HEAP 1
#endif
#endif

// Gives the heap's free memory back to the system. Not under a sanitizer: there glibc's trim
// would set up glibc's unused arenas from a worker thread without counting the thread in, and
// glibc then aborts when that worker exits.
void TrimHeap() {
#ifndef ZQ_SANITIZER_HEAP
  malloc_trim(0);
#endif
}

void EndRequest(const mg_connection* conn, int /*status*/) {
  ZqConnData* data = zq_conn_data(conn);
  if (data != nullptr) {
    data->in_request = false;
    data->error_sent = false;
  }
  zq_clients_request_ended(conn);
  g_activeRequests.fetch_sub(1);
  TrimHeap();
}

// Every error the library raises is answered here, so that each gets a well-formed answer:
// the library's own page would echo a malformed request version into its status line, and
// has no body framing.
int HttpError(mg_connection* conn, int status, const char* message) {
  ZqConnData* data = zq_conn_data(conn);
  const bool parsed = data != nullptr && data->in_request;
  if (!parsed) {
    if (zq_clients_cut(conn)) return 0;  // cut before its request was read whole: logged
    if (data != nullptr && data->requests > 0 && status == 400 && message != nullptr &&
        strcmp(message, "Malformed message") == 0) {
      // Bytes after an answer that never became a request head by the end of the keep-alive
      // wait: empty lines after a request (which HTTP says to ignore), or a request left
      // half-way. The connection ends unanswered, like any idle kept-alive connection.
      ZQ_LOG(ZQ_LOG_INFO, "conn %d: connection timed out / abandoned", t_workerIndex);
      data->error_sent = true;
      return 0;
    }
    // The request could not be parsed.
    ZQ_LOG(ZQ_LOG_ERROR, "conn %d: error occured\n", t_workerIndex);
  }
  ErrorAnswer(conn, status, message, !parsed);
  return 0;
}

int LogMessage(const mg_connection* /*conn*/, const char* message) {
  printf("%s\n", message);
  return 0;
}

}  // namespace

std::vector<std::string> zq_server_options(int worker_threads) {
  const auto& ports = zq_listening_ports();
  const std::string listening = std::to_string(ports[0]) + "," + std::to_string(ports[1]) + "," +
                                std::to_string(ports[2]) + "," + std::to_string(ports[3]);
  const std::string rewrites = "/videos/DCIM=" + zq_path("/tmp/fuse_d/DCIM") +
                               ",/videos2/DCIM=" + zq_path("/tmp/fuse_i/DCIM") +
                               ",/logs=" + zq_path("/tmp/fuse_d/MISC/logs");
  return {
      "listening_ports",
      listening,
      "enable_keep_alive",
      "yes",
      "keep_alive_timeout_ms",
      std::to_string(kKeepAliveMs),
      "enable_directory_listing",
      "yes",
      "cgi_pattern",
      "",
      "url_rewrite_patterns",
      rewrites,
      "extra_mime_types",
      ".LRV=video/mp4",
      "hide_files_patterns",
      "*.thm",
      "access_control_allow_origin",
      "",
      "document_root",
      zq_path(kZqDocumentRoot),
      "num_threads",
      std::to_string(worker_threads),
      "ssi_pattern",
      "",
      "cgi_interpreter",
      "/bin/false",
      // Small answers written as head and body must not wait for the client's delayed ACK.
      "tcp_nodelay",
      "1",
      // A request target in absolute form ("GET http://camera/zq/version") is served when it
      // names the port it arrived on, whatever host it names: the Host check of the access
      // policy applies as to any request. With the check on, the library would take only
      // targets naming its authentication domain, and drop the rest unanswered.
      "enable_auth_domain_check",
      "no",
      // Request paths are decoded by BeginRequest, after a look at them as they were sent.
      "decode_url",
      "no",
      // A read of a request body or a write of an answer that makes no progress for this
      // long gives up, so that a stalled upload frees its worker (the body then reads as
      // broken off; the upload keeps what arrived) and a client that stops reading frees its.
      "request_timeout_ms",
      std::to_string(zq_scaled_ms(kStallMs)),
  };
}

namespace {

// The value the server runs with for the option `name`: the one in `options`, else the
// library's default.
std::string OptionValue(const std::vector<std::string>& options, const char* name) {
  for (size_t i = 0; i + 1 < options.size(); i += 2) {
    if (options[i] == name) return options[i + 1];
  }
  for (const mg_option* o = mg_get_valid_options(); o->name != nullptr; ++o) {
    if (strcmp(o->name, name) == 0) return o->default_value != nullptr ? o->default_value : "";
  }
  return "";
}

}  // namespace

mg_context* zq_server_start(int worker_threads) {
  static const std::vector<std::string> options = zq_server_options(worker_threads);
  // The server's user data: read by every request for a file, never written once it runs.
  static const ZqFileConfig files =
      zqfs_config([](const char* name) { return OptionValue(options, name); });
  std::vector<const char*> argv;
  for (const std::string& o : options) argv.push_back(o.c_str());
  argv.push_back(nullptr);

  mg_callbacks callbacks = {};
  callbacks.begin_request = BeginRequest;
  callbacks.end_request = EndRequest;
  callbacks.log_message = LogMessage;
  callbacks.http_error = HttpError;
  callbacks.init_thread = InitThread;
  callbacks.init_connection = InitConnection;
  callbacks.connection_close = ConnectionClose;
  callbacks.connection_closed = ConnectionClosed;
  zq_clients_start(zq_clients_limits(worker_threads, kKeepAliveMs));
  mg_context* ctx = mg_start(&callbacks, const_cast<ZqFileConfig*>(&files), argv.data());
  if (ctx == nullptr) zq_clients_stop();
  return ctx;
}

const ZqFileConfig& zq_server_files(const mg_connection* conn) {
  static const ZqFileConfig kNone;
  const void* files = mg_get_user_data(mg_get_context(conn));
  return files != nullptr ? *static_cast<const ZqFileConfig*>(files) : kNone;
}

void zq_server_close(mg_context* ctx) {
  // The watchdog goes first: it looks at the library's connections, which the stop frees.
  // (The stop itself ends the reads it would have cut.)
  zq_clients_stop();
  zq_server_stop(ctx);
}

void zq_server_drain(long max_ms) {
  g_draining.store(true);
  for (long waited = 0; g_activeRequests.load() > 0 && waited < max_ms; waited += 10) {
    usleep(10 * 1000);
  }
}
