#include "core/zqClients.h"

#include <arpa/inet.h>
#include <civetweb.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/zqLocks.h"
#include "http/zqConnAnswer.h"
#include "http/zqConnection.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"

namespace {

enum class State { kWaiting, kBusy, kClosing };

struct Client {
  ZqConnData* data = nullptr;  // owned
  State state = State::kWaiting;
  long long since_ms = 0;  // when the state began
  long long taken_ms = 0;  // when the worker took the connection up
  bool known = false;      // its address and socket were looked up
  bool answered = false;   // an answer went out: the keep-alive wait comes first
  bool read_shut = false;  // told to stop reading, so that its last answer can still go out
  bool cut = false;        // reset: gone as soon as the library notices
};

// Guarded by g_clientsMutex.
struct Registry {
  ZqCondVar wake;
  std::unordered_map<const mg_connection*, Client> clients GUARDED_BY(g_clientsMutex);
  ZqClientLimits limits GUARDED_BY(g_clientsMutex);
  bool running GUARDED_BY(g_clientsMutex) = false;
  long long next_wake_ms GUARDED_BY(g_clientsMutex) = 0;  // when the watchdog looks next
  std::thread watchdog;
};

Registry& Clients() {
  static auto* registry = new Registry();  // lives for the process: workers may outlive main
  return *registry;
}

long long NowMs() {
  timespec ts = {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// The descriptor of the socket the library holds for the client of `ri`: the one whose peer
// is the client's address and port on the request's local port. -1 when there is none.
int FindSocket(const mg_request_info* ri) {
  DIR* d = opendir("/proc/self/fd");
  if (d == nullptr) return -1;
  int found = -1;
  while (dirent* e = readdir(d)) {
    char* end = nullptr;
    const long fd = strtol(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || fd == dirfd(d)) continue;
    sockaddr_storage peer = {};
    sockaddr_storage local = {};
    socklen_t plen = sizeof peer;
    socklen_t llen = sizeof local;
    if (getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &plen) != 0 ||
        getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &llen) != 0) {
      continue;
    }
    char addr[INET6_ADDRSTRLEN] = "";
    int peer_port = -1;
    int local_port = -1;
    if (peer.ss_family == AF_INET) {
      auto* p = reinterpret_cast<sockaddr_in*>(&peer);
      inet_ntop(AF_INET, &p->sin_addr, addr, sizeof addr);
      peer_port = ntohs(p->sin_port);
      local_port = ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port);
    } else if (peer.ss_family == AF_INET6) {
      auto* p = reinterpret_cast<sockaddr_in6*>(&peer);
      inet_ntop(AF_INET6, &p->sin6_addr, addr, sizeof addr);
      peer_port = ntohs(p->sin6_port);
      local_port = ntohs(reinterpret_cast<sockaddr_in6*>(&local)->sin6_port);
    }
    if (peer_port == ri->remote_port && strcmp(addr, ri->remote_addr) == 0 &&
        (ri->server_port <= 0 || local_port == ri->server_port)) {
      found = static_cast<int>(fd);
      break;
    }
  }
  closedir(d);
  return found;
}

int PortOf(const sockaddr_storage& a) {
  if (a.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&a)->sin_port);
  if (a.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&a)->sin6_port);
  return -1;
}

// The inode of the socket open as `fd` ("socket:[INODE]" in /proc/self/fd), or "" when `fd`
// is no socket. (Read from the link rather than with fstat, which on a descriptor another
// thread owns counts as a race for ThreadSanitizer.)
std::string SocketInode(long fd) {
  char link[64];
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
  if (n <= 0) return "";
  const std::string_view text(link, static_cast<size_t>(n));
  if (text.substr(0, 8) != "socket:[" || text.back() != ']') return "";
  return std::string(text.substr(8, text.size() - 9));
}

