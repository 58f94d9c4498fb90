#include "http/zqServerStop.h"

#include <arpa/inet.h>
#include <civetweb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

void Poke(const std::vector<mg_server_port>& ports) {
  for (const mg_server_port& p : ports) {
    int fd = socket(p.protocol == 2 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    if (p.protocol == 2) {
      sockaddr_in6 a = {};
      a.sin6_family = AF_INET6;
      a.sin6_port = htons(static_cast<uint16_t>(p.port));
      a.sin6_addr = in6addr_loopback;
      connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    } else {
      sockaddr_in a = {};
      a.sin_family = AF_INET;
      a.sin_port = htons(static_cast<uint16_t>(p.port));
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    close(fd);
  }
}

}  // namespace

void zq_server_stop(mg_context* ctx) {
  if (ctx == nullptr) return;
  mg_server_port buf[16] = {};
  int n = mg_get_server_ports(ctx, 16, buf);
  std::vector<mg_server_port> ports(buf, buf + (n > 0 ? n : 0));

  std::atomic<bool> stopped{false};
  std::thread waker([&] {
    while (!stopped.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (!stopped.load()) Poke(ports);
    }
  });
  mg_stop(ctx);
  stopped.store(true);
  waker.join();
}
