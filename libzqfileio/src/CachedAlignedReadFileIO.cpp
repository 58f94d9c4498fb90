#include "zqfileio/CachedAlignedReadFileIO.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "zqfileio/FileIOResults.h"

namespace {

uint64_t RoundUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

}  // namespace

CachedAlignedReadFileIO::~CachedAlignedReadFileIO() {
  // Derived destructors close first; this only frees what may be left.
  free(rawWindow_);
  rawWindow_ = nullptr;
}

uint32_t CachedAlignedReadFileIO::openWrite(const char*, uint32_t) { return kFIOFailure; }

uint32_t CachedAlignedReadFileIO::openReadWrite(const char*, uint32_t) { return kFIOFailure; }

uint32_t CachedAlignedReadFileIO::write(const void*, uint64_t) { return kFIOFailure; }

uint32_t CachedAlignedReadFileIO::write(const void*, uint64_t, int64_t) { return kFIOFailure; }

int64_t CachedAlignedReadFileIO::getFilePointerOffset() { return filePointer_; }

uint32_t CachedAlignedReadFileIO::setFilePointerOffset(int64_t offset, uint32_t method) {
  if (method == kFIOFromCurrent) {
    filePointer_ += offset;
  } else if (method == kFIOFromEnd) {
    filePointer_ = fileSize_ + offset;
  } else {
    filePointer_ = offset;
  }
  return 0;
}

uint32_t CachedAlignedReadFileIO::getFileSize(int64_t* size) {
  if (size != nullptr) *size = fileSize_;
  return 0;
}

uint64_t CachedAlignedReadFileIO::getCacheSize() { return cacheSize_; }

uint32_t CachedAlignedReadFileIO::initCache(uint64_t cacheSize, uint64_t alignment,
                                            void* externalBuffer) {
  deinitCache();
  if (alignment < 2 || (alignment & (alignment - 1)) != 0) return kFIOFailure;
  cacheSize_ = cacheSize;
  alignment_ = alignment;
  window_ = static_cast<uint8_t*>(externalBuffer);
  if (cacheSize == 0 || externalBuffer != nullptr) return 0;
  // Room for the window plus slack on both sides, so that the window can start on an
  // alignment boundary inside the allocation.
  rawWindow_ = static_cast<uint8_t*>(malloc(cacheSize + 2 * alignment));
  if (rawWindow_ == nullptr) {
    cacheSize_ = 0;
    return kFIOFailure;
  }
  uintptr_t at = reinterpret_cast<uintptr_t>(rawWindow_);
  window_ = rawWindow_ + (RoundUp(at, alignment) - at);
  return 0;
}

uint32_t CachedAlignedReadFileIO::deinitCache() {
  free(rawWindow_);
  rawWindow_ = nullptr;
  window_ = nullptr;
  windowStart_ = 0;
  windowLength_ = 0;
  filePointer_ = 0;
  alignment_ = 0;
  cacheSize_ = 0;
  fileSize_ = 0;
  return 0;
}

uint32_t CachedAlignedReadFileIO::read(void* buffer, uint64_t length, uint64_t* bytesRead) {
  return read(buffer, length, bytesRead, filePointer_);
}

uint32_t CachedAlignedReadFileIO::read(void* buffer, uint64_t length, uint64_t* bytesRead,
                                       int64_t offsetFromStart) {
  if (bytesRead != nullptr) *bytesRead = 0;
  if (buffer == nullptr || offsetFromStart < 0 || offsetFromStart >= fileSize_) {
    return kFIOFailure;
  }
  uint64_t offset = static_cast<uint64_t>(offsetFromStart);
  uint64_t size = static_cast<uint64_t>(fileSize_);
  uint32_t result = 0;
  if (length > size - offset) {
    length = size - offset;
    result = kFIOIncomplete;  // the bytes up to the end are still delivered
  }
  filePointer_ = offsetFromStart;

  uint64_t winStart = static_cast<uint64_t>(windowStart_);
  if (window_ != nullptr && offset >= winStart && offset + length <= winStart + windowLength_) {
    memcpy(buffer, window_ + (offset - winStart), length);
    filePointer_ += static_cast<int64_t>(length);
    if (bytesRead != nullptr) *bytesRead = length;
    return result;
  }

  if (window_ != nullptr && cacheSize_ >= length && cacheSize_ > 0) {
    // Refill the window from the aligned start of the request. Our own allocation has
    // room for the cache size rounded up to the alignment; a borrowed one for the cache size.
    uint64_t start = offset / alignment_ * alignment_;
    uint64_t capacity = rawWindow_ != nullptr ? RoundUp(cacheSize_, alignment_)
                                              : cacheSize_ / alignment_ * alignment_;
    uint64_t fill = std::min(RoundUp(size - start, alignment_), capacity);
    if (offset + length <= start + fill) {
      uint64_t got = 0;
      uint32_t code = internalReadFromOffset(window_, fill, &got, static_cast<int64_t>(start));
      if (code != 0 && got == 0) {
        windowLength_ = 0;
        return code;
      }
      windowStart_ = static_cast<int64_t>(start);
      windowLength_ = got;
      uint64_t available = got > offset - start ? got - (offset - start) : 0;
      uint64_t n = std::min(available, length);
      memcpy(buffer, window_ + (offset - start), n);
      filePointer_ += static_cast<int64_t>(n);
      if (bytesRead != nullptr) *bytesRead = n;
      return n < length ? kFIOIncomplete : result;
    }
    // The aligned span is larger than the window: read directly below.
  }

  uint64_t got = 0;
  uint32_t code = internalReadFromOffset(buffer, length, &got, offsetFromStart);
  filePointer_ = offsetFromStart + static_cast<int64_t>(got);
  if (bytesRead != nullptr) *bytesRead = got;
  return code != 0 ? code : (got < length ? kFIOIncomplete : result);
}

uint32_t CachedAlignedReadFileIO::prepareRead(int64_t start, int64_t end) {
  if (start < 0) start = 0;
  int64_t a = start / 512 * 512;
  if (a > end || window_ == nullptr || cacheSize_ == 0 || a >= fileSize_) return kFIOFailure;
  uint32_t result = end > fileSize_ ? kFIOIncomplete : 0;
  int64_t target = std::min(end, fileSize_);
  if (windowStart_ <= a && windowStart_ + static_cast<int64_t>(windowLength_) >= target &&
      windowLength_ > 0) {
    return result;
  }
  uint64_t want = std::min<uint64_t>(cacheSize_, static_cast<uint64_t>(fileSize_ - a));
  int64_t oldStart = windowStart_;
  int64_t oldEnd = windowStart_ + static_cast<int64_t>(windowLength_);
  uint64_t kept = 0;
  if (windowLength_ > 0 && oldStart <= a && oldEnd > a) {
    // The tail of the current window is the head of the new one: move it to the front.
    kept = std::min<uint64_t>(static_cast<uint64_t>(oldEnd - a), want);
    memmove(window_, window_ + (a - oldStart), kept);
  }
  uint64_t got = 0;
  uint32_t code = 0;
  if (kept < want) {
    code =
        internalReadFromOffset(window_ + kept, want - kept, &got, a + static_cast<int64_t>(kept));
  }
  windowStart_ = a;
  windowLength_ = kept + got;
  if (code != 0 && windowLength_ == 0) return code;
  return result;
}
