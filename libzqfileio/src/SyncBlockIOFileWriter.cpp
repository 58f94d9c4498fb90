#include "zqfileio/SyncBlockIOFileWriter.h"

#include <algorithm>
#include <cstring>

#include "zqfileio/FileIOResults.h"

SyncBlockIOFileWriter::SyncBlockIOFileWriter(const char*, FileIOAllocator* allocator)
    : staging_(allocator) {}

SyncBlockIOFileWriter::~SyncBlockIOFileWriter() { Close(); }

uint32_t SyncBlockIOFileWriter::Create(const char* path) {
  if (BlockFileIO::getFileSystemBlockSize(path, &blockSize_) != 0) return kFileWriterCreateFailed;
  if (blockSize_ == 0) blockSize_ = 512;
  if (staging_.Alloc(blockSize_, 512) != 0) return kFileWriterAllocFailed;
  staged_ = 0;
  return file_.openWrite(path, kFIOWriteTruncate) == 0 ? 0 : kFileWriterCreateFailed;
}

uint32_t SyncBlockIOFileWriter::Write(FileBuffer& buffer, uint64_t size) {
  if (!file_.canWrite()) return kFileWriterNotWritable;
  if (size > buffer.DataSize()) return kFileWriterWriteError;
  const uint8_t* p = buffer.Data();
  uint64_t left = size;
  if (staged_ > 0) {
    uint64_t take = std::min<uint64_t>(left, blockSize_ - staged_);
    memcpy(staging_.Memory() + staged_, p, take);
    staged_ += take;
    p += take;
    left -= take;
    if (staged_ < blockSize_) return 0;
    if (file_.write(staging_.Memory(), blockSize_) != 0) return kFileWriterWriteError;
    staged_ = 0;
  }
  uint64_t whole = left / blockSize_ * blockSize_;
  if (whole > 0) {
    if (file_.write(p, whole) != 0) return kFileWriterWriteError;
    p += whole;
    left -= whole;
  }
  if (left > 0) {
    memcpy(staging_.Memory(), p, left);
    staged_ = left;
  }
  return 0;
}

uint32_t SyncBlockIOFileWriter::FlushStaged() {
  if (staged_ == 0) return 0;
  uint32_t result = file_.write(staging_.Memory(), staged_) == 0 ? 0 : kFileWriterWriteError;
  staged_ = 0;
  return result;
}

uint32_t SyncBlockIOFileWriter::Write(FileBuffer& buffer, int64_t position, uint64_t size) {
  if (!file_.canWrite()) return kFileWriterNotWritable;
  // Staged bytes belong before the jump; write them where they were meant to go first.
  if (FlushStaged() != 0) return kFileWriterWriteError;
  if (file_.setFilePointerOffset(position, kFIOFromStart) != 0) return kFileWriterWriteError;
  return Write(buffer, size);
}

uint32_t SyncBlockIOFileWriter::Close() {
  if (!file_.isOpen()) return 0;
  uint32_t result = FlushStaged();
  file_.close();
  staging_.Release();
  return result;
}
