#include "server/zqServer.h"

#include <civetweb.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "server/zqConnection.h"
#include "server/zqFileSender.h"
#include "server/zqRoutes.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"
#include "zqpolicy/zqPolicy.h"

namespace {

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

int InitConnection(const mg_connection* /*conn*/, void** conn_data) {
  auto* data = new ZqConnData();  // freed in ConnectionClose
  *conn_data = data;
  return 0;
}

// The library forgets the user data right after this callback, so it is freed here.
void ConnectionClose(const mg_connection* conn) {
  delete zq_conn_data(conn);
  mg_set_user_connection_data(conn, nullptr);
}

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
    zq_conn_begin_answer(data, strcmp(ri->request_method, "HEAD") == 0);
  }
  g_activeRequests.fetch_add(1);
  if (g_draining.load()) {
    mg_send_http_error(conn, 503, "%s", "Server is stopping");
    return 1;
  }

  const char* uri = ri->local_uri != nullptr ? ri->local_uri : "";
  if (g_logLevel >= ZQ_LOG_INFO && !Quiet(uri)) {
    ZQ_LOG(ZQ_LOG_INFO, "conn %d: %s", t_workerIndex, uri);
  }
  if (zqpolicy_manager(conn) != 0) return 1;
  if (zq_route_lookup(uri) != nullptr) return 0;  // the server dispatches to the route
  zqfs_serve_request(conn);
  return 1;
}

void EndRequest(const mg_connection* conn, int /*status*/) {
  ZqConnData* data = zq_conn_data(conn);
  if (data != nullptr) data->in_request = false;
  g_activeRequests.fetch_sub(1);
  malloc_trim(0);
}

int HttpError(mg_connection* conn, int /*status*/, const char* /*message*/) {
  const ZqConnData* data = zq_conn_data(conn);
  if (data == nullptr || !data->in_request) {
    // The request could not be parsed: the library answers it with its error page.
    ZQ_LOG(ZQ_LOG_ERROR, "conn %d: error occured\n", t_workerIndex);
  }
  return 1;
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
      "1000",
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
  };
}

mg_context* zq_server_start(int worker_threads) {
  static const std::vector<std::string> options = zq_server_options(worker_threads);
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
  return mg_start(&callbacks, nullptr, argv.data());
}

void zq_server_drain(long max_ms) {
  g_draining.store(true);
  for (long waited = 0; g_activeRequests.load() > 0 && waited < max_ms; waited += 10) {
    usleep(10 * 1000);
  }
}
