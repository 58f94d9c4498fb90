#include "zqfileio/ZQSinkFileIO.h"

#include <cerrno>

#include "zqcommon/zqLog.h"

ZQSinkFileIO::ZQSinkFileIO(ZqSink* sink) : sink_(sink) {
  isOpen_ = true;
  canWrite_ = true;
}

uint32_t ZQSinkFileIO::openRead(const char* path) {
  ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::openRead(%s) not supported", path != nullptr ? path : "");
  return kFIOFailure;
}

uint32_t ZQSinkFileIO::openWrite(const char*, uint32_t) { return 0; }

uint32_t ZQSinkFileIO::openReadWrite(const char* path, uint32_t style) {
  ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::openReadWrite(%s, fioows=%d) not supported",
         path != nullptr ? path : "", static_cast<int>(style));
  return kFIOFailure;
}

uint32_t ZQSinkFileIO::close() {
  isOpen_ = false;
  canWrite_ = false;
  fd_ = 0;
  return 0;
}

uint32_t ZQSinkFileIO::read(void*, uint64_t, uint64_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::read() not supported");
  return kFIOFailure;
}

uint32_t ZQSinkFileIO::read(void*, uint64_t, uint64_t* bytesRead, int64_t) {
  if (bytesRead != nullptr) *bytesRead = 0;
  ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::read( ..., offsetFromStart) not supported");
  return kFIOFailure;
}

uint32_t ZQSinkFileIO::getFileSize(int64_t*) {
  ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::getFileSize() inappropriately called");
  return kFIOFailure;
}

uint32_t ZQSinkFileIO::write(const void* buffer, uint64_t length) {
  if (!isOpen_ || !canWrite_ || sink_ == nullptr) {
    ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::File not open or writable %d", errno);
    return kFIOFailure;
  }
  if (failed_) return kFIOFailure;
  // A zero-length piece would end a chunked stream: there is nothing to send.
  if (length == 0) return 0;
  if (!sink_->Write(buffer, static_cast<size_t>(length))) {
    ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::Error writing file. errno = %d", errno);
    failed_ = true;
    return kFIOFailure;
  }
  written_ += length;
  return 0;
}

uint32_t ZQSinkFileIO::write(const void* buffer, uint64_t length, int64_t offsetFromStart) {
  if (offsetFromStart >= 0 && static_cast<uint64_t>(offsetFromStart) == written_) {
    ZQ_LOG(ZQ_LOG_WARN, "ZQSinkFileIO::Writing to current offset %llu bytes",
           static_cast<unsigned long long>(length));
    return write(buffer, length);
  }
  if (length == 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::Writing %llu bytes to offset %lld (current offset is %lld)",
           static_cast<unsigned long long>(length), static_cast<long long>(offsetFromStart),
           static_cast<long long>(written_));
    return 0;
  }
  ZQ_LOG(ZQ_LOG_ERROR,
         "ZQSinkFileIO::Attempting to write %llu bytes to offset %lld (current offset is %lld)",
         static_cast<unsigned long long>(length), static_cast<long long>(offsetFromStart),
         static_cast<long long>(written_));
  return kFIOFailure;
}

int64_t ZQSinkFileIO::getFilePointerOffset() { return static_cast<int64_t>(written_); }

uint32_t ZQSinkFileIO::setFilePointerOffset(int64_t offset, uint32_t method) {
  int current = static_cast<int>(written_);
  switch (method) {
    case kFIOFromStart:
      if (offset >= 0 && static_cast<uint64_t>(offset) == written_) {
        ZQ_LOG(ZQ_LOG_WARN, "ZQSinkFileIO::Attempting to set file offset to current (%d)", current);
        return 0;
      }
      ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::Attempting to set file offset to %d (current %d)",
             static_cast<int>(offset), current);
      return kFIOFailure;
    case kFIOFromCurrent:
      // Refused even for 0: the stream has no position to move.
      ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::Attempting to change file offset by %d (current %d)",
             static_cast<int>(offset), current);
      return kFIOFailure;
    case kFIOFromEnd:
      ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::Attempting to set file offset to end (%d) (current %d)",
             static_cast<int>(offset), current);
      return kFIOFailure;
    default:
      ZQ_LOG(ZQ_LOG_ERROR, "ZQSinkFileIO::setFilePointerOffset(%d, %d) - Unrecognized method",
             static_cast<int>(offset), static_cast<int>(method));
      return kFIOFailure;
  }
}