// How many connections the library has accepted that no worker has taken up yet: this
// process's sockets connected to one of its listening ports that the registry does not hold
// (registered connections whose socket is not yet looked up count as held). Called with the
// registry locked.
int Queued(const Registry& r) REQUIRES(g_clientsMutex) {
  std::vector<int> listening;                       // local ports
  std::vector<std::pair<std::string, int>> joined;  // connected sockets: inode, local port
  DIR* d = opendir("/proc/self/fd");
  if (d == nullptr) return 0;
  while (dirent* e = readdir(d)) {
    char* end = nullptr;
    const long fd = strtol(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || fd == dirfd(d)) continue;
    std::string inode = SocketInode(fd);
    if (inode.empty()) continue;
    sockaddr_storage local = {};
    socklen_t len = sizeof local;
    if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &len) != 0) {
      continue;
    }
    int accepting = 0;
    socklen_t alen = sizeof accepting;
    if (getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_ACCEPTCONN, &accepting, &alen) == 0 &&
        accepting != 0) {
      listening.push_back(PortOf(local));
      continue;
    }
    sockaddr_storage peer = {};
    len = sizeof peer;
    if (getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &len) == 0) {
      joined.emplace_back(std::move(inode), PortOf(local));
    }
  }
  closedir(d);

  std::vector<std::string> held;
  int unseen = 0;  // taken up, but their sockets not yet looked up
  for (const auto& [conn, c] : r.clients) {
    std::string inode = c.data->fd >= 0 ? SocketInode(c.data->fd) : "";
    if (!inode.empty()) {
      held.push_back(std::move(inode));
    } else if (!c.known) {
      ++unseen;
    }
  }
  int queued = 0;
  for (const auto& [inode, port] : joined) {
    if (std::find(listening.begin(), listening.end(), port) != listening.end() &&
        std::find(held.begin(), held.end(), inode) == held.end()) {
      ++queued;
    }
  }
  return std::max(0, queued - unseen);
}

// Resets the connection: the library's next read or write on it fails at once.
void Disconnect(int fd) {
  if (fd < 0) return;
  sockaddr unspec = {};
  unspec.sa_family = AF_UNSPEC;
  connect(fd, &unspec, sizeof unspec);
}

// Bytes written to the client that the network has not taken yet.
int Unsent(int fd) {
  int n = 0;
  return fd >= 0 && ioctl(fd, SIOCOUTQ, &n) == 0 ? n : 0;
}

// Errors about one address come in floods: at most one line a second, with a count of the
// ones left out.
long long g_lastLogMs GUARDED_BY(g_clientsLogMutex) = -1000000;
int g_skippedLogs GUARDED_BY(g_clientsLogMutex) = 0;

bool LogAllowed(int* left_out) {
  ZqLock lock(g_clientsLogMutex);
  const long long now = NowMs();
  if (now - g_lastLogMs < 1000) {
    ++g_skippedLogs;
    return false;
  }
  g_lastLogMs = now;
  *left_out = g_skippedLogs;
  g_skippedLogs = 0;
  return true;
}

// Ends a connection that waited too long for a request head. When part of its last answer
// is still on its way, it only stops reading first (the library then closes it once the
// answer is out); it is reset when it is still there a whole time-out later. Called with the
// registry locked.
void CutWaiting(Client* c, long long now) {
  const int fd = c->data->fd;
  if (!c->read_shut && Unsent(fd) > 0) {
    shutdown(fd, SHUT_RD);
    c->read_shut = true;
    c->since_ms = now;
    return;
  }
  Disconnect(fd);
  c->cut = true;
}

// Refuses a connection for its address's share: the answer goes straight to the socket,
// since the library has not read a request yet.
void Refuse(int fd) {
  static const ZqAnswer kRefusal = zq_clients_refusal();
  zq_send_answer_to_socket(fd, kRefusal);
  Disconnect(fd);
}

// Looks up the client of `conn`: its address, which the library tells only once the worker
// reads the connection (not yet when it takes it up), and its socket. Then applies the
// address's share. Called with the registry locked.
void Identify(Registry& r, const mg_connection* conn, Client* c, long long now)
    REQUIRES(g_clientsMutex) {
  const mg_request_info* ri = mg_get_request_info(conn);
  if (ri == nullptr || ri->remote_addr[0] == '\0') {
    if (now - c->taken_ms < 1000) return;  // the worker has not started reading yet
    c->known = true;                       // never told: no address, no share
    return;
  }
  c->known = true;
  c->data->address = ri->remote_addr;
  const int fd = FindSocket(ri);
  c->data->fd = fd >= 0 ? fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;

  // The camera itself and the USB tunnel come from the loopback address: many clients.
  const std::string& address = c->data->address;
  if (address == "127.0.0.1" || address == "::1" || address == "::ffff:127.0.0.1") return;
  int held = 0;
  Client* idle = nullptr;  // the address's oldest connection that only waits for a request
  for (auto& [other, o] : r.clients) {
    if (&o == c || o.cut || !o.known || o.data->address != address) continue;
    ++held;
    if (o.state == State::kWaiting && now - o.since_ms >= r.limits.idle_ms && !o.read_shut &&
        Unsent(o.data->fd) == 0 && (idle == nullptr || o.since_ms < idle->since_ms)) {
      idle = &o;
    }
  }
  if (held < r.limits.per_address) return;

  // Room is made by cutting the address's oldest idle connection; without one, this one is
  // refused.
  int left_out = 0;
  if (LogAllowed(&left_out)) {
    ZQ_LOG(ZQ_LOG_ERROR,
           "conn %d: %d connections from %s hold their share of workers: %s (%d such lines "
           "left out)",
           c->data->worker, held, address.c_str(),
           idle != nullptr ? "its oldest idle one is cut" : "another is refused", left_out);
  }
  if (idle != nullptr) {
    Disconnect(idle->data->fd);
    idle->cut = true;
    return;
  }
  Refuse(c->data->fd);
  c->cut = true;
}

