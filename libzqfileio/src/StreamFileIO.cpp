#include "zqfileio/StreamFileIO.h"

#include <unistd.h>

#include <cerrno>

#include "zqfileio/FileIOResults.h"

StreamFileIO::StreamFileIO(int descriptor) {
  fd_ = descriptor;
  isOpen_ = descriptor >= 0;
  canWrite_ = isOpen_;
}

// The base destructor closes an open descriptor; this one is borrowed.
StreamFileIO::~StreamFileIO() { close(); }

uint32_t StreamFileIO::openRead(const char*) { return kFIOFailure; }

uint32_t StreamFileIO::openWrite(const char*, uint32_t) { return kFIOFailure; }

uint32_t StreamFileIO::close() {
  fd_ = 0;
  isOpen_ = false;
  canWrite_ = false;
  return 0;
}

uint32_t StreamFileIO::read(void*, uint64_t, uint64_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  return kFIOFailure;
}

uint32_t StreamFileIO::read(void*, uint64_t, uint64_t* bytesRead, int64_t) {
  if (bytesRead != nullptr) *bytesRead = 0;
  return kFIOFailure;
}

uint32_t StreamFileIO::write(const void* buffer, uint64_t length) {
  if (!isOpen_ || (buffer == nullptr && length != 0)) return kFIOFailure;
  const auto* p = static_cast<const uint8_t*>(buffer);
  while (length > 0) {
    ssize_t n = ::write(fd_, p, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return kFIOIncomplete;
    p += n;
    length -= static_cast<uint64_t>(n);
    written_ += static_cast<uint64_t>(n);
  }
  return 0;
}

uint32_t StreamFileIO::write(const void* buffer, uint64_t length, int64_t offsetFromStart) {
  if (offsetFromStart < 0 || static_cast<uint64_t>(offsetFromStart) != written_) {
    return kFIOFailure;
  }
  return write(buffer, length);
}

uint32_t StreamFileIO::setFilePointerOffset(int64_t offset, uint32_t method) {
  bool stays =
      (method == kFIOFromStart && offset >= 0 && static_cast<uint64_t>(offset) == written_) ||
      (method == kFIOFromCurrent && offset == 0);
  return stays ? 0 : kFIOFailure;
}

uint32_t StreamFileIO::getFileSize(int64_t*) { return kFIOFailure; }
