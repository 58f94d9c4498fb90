// A read-only FileIO over bytes in memory, for parsing a recording that is already loaded
// (and for tests and fuzzing). The bytes are borrowed and must outlive the object.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_MEMORYFILEIO_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_MEMORYFILEIO_H_

#include <cstddef>
#include <cstdint>

#include "zqfileio/FileIO.h"

class MemoryFileIO final : public FileIO {
 public:
  // The object is open for reading from the start.
  MemoryFileIO(const void* data, size_t size);

  uint32_t openRead(const char* path) override;                   // 3
  uint32_t openWrite(const char* path, uint32_t style) override;  // 3
  uint32_t close() override;
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead) override;
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead,
                int64_t offsetFromStart) override;
  uint32_t write(const void* buffer, uint64_t length) override;                           // 3
  uint32_t write(const void* buffer, uint64_t length, int64_t offsetFromStart) override;  // 3
  int64_t getFilePointerOffset() override { return position_; }
  uint32_t setFilePointerOffset(int64_t offset, uint32_t method) override;
  uint32_t getFileSize(int64_t* size) override;

 private:
  const uint8_t* data_;
  size_t size_;
  int64_t position_ = 0;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_MEMORYFILEIO_H_