// When a waiting connection is cut: a whole request head is due `head_ms` after it began to
// wait (after the keep-alive wait, when an answer went before), or `idle_ms` while
// every worker is held.
long long HeadDue(const ZqClientLimits& l, const Client& c, bool pressed) {
  long long due = c.since_ms + l.head_ms + (c.answered && !c.read_shut ? l.keep_alive_ms : 0);
  if (pressed && !c.read_shut) due = std::min(due, c.since_ms + l.idle_ms);
  return due;
}

// While every worker is held: cuts one kept-alive connection that has waited `yield_ms` or
// more for its next request for each connection queued for a worker, the longest-waiting
// first, and has the watchdog look again within kQueueLookMs while any kept-alive one waits.
// Returns how many it cut. Called with the registry locked.
int MakeRoom(Registry& r, long long now, long long* next) REQUIRES(g_clientsMutex) {
  constexpr long long kQueueLookMs = 10;
  std::vector<Client*> ready;  // may yield now
  for (auto& [conn, c] : r.clients) {
    if (c.cut || !c.known || c.state != State::kWaiting || !c.answered || c.read_shut) continue;
    const long long at = c.since_ms + r.limits.yield_ms;
    *next = std::min(*next, std::max(at, now + kQueueLookMs));
    if (now >= at && Unsent(c.data->fd) == 0) ready.push_back(&c);
  }
  if (ready.empty()) return 0;
  const int queued = Queued(r);
  if (queued == 0) return 0;
  std::sort(ready.begin(), ready.end(),
            [](const Client* a, const Client* b) { return a->since_ms < b->since_ms; });
  const int cuts = std::min<int>(queued, static_cast<int>(ready.size()));
  for (int i = 0; i < cuts; ++i) {
    ZQ_LOG(ZQ_LOG_INFO, "conn %d: connection timed out / abandoned", ready[i]->data->worker);
    Disconnect(ready[i]->data->fd);
    ready[i]->cut = true;
  }
  return cuts;
}

void Watch() {
  Registry& r = Clients();
  ZqLock lock(g_clientsMutex);
  while (r.running) {
    const long long now = NowMs();
    long long next = now + 60000;  // nothing to watch: sleep until something changes
    int held = 0;
    for (const auto& [conn, c] : r.clients) held += c.cut ? 0 : 1;
    const bool pressed = held >= r.limits.workers;
    int pressed_cuts = 0;
    for (auto& [conn, c] : r.clients) {
      if (c.cut) continue;
      if (!c.known) Identify(r, conn, &c, now);
      if (c.cut) continue;
      if (!c.known) {
        next = std::min(next, now + 2);  // the worker is about to read: look again soon
      } else if (c.state == State::kWaiting) {
        if (now >= HeadDue(r.limits, c, pressed)) {
          ZQ_LOG(ZQ_LOG_INFO, "conn %d: connection timed out / abandoned", c.data->worker);
          pressed_cuts += now < HeadDue(r.limits, c, false) ? 1 : 0;
          CutWaiting(&c, now);
        }
        if (!c.cut) next = std::min(next, HeadDue(r.limits, c, pressed));
      } else if (c.state == State::kClosing) {
        if (now - c.since_ms >= r.limits.drain_ms) {
          ZQ_LOG(ZQ_LOG_INFO, "conn %d: connection timed out / abandoned", c.data->worker);
          Disconnect(c.data->fd);
          c.cut = true;
        } else {
          next = std::min(next, c.since_ms + r.limits.drain_ms);
        }
      }
    }
    if (pressed) pressed_cuts += MakeRoom(r, now, &next);
    int left_out = 0;
    if (pressed_cuts > 0 && LogAllowed(&left_out)) {
      ZQ_LOG(ZQ_LOG_ERROR,
             "all %d workers held: %d connections without a request cut (%d such lines left out)",
             held, pressed_cuts, left_out);
    }
    r.next_wake_ms = next;
    r.wake.WaitFor(g_clientsMutex, std::chrono::milliseconds(std::max<long long>(1, next - now)));
  }
}

