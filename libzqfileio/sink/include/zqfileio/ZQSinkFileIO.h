// A write-only FileIO that hands every byte written to it to a ZqSink, so that an MP4 built by
// the library streams out as it is produced (the daemon's sink makes each write one chunk of
// a chunked answer).
//
// The output is strictly sequential: a positioned write is accepted only at the current
// offset (the number of bytes written so far), and the only seek accepted is "from the start
// to the current offset". Reads, sizes and opens for reading are refused. Every refusal is
// logged and returns kFIOFailure. A write the sink refuses fails, and so does every later
// write: part of the stream may be out, so it can never be completed (failed() tells). Not
// thread safe; the sink is borrowed and must outlive the object.
#ifndef ZQ_LIBZQFILEIO_SINK_INCLUDE_ZQFILEIO_ZQSINKFILEIO_H_
#define ZQ_LIBZQFILEIO_SINK_INCLUDE_ZQFILEIO_ZQSINKFILEIO_H_

#include <cstdint>

#include "zqcommon/zqSink.h"
#include "zqfileio/FileIO.h"

class ZQSinkFileIO final : public FileIO {
 public:
  // Open for writing at offset 0.
  explicit ZQSinkFileIO(ZqSink* sink);

  uint32_t openRead(const char* path) override;
  uint32_t openWrite(const char* path, uint32_t style) override;  // 0, does nothing
  uint32_t openReadWrite(const char* path, uint32_t style) override;
  uint32_t close() override;
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead) override;
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead,
                int64_t offsetFromStart) override;
  uint32_t write(const void* buffer, uint64_t length) override;
  uint32_t write(const void* buffer, uint64_t length, int64_t offsetFromStart) override;
  int64_t getFilePointerOffset() override;
  uint32_t setFilePointerOffset(int64_t offset, uint32_t method) override;
  uint32_t getFileSize(int64_t* size) override;

  bool failed() const { return failed_; }
  uint64_t bytesWritten() const { return written_; }

 private:
  ZqSink* sink_;
  uint64_t written_ = 0;
  bool failed_ = false;
};

#endif  // ZQ_LIBZQFILEIO_SINK_INCLUDE_ZQFILEIO_ZQSINKFILEIO_H_
