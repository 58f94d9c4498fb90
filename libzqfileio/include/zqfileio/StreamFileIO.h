// A write-only FileIO over a descriptor that is written strictly in sequence (standard
// output, a pipe, a socket): the same rules as the HTTP chunked destination, so that the
// library's streaming writers can be run and measured from the command line. A positioned
// write is accepted only at the current offset (the bytes written so far); reads, sizes and
// other seeks are refused with 3. The descriptor is borrowed: never closed here.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_STREAMFILEIO_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_STREAMFILEIO_H_

#include <cstdint>

#include "zqfileio/FileIO.h"

class StreamFileIO final : public FileIO {
 public:
  explicit StreamFileIO(int descriptor);
  ~StreamFileIO() override;

  uint32_t openRead(const char* path) override;                   // 3
  uint32_t openWrite(const char* path, uint32_t style) override;  // 3
  uint32_t close() override;                                      // forgets the descriptor
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead) override;  // 3
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead,
                int64_t offsetFromStart) override;  // 3
  // Writes every byte (retrying short writes and interruptions); 1 when the descriptor
  // stops taking bytes.
  uint32_t write(const void* buffer, uint64_t length) override;
  uint32_t write(const void* buffer, uint64_t length, int64_t offsetFromStart) override;
  int64_t getFilePointerOffset() override { return static_cast<int64_t>(written_); }
  uint32_t setFilePointerOffset(int64_t offset, uint32_t method) override;
  uint32_t getFileSize(int64_t* size) override;  // 3

  uint64_t bytesWritten() const { return written_; }

 private:
  uint64_t written_ = 0;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_STREAMFILEIO_H_