void SetState(const mg_connection* conn, State state) {
  Registry& r = Clients();
  {
    ZqLock lock(g_clientsMutex);
    auto it = r.clients.find(conn);
    if (it == r.clients.end()) return;
    Client& c = it->second;
    c.answered = c.answered || (c.state == State::kBusy && state == State::kWaiting);
    c.state = state;
    c.since_ms = NowMs();
    c.read_shut = false;
    if (!c.known) Identify(r, conn, &c, c.since_ms);
    // A request in progress has no deadline here; a wait or a close has one, at the earliest
    // idle_ms from now: wake the watchdog only when it would look later than that.
    if (state == State::kBusy || r.next_wake_ms <= c.since_ms + r.limits.idle_ms) return;
  }
  r.wake.NotifyAll();
}

}  // namespace

ZqAnswer zq_clients_refusal() {
  static const char kBody[] =
      "Error 503: Service Unavailable\nToo many connections from this address\n";
  return ZqAnswer::Raw(
      "HTTP/1.1 503 Service Unavailable\r\nRetry-After: 1\r\n"
      "Content-Type: text/plain; charset=utf-8\r\nContent-Length: " +
      std::to_string(sizeof kBody - 1) + "\r\nConnection: close\r\n\r\n" + kBody);
}

ZqClientLimits zq_clients_limits(int workers, long keep_alive_ms) {
  ZqClientLimits l;
  l.workers = workers;
  l.keep_alive_ms = keep_alive_ms;
  l.per_address = std::max(1, workers - 2);
  l.head_ms = zq_scaled_ms(5000);
  // Not shortened by ZQ_TIME_SCALE: a worker reads a head that is already there well within
  // this even on a loaded machine, and a shorter wait would cut such clients too.
  l.idle_ms = std::max(zq_scaled_ms(250), 250L);
  l.yield_ms = std::max(zq_scaled_ms(20), 20L);
  l.drain_ms = zq_scaled_ms(2000);
  return l;
}

void zq_clients_start(const ZqClientLimits& limits) {
  Registry& r = Clients();
  ZqLock lock(g_clientsMutex);
  r.limits = limits;
  if (r.running) return;
  r.running = true;
  r.watchdog = std::thread(Watch);
}

void zq_clients_stop() {
  Registry& r = Clients();
  {
    ZqLock lock(g_clientsMutex);
    if (!r.running) return;
    r.running = false;
  }
  r.wake.NotifyAll();
  r.watchdog.join();
}

void zq_clients_admit(const mg_connection* conn, ZqConnData* data) {
  Registry& r = Clients();
  ZqConnData* stale = nullptr;
  {
    ZqLock lock(g_clientsMutex);
    Client& c = r.clients[conn];
    stale = c.data;  // a connection whose close the library never reported
    c = Client();
    c.data = data;
    c.taken_ms = c.since_ms = NowMs();
  }
  if (stale != nullptr) {
    if (stale->fd >= 0) close(stale->fd);
    delete stale;
  }
  r.wake.NotifyAll();
}

void zq_clients_request_started(const mg_connection* conn) { SetState(conn, State::kBusy); }
void zq_clients_request_ended(const mg_connection* conn) { SetState(conn, State::kWaiting); }
void zq_clients_closing(const mg_connection* conn) { SetState(conn, State::kClosing); }

void zq_clients_closed(const mg_connection* conn) {
  Registry& r = Clients();
  ZqConnData* data = nullptr;
  {
    ZqLock lock(g_clientsMutex);
    auto it = r.clients.find(conn);
    if (it == r.clients.end()) return;
    data = it->second.data;
    r.clients.erase(it);
  }
  if (data->fd >= 0) close(data->fd);
  delete data;
}

bool zq_clients_cut(const mg_connection* conn) {
  Registry& r = Clients();
  ZqLock lock(g_clientsMutex);
  auto it = r.clients.find(conn);
  return it != r.clients.end() && it->second.cut;
}

void zq_conn_abort(const mg_connection* conn) {
  {
    Registry& r = Clients();
    ZqLock lock(g_clientsMutex);
    auto it = r.clients.find(conn);
    if (it != r.clients.end() && it->second.data->fd >= 0) {
      shutdown(it->second.data->fd, SHUT_RDWR);
      return;
    }
  }
  // Not one of ours (a test's server), or its socket was not found: look it up.
  const int fd = FindSocket(mg_get_request_info(conn));
  if (fd >= 0) shutdown(fd, SHUT_RDWR);
}
