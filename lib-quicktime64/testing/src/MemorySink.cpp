#include "mp4test/MemorySink.h"

#include <algorithm>

namespace mp4test {

MemorySink::MemorySink() {
  isOpen_ = true;
  canWrite_ = true;
  fd_ = -1;
}

uint32_t MemorySink::openRead(const char*) {
  ++misuses_;
  return 3;
}

uint32_t MemorySink::read(void*, uint64_t, uint64_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  ++misuses_;
  return 3;
}

uint32_t MemorySink::read(void*, uint64_t, uint64_t* bytesRead, int64_t) {
  if (bytesRead != nullptr) *bytesRead = 0;
  ++misuses_;
  return 3;
}

uint32_t MemorySink::write(const void* buffer, uint64_t length) {
  ++writes_;
  if (length > limit_ || received_ > limit_ - length) return 1;
  const auto* p = static_cast<const uint8_t*>(buffer);
  if (received_ < keep_) {
    uint64_t take = std::min<uint64_t>(length, keep_ - received_);
    bytes_.append(reinterpret_cast<const char*>(p), take);
  }
  Consume(p, length, received_);
  received_ += length;
  return 0;
}

uint32_t MemorySink::write(const void* buffer, uint64_t length, int64_t offsetFromStart) {
  if (offsetFromStart < 0 || static_cast<uint64_t>(offsetFromStart) != received_) {
    ++misuses_;
    return 3;
  }
  return write(buffer, length);
}

uint32_t MemorySink::setFilePointerOffset(int64_t offset, uint32_t method) {
  if ((method == kFIOFromStart && offset >= 0 && static_cast<uint64_t>(offset) == received_) ||
      (method == kFIOFromCurrent && offset == 0)) {
    return 0;
  }
  ++misuses_;
  return 3;
}

uint32_t MemorySink::getFileSize(int64_t*) {
  ++misuses_;
  return 3;
}

void MemorySink::Consume(const uint8_t*, uint64_t, uint64_t) {}

}  // namespace mp4test
