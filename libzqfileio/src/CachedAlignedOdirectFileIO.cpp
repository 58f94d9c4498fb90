#include "zqfileio/CachedAlignedOdirectFileIO.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zqfileio/FileIOResults.h"

namespace {

// O_DIRECT transfers must be aligned to the device's logical block; 4096 satisfies every
// device the camera and a PC use, 512 most.
constexpr uint64_t kDirectAlignment = 4096;

bool Aligned(uint64_t value, uint64_t alignment) { return value % alignment == 0; }

}  // namespace

CachedAlignedOdirectFileIO::CachedAlignedOdirectFileIO(uint64_t cacheSize, uint64_t alignment) {
  if (cacheSize != 0 && alignment != 0 && alignment != 1) initCache(cacheSize, alignment, nullptr);
}

CachedAlignedOdirectFileIO::~CachedAlignedOdirectFileIO() { close(); }

uint32_t CachedAlignedOdirectFileIO::openRead(const char* path) {
  if (odirectFd_ >= 0) {
    ::close(odirectFd_);
    odirectFd_ = -1;
  }
  int fd = path != nullptr ? ::open(path, O_RDONLY | O_DIRECT | O_CLOEXEC) : -1;
  direct_ = fd >= 0;
  if (fd < 0 && path != nullptr && errno == EINVAL) {
    // The file system refuses O_DIRECT: read it through the page cache instead.
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) {
    printf("error opening file %s\n", path != nullptr ? path : "(null)");
    return kFIOFailure;
  }
  odirectFd_ = fd;
  off_t end = lseek(fd, 0, SEEK_END);
  lseek(fd, 0, SEEK_SET);
  fileSize_ = end > 0 ? end : 0;
  isOpen_ = true;
  canRead_ = true;
  return 0;
}

uint32_t CachedAlignedOdirectFileIO::close() {
  if (odirectFd_ >= 0) ::close(odirectFd_);
  odirectFd_ = -1;
  direct_ = false;
  isOpen_ = false;
  canRead_ = false;
  deinitCache();
  return 0;
}

int64_t CachedAlignedOdirectFileIO::DirectRead(void* buffer, uint64_t length, int64_t offset) {
  uintptr_t at = reinterpret_cast<uintptr_t>(buffer);
  if (!direct_ || (Aligned(at, 512) && Aligned(length, 512) && Aligned(offset, 512))) {
    ssize_t n = pread(odirectFd_, buffer, length, offset);
    if (n >= 0 || errno != EINVAL || !direct_) return n;
    // The device wants a coarser alignment than 512: fall through to the bounce buffer.
  }
  // Read the aligned span that covers the request into aligned memory, then copy.
  uint64_t start = static_cast<uint64_t>(offset) / kDirectAlignment * kDirectAlignment;
  uint64_t span = (static_cast<uint64_t>(offset) + length - start + kDirectAlignment - 1) /
                  kDirectAlignment * kDirectAlignment;
  void* bounce = nullptr;
  if (posix_memalign(&bounce, kDirectAlignment, span) != 0) {
    errno = ENOMEM;
    return -1;
  }
  ssize_t n = pread(odirectFd_, bounce, span, static_cast<off_t>(start));
  if (n < 0 && errno == EINVAL) {
    // O_DIRECT is refused at read time: stop using it for this file.
    int flags = fcntl(odirectFd_, F_GETFL);
    if (flags >= 0 && fcntl(odirectFd_, F_SETFL, flags & ~O_DIRECT) == 0) direct_ = false;
    n = pread(odirectFd_, bounce, span, static_cast<off_t>(start));
  }
  int64_t result = -1;
  if (n >= 0) {
    uint64_t skip = static_cast<uint64_t>(offset) - start;
    uint64_t avail = static_cast<uint64_t>(n) > skip ? static_cast<uint64_t>(n) - skip : 0;
    uint64_t copy = avail < length ? avail : length;
    memcpy(buffer, static_cast<uint8_t*>(bounce) + skip, copy);
    result = static_cast<int64_t>(copy);
  }
  free(bounce);
  return result;
}

uint32_t CachedAlignedOdirectFileIO::internalReadFromOffset(void* buffer, uint64_t length,
                                                            uint64_t* bytesRead, int64_t offset) {
  if (bytesRead != nullptr) *bytesRead = 0;
  if (odirectFd_ < 0 || buffer == nullptr || offset < 0) return kFIOFailure;
  int64_t n = DirectRead(buffer, length, offset);
  if (n < 1) return kFIOFailure;
  if (bytesRead != nullptr) *bytesRead = static_cast<uint64_t>(n);
  return 0;
}
