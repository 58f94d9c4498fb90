#include "zqcommon/zqPaths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* host_env(const char* name) {
#ifdef ZQ_HOST_OVERRIDES
  const char* v = getenv(name);
  return (v != nullptr && *v != '\0') ? v : nullptr;
#else
  (void)name;
  return nullptr;
#endif
}

std::string read_root() {
  const char* v = host_env("ZQ_ROOT");
  if (v == nullptr) return std::string();
  std::string root(v);
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (root == "/") root.clear();
  return root;
}

std::array<int, 4> read_ports() {
  std::array<int, 4> ports = {80, 8000, 8001, 8080};
  const char* v = host_env("ZQ_LISTENING_PORTS");
  if (v != nullptr) zq_parse_listening_ports(v, &ports);
  return ports;
}

double read_scale() {
  const char* v = host_env("ZQ_TIME_SCALE");
  if (v == nullptr) return 1.0;
  char* end = nullptr;
  double scale = strtod(v, &end);
  if (end == v || *end != '\0' || !(scale > 0.0) || scale > 1000.0) return 1.0;
  return scale;
}

}  // namespace

const std::string& zq_root() {
  static const std::string root = read_root();
  return root;
}

std::string zq_path(std::string_view camera_path) {
  if (camera_path.empty() || camera_path.front() != '/') return std::string(camera_path);
  std::string out = zq_root();
  out.append(camera_path);
  return out;
}

bool zq_parse_listening_ports(const char* text, std::array<int, 4>* ports) {
  std::array<int, 4> parsed = {};
  const char* p = text;
  for (size_t i = 0; i < parsed.size(); ++i) {
    char* end = nullptr;
    errno = 0;
    long port = strtol(p, &end, 10);
    if (end == p || errno != 0 || port <= 0 || port > 65535) return false;
    parsed[i] = static_cast<int>(port);
    const char expected = (i + 1 < parsed.size()) ? ',' : '\0';
    if (*end != expected) return false;
    p = end + 1;
  }
  *ports = parsed;
  return true;
}

const std::array<int, 4>& zq_listening_ports() {
  static const std::array<int, 4> ports = read_ports();
  return ports;
}

int zq_port_role(int port) {
  const std::array<int, 4>& ports = zq_listening_ports();
  for (size_t i = 0; i < ports.size(); ++i) {
    if (ports[i] == port) return static_cast<int>(i);
  }
  return -1;
}

double zq_time_scale() {
  static const double scale = read_scale();
  return scale;
}

long zq_scaled_ms(long ms) {
  if (ms <= 0) return ms;
  double scaled = static_cast<double>(ms) * zq_time_scale();
  return scaled < 1.0 ? 1 : static_cast<long>(scaled);
}

bool zq_make_dirs(const std::string& dir) {
  for (size_t pos = dir.find('/', 1);; pos = dir.find('/', pos + 1)) {
    const std::string partial = dir.substr(0, pos);
    if (!partial.empty() && mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (pos == std::string::npos) return true;
  }
}

std::string zq_mq_name(std::string_view name) {
  const std::string& root = zq_root();
  if (root.empty()) return std::string(name);
  uint64_t hash = 14695981039346656037ULL;  // FNV-1a of the root
  for (unsigned char c : root) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  char suffix[24];
  snprintf(suffix, sizeof suffix, ".%016llx", static_cast<unsigned long long>(hash));
  return std::string(name) + suffix;
}

int zq_drop_page_cache() {
#ifdef ZQ_HOST_OVERRIDES
  const std::string path = zq_path(kZqSimStateDir) + "/drop_caches";
  const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC;
  struct stat st = {};
  if (stat(zq_path(kZqSimStateDir).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 0;
#else
  sync();
  const std::string path = "/proc/sys/vm/drop_caches";
  const int flags = O_WRONLY | O_CLOEXEC;
#endif
  const int fd = open(path.c_str(), flags, 0644);
  if (fd < 0) return -1;
  const bool ok = write(fd, "3\n", 2) == 2;
  close(fd);
  return ok ? 0 : -1;
}
