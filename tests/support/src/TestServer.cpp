#include "zqtest/TestServer.h"

#include <arpa/inet.h>
#include <civetweb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "http/zqServerStop.h"

namespace zqtest {

TestServer::TestServer(Handler handler, std::vector<std::string> options)
    : handler_(std::move(handler)) {
  options.insert(options.begin(), {"listening_ports", "127.0.0.1:0", "num_threads", "2"});
  std::vector<const char*> argv;
  for (const std::string& o : options) argv.push_back(o.c_str());
  argv.push_back(nullptr);
  mg_callbacks callbacks = {};
  ctx_ = mg_start(&callbacks, nullptr, argv.data());
  if (ctx_ == nullptr) abort();
  mg_set_request_handler(ctx_, "/", &TestServer::Dispatch, this);
  mg_server_port ports[4] = {};
  if (mg_get_server_ports(ctx_, 4, ports) < 1) abort();
  port_ = ports[0].port;
}

TestServer::~TestServer() { zq_server_stop(ctx_); }

int TestServer::Dispatch(mg_connection* conn, void* self) {
  TestServer* server = static_cast<TestServer*>(self);
  server->handler_(conn);
  ZqLock lock(server->mutex_);
  ++server->handled_;
  server->handled_changed_.NotifyAll();
  return 1;
}

bool TestServer::WaitHandled(int n) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  ZqLock lock(mutex_);
  while (handled_ < n) {
    if (!handled_changed_.WaitUntil(mutex_, until) && handled_ < n) return false;
  }
  return true;
}

std::string RawRequest(int port, const std::string& request, int timeout_ms) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "";
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string out;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(request.size())) {
    char buf[65536];
    pollfd p = {fd, POLLIN, 0};
    while (poll(&p, 1, timeout_ms) > 0) {
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
  }
  close(fd);
  return out;
}

std::string RawGet(int port, const std::string& path) {
  return RawRequest(port,
                    "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

std::string BodyOf(const std::string& answer) {
  size_t end = answer.find("\r\n\r\n");
  return end == std::string::npos ? "" : answer.substr(end + 4);
}

}  // namespace zqtest
