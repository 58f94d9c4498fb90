// The IPC library of a host run: each endpoint is a Unix sequenced-packet socket below the
// simulator's state directory, so messages keep their boundaries and a receive honours the
// caller's SO_RCVTIMEO.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "zqcommon/zqPaths.h"
#include "zqipc.h"
#include "zqsim/SimMediaDb.h"

namespace zqsim {

std::string IpcSocketPath(const char* name) {
  return zq_path(kZqSimStateDir) + "/" + name + ".sock";
}

bool IpcSocketAddress(const std::string& path, sockaddr_un* addr) {
  memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) return false;
  memcpy(addr->sun_path, path.data(), path.size());
  return true;
}

}  // namespace zqsim

int32_t zqIpcInit(const char* name, zqIpcHandle* handle) {
  if (handle == nullptr) return -1;
  memset(handle, 0, sizeof *handle);
  handle->fd = -1;
  if (name == nullptr || *name == '\0' || strchr(name, '/') != nullptr) return -1;
  sockaddr_un addr;
  const std::string path = zqsim::IpcSocketPath(name);
  if (!zqsim::IpcSocketAddress(path, &addr)) {
    fprintf(stderr, "zqipc: endpoint path too long: %s\n", path.c_str());
    return -1;
  }
  int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  handle->fd = fd;
  return 0;
}

int32_t zqIpcSend(zqIpcHandle* handle, const void* bytes, uint32_t length) {
  if (handle == nullptr || handle->fd < 0 || bytes == nullptr || length > kZqIpcMaxMessage) {
    return -1;
  }
  ssize_t n;
  do {
    n = send(handle->fd, bytes, length, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(length) ? static_cast<int32_t>(n) : -1;
}

int32_t zqIpcReceive(zqIpcHandle* handle, void* buffer) {
  if (handle == nullptr || handle->fd < 0 || buffer == nullptr) return -1;
  ssize_t n;
  do {
    n = recv(handle->fd, buffer, kZqIpcMaxMessage, 0);
  } while (n < 0 && errno == EINTR);
  // A closed peer reads as 0 bytes: no message arrived, which is a failed receive.
  return n > 0 ? static_cast<int32_t>(n) : -1;
}

int32_t zqIpcDestroy(zqIpcHandle* handle) {
  if (handle == nullptr) return -1;
  if (handle->fd >= 0) close(handle->fd);
  handle->fd = -1;
  return 0;
}
