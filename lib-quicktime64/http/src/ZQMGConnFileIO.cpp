#include "quicktime64/ZQMGConnFileIO.h"

#include <cerrno>

#include "http/zqResponse.h"
#include "zqcommon/zqLog.h"

ZQMGConnFileIO::ZQMGConnFileIO(mg_connection* connection, Head head)
    : connection_(connection), headSent_(head == kHeadSent) {
  isOpen_ = true;
  canWrite_ = true;
}

ZQMGConnFileIO::~ZQMGConnFileIO() {
  if (!abandoned_ && headSent_ && connection_ != nullptr) http_end_chunked_stream(connection_);
}

uint32_t ZQMGConnFileIO::openRead(const char* path) {
  ZQ_LOG(ZQ_LOG_ERROR, "ZQMGConnFileIO::openRead(%s) not supported", path != nullptr ? path : "");
  return kFIOFailure;
}

uint32_t ZQMGConnFileIO::openWrite(const char*, uint32_t) { return 0; }

uint32_t ZQMGConnFileIO::openReadWrite(const char* path, uint32_t style) {
  ZQ_LOG(ZQ_LOG_ERROR, "ZQMGConnFileIO::openReadWrite(%s, fioows=%d) not supported",
         path != nullptr ? path : "", static_cast<int>(style));
  return kFIOFailure;
}

uint32_t ZQMGConnFileIO::close() {
  isOpen_ = false;
  canWrite_ = false;
  fd_ = 0;
  return 0;
}

uint32_t ZQMGConnFileIO::read(void*, uint64_t, uint64_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  ZQ_LOG(ZQ_LOG_ERROR, "ZQMGConnFileIO::read() not supported");
  return kFIOFailure;
}

uint32_t ZQMGConnFileIO::read(void*, uint64_t, uint64_t* bytesRead, int64_t) {
  if (bytesRead != nullptr) *bytesRead = 0;
  ZQ_LOG(ZQ_LOG_ERROR, "ZQMGConnFileIO::read( ..., offsetFromStart) not supported");
  return kFIOFailure;
}

uint32_t ZQMGConnFileIO::getFileSize(int64_t*) {
  ZQ_LOG(ZQ_LOG_ERROR, "ZQMGConnFileIO::getFileSize() inappropriately called");
  return kFIOFailure;
}

uint32_t ZQMGConnFileIO::write(const void* buffer, uint64_t length) {
  if (!isOpen_ || !canWrite_ || connection_ == nullptr) {
    ZQ_LOG(ZQ_LOG_ERROR, "ZQMGConnFileIO::File not open or writable %d", errno);
    return kFIOFailure;
  }
  // A zero-length chunk would end the stream: there is nothing to send.
  if (length == 0) return 0;
  if (!headSent_) {
    http_start_chunked_stream(connection_);
    headSent_ = true;
  }
  int sent = http_write_chunk(connection_, static_cast<size_t>(length), buffer);
  if (sent < 0 || static_cast<uint64_t>(sent) != length) {
    ZQ_LOG(ZQ_LOG_ERROR, "ZQMGConnFileIO::Error writing file. errno = %d", errno);
    // Part of a chunk may be on the wire: the stream cannot be completed any more.
    abandoned_ = true;
    return kFIOFailure;
  }
  written_ += length;
  return 0;
}

uint32_t ZQMGConnFileIO::write(const void* buffer, uint64_t length, int64_t offsetFromStart) {
  if (offsetFromStart >= 0 && static_cast<uint64_t>(offsetFromStart) == written_) {
    ZQ_LOG(ZQ_LOG_WARN, "ZQMGConnFileIO::Writing to current offset %llu bytes",
           static_cast<unsigned long long>(length));
    return write(buffer, length);
  }
  if (length == 0) {
    ZQ_LOG(ZQ_LOG_ERROR,
           "ZQMGConnFileIO::Writing %llu bytes to offset %lld (current offset is %lld)",
           static_cast<unsigned long long>(length), static_cast<long long>(offsetFromStart),
           static_cast<long long>(written_));
    return 0;
  }
  ZQ_LOG(ZQ_LOG_ERROR,
         "ZQMGConnFileIO::Attempting to write %llu bytes to offset %lld (current offset is %lld)",
         static_cast<unsigned long long>(length), static_cast<long long>(offsetFromStart),
         static_cast<long long>(written_));
  return kFIOFailure;
}

int64_t ZQMGConnFileIO::getFilePointerOffset() { return static_cast<int64_t>(written_); }

uint32_t ZQMGConnFileIO::setFilePointerOffset(int64_t offset, uint32_t method) {
  int current = static_cast<int>(written_);
  switch (method) {
    case kFIOFromStart:
      if (offset >= 0 && static_cast<uint64_t>(offset) == written_) {
        ZQ_LOG(ZQ_LOG_WARN, "ZQMGConnFileIO::Attempting to set file offset to current (%d)",
               current);
        return 0;
      }
      ZQ_LOG(ZQ_LOG_ERROR, "ZQMGConnFileIO::Attempting to set file offset to %d (current %d)",
             static_cast<int>(offset), current);
      return kFIOFailure;
    case kFIOFromCurrent:
      // Refused even for 0: the stream has no position to move.
      ZQ_LOG(ZQ_LOG_ERROR, "ZQMGConnFileIO::Attempting to change file offset by %d (current %d)",
             static_cast<int>(offset), current);
      return kFIOFailure;
    case kFIOFromEnd:
      ZQ_LOG(ZQ_LOG_ERROR, "ZQMGConnFileIO::Attempting to set file offset to end (%d) (current %d)",
             static_cast<int>(offset), current);
      return kFIOFailure;
    default:
      ZQ_LOG(ZQ_LOG_ERROR, "ZQMGConnFileIO::setFilePointerOffset(%d, %d) - Unrecognized method",
             static_cast<int>(offset), static_cast<int>(method));
      return kFIOFailure;
  }
}
