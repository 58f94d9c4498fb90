// A writer that hands the file whole file-system blocks only: bytes are staged until a block
// is full, whole blocks of the caller's data are written straight through, and Close writes
// the last partial block.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_SYNCBLOCKIOFILEWRITER_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_SYNCBLOCKIOFILEWRITER_H_

#include "zqfileio/BlockFileIO.h"
#include "zqfileio/FileBuffer.h"
#include "zqfileio/FileWriter.h"

class FileIOAllocator;

class SyncBlockIOFileWriter final : public FileWriter {
 public:
  // `path` is remembered for information only; Create opens. `allocator` may be null.
  SyncBlockIOFileWriter(const char* path, FileIOAllocator* allocator);
  ~SyncBlockIOFileWriter() override;

  uint32_t Create(const char* path) override;
  uint32_t Write(FileBuffer& buffer, uint64_t size) override;
  // Writes the staged bytes first, then writes at `position` from the start of the file.
  uint32_t Write(FileBuffer& buffer, int64_t position, uint64_t size);
  uint32_t Close() override;
  int64_t GetFilePos() override { return file_.getFilePointerOffset(); }

  uint32_t blockSize() const { return blockSize_; }

 private:
  uint32_t FlushStaged();

  BlockFileIO file_;
  GenericBuffer staging_;
  uint64_t staged_ = 0;
  uint32_t blockSize_ = 512;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_SYNCBLOCKIOFILEWRITER_H_
