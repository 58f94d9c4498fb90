// A plain FileIO that knows the file-system block size of its file, and forgives a read
// that stops short of the requested length by less than one block (the end of the file
// inside the last block a block-rounded read asked for).
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_BLOCKFILEIO_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_BLOCKFILEIO_H_

#include "zqfileio/FileIO.h"

inline constexpr uint32_t kDefaultFileSystemBlockSize = 512;

class BlockFileIO : public FileIO {
 public:
  // The preferred I/O block size of `path` (512 when the file cannot be opened or queried).
  // 3 when `path` is null; 0 otherwise (also when `blockSize` is null: nothing is probed).
  static uint32_t getFileSystemBlockSize(const char* path, uint32_t* blockSize);

  // Each probes the block size of `path` first, then opens as FileIO does.
  uint32_t openRead(const char* path) override;
  uint32_t openWrite(const char* path, uint32_t style) override;
  uint32_t openReadWrite(const char* path, uint32_t style) override;
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead) override;
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead,
                int64_t offsetFromStart) override;

  uint32_t blockSize() const { return blockSize_; }

 private:
  uint32_t ForgiveShortRead(uint32_t result, uint64_t length, uint64_t got) const;

  uint32_t blockSize_ = kDefaultFileSystemBlockSize;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_BLOCKFILEIO_H_
