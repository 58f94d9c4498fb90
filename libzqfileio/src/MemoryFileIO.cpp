#include "zqfileio/MemoryFileIO.h"

#include <cstring>

#include "zqfileio/FileIOResults.h"

MemoryFileIO::MemoryFileIO(const void* data, size_t size)
    : data_(static_cast<const uint8_t*>(data)), size_(data != nullptr ? size : 0) {
  isOpen_ = true;
  canRead_ = true;
}

uint32_t MemoryFileIO::openRead(const char*) { return kFIOFailure; }

uint32_t MemoryFileIO::openWrite(const char*, uint32_t) { return kFIOFailure; }

uint32_t MemoryFileIO::close() {
  isOpen_ = false;
  canRead_ = false;
  return 0;
}

uint32_t MemoryFileIO::read(void* buffer, uint64_t length, uint64_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  if (!isOpen_ || buffer == nullptr || position_ < 0) return kFIOFailure;
  uint64_t pos = static_cast<uint64_t>(position_);
  uint64_t n = pos < size_ ? size_ - pos : 0;
  if (n > length) n = length;
  if (n > 0) memcpy(buffer, data_ + pos, n);
  position_ += static_cast<int64_t>(n);
  if (bytesRead != nullptr) *bytesRead = n;
  return n == length ? 0 : kFIOIncomplete;
}

uint32_t MemoryFileIO::read(void* buffer, uint64_t length, uint64_t* bytesRead,
                            int64_t offsetFromStart) {
  if (bytesRead != nullptr) *bytesRead = 0;
  if (!isOpen_ || offsetFromStart < 0) return kFIOFailure;
  position_ = offsetFromStart;
  return read(buffer, length, bytesRead);
}

uint32_t MemoryFileIO::write(const void*, uint64_t) { return kFIOFailure; }

uint32_t MemoryFileIO::write(const void*, uint64_t, int64_t) { return kFIOFailure; }

uint32_t MemoryFileIO::setFilePointerOffset(int64_t offset, uint32_t method) {
  int64_t base;
  switch (method) {
    case kFIOFromStart:
      base = 0;
      break;
    case kFIOFromCurrent:
      base = position_;
      break;
    case kFIOFromEnd:
      base = static_cast<int64_t>(size_);
      break;
    default:
      return kFIOFailure;
  }
  if (offset < -base) return kFIOFailure;
  position_ = base + offset;
  return 0;
}

uint32_t MemoryFileIO::getFileSize(int64_t* size) {
  if (size == nullptr) return kFIOFailure;
  *size = static_cast<int64_t>(size_);
  return 0;
}
