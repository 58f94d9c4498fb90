#include "zqfileio/FileIO.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "zqfileio/FileIOResults.h"

// Offsets pass 4 GiB in long recordings; a 32-bit build must ask for 64-bit off_t
// (_FILE_OFFSET_BITS=64, which the build sets for every target).
static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");

FileIO::~FileIO() {
  // A derived close() cannot run from here; release the descriptor directly.
  if (isOpen_ && fd_ > 0) ::close(fd_);
}

uint32_t FileIO::openRead(const char* path) {
  if (isOpen_) close();
  if (path == nullptr) return kFIOFailure;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kFIOFailure;
  fd_ = fd;
  isOpen_ = true;
  canRead_ = true;
  return 0;
}

uint32_t FileIO::openWrite(const char* path, uint32_t style) {
  if (isOpen_) close();
  if (path == nullptr) return kFIOFailure;
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
  if (style == kFIOWriteAppend) {
    flags |= O_APPEND;
  } else if (style == kFIOWriteTruncate) {
    flags |= O_TRUNC;
  }
  int fd = ::open(path, flags, 0777);
  if (fd < 0) return kFIOFailure;
  fd_ = fd;
  isOpen_ = true;
  canWrite_ = true;
  return 0;
}

uint32_t FileIO::openReadWrite(const char*, uint32_t) { return kFIOFailure; }

uint32_t FileIO::close() {
  if (isOpen_ && fd_ > 0) ::close(fd_);
  fd_ = 0;
  isOpen_ = false;
  canRead_ = false;
  canWrite_ = false;
  return 0;
}

uint32_t FileIO::prepareRead(int64_t, int64_t) { return 0; }

uint32_t FileIO::read(void* buffer, uint64_t length, uint64_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  if (!isOpen_ || !canRead_ || buffer == nullptr) return kFIOFailure;
  // One system call on purpose: callers that need the rest ask again, and block-aligned
  // callers judge a short read themselves.
  ssize_t n = ::read(fd_, buffer, static_cast<size_t>(length));
  uint64_t got = n > 0 ? static_cast<uint64_t>(n) : 0;
  if (bytesRead != nullptr) *bytesRead = got;
  return got == length && n >= 0 ? 0 : kFIOIncomplete;
}

uint32_t FileIO::read(void* buffer, uint64_t length, uint64_t* bytesRead, int64_t offsetFromStart) {
  if (bytesRead != nullptr) *bytesRead = 0;
  if (!isOpen_ || !canRead_) return kFIOFailure;
  if (lseek(fd_, offsetFromStart, SEEK_SET) < 0) return kFIOFailure;
  return FileIO::read(buffer, length, bytesRead);
}

uint32_t FileIO::write(const void* buffer, uint64_t length) {
  if (!isOpen_ || !canWrite_ || (buffer == nullptr && length != 0)) return kFIOFailure;
  ssize_t n = ::write(fd_, buffer, static_cast<size_t>(length));
  if (n < 0 || static_cast<uint64_t>(n) != length) {
    fprintf(stderr, "Error writing file %d\n", errno);
    return kFIOIncomplete;
  }
  return 0;
}

uint32_t FileIO::write(const void* buffer, uint64_t length, int64_t offsetFromStart) {
  if (!isOpen_ || !canWrite_) return kFIOFailure;
  if (lseek(fd_, offsetFromStart, SEEK_SET) < 0) return kFIOFailure;
  return FileIO::write(buffer, length);
}

int64_t FileIO::getFilePointerOffset() {
  if (!isOpen_) return -1;
  return lseek(fd_, 0, SEEK_CUR);
}

uint32_t FileIO::setFilePointerOffset(int64_t offset, uint32_t method) {
  int whence;
  switch (method) {
    case kFIOFromStart:
      whence = SEEK_SET;
      break;
    case kFIOFromCurrent:
      whence = SEEK_CUR;
      break;
    case kFIOFromEnd:
      whence = SEEK_END;
      break;
    default:
      return kFIOFailure;
  }
  if (!isOpen_) return kFIOFailure;
  return lseek(fd_, offset, whence) < 0 ? kFIOFailure : 0;
}

bool FileIO::canRead() { return canRead_; }

bool FileIO::canWrite() { return canWrite_; }

uint32_t FileIO::getFileSize(int64_t* size) {
  if (size == nullptr || !isOpen_) return kFIOFailure;
  off_t here = lseek(fd_, 0, SEEK_CUR);
  off_t end = lseek(fd_, 0, SEEK_END);
  *size = end;
  off_t back = lseek(fd_, here < 0 ? 0 : here, SEEK_SET);
  return here < 0 || end < 0 || back < 0 ? kFIOFailure : 0;
}
