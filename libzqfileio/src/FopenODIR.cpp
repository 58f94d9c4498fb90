#include "zqfileio/FopenODIR.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

FILE* fopen_ODIR(const char* path, const char* mode) {
  if (path == nullptr || mode == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  bool plus = mode[0] != '\0' && (mode[1] == '+' || (mode[1] == 'b' && mode[2] == '+'));
  int flags;
  switch (mode[0]) {
    case 'r':
      flags = plus ? O_RDWR : O_RDONLY;
      break;
    case 'w':
      flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
      break;
    case 'a':
      flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
      break;
    default:
      errno = EINVAL;
      return nullptr;
  }
  int fd = open(path, flags | O_DIRECT | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, mode);
  if (file == nullptr) {
    int saved = errno;
    close(fd);
    errno = saved;
  }
  return file;
}
