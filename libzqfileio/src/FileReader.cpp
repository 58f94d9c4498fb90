#include "zqfileio/FileReader.h"

#include "zqfileio/BlockFileIO.h"
#include "zqfileio/FileBuffer.h"
#include "zqfileio/FileIOResults.h"

namespace {

// Larger requests cannot be block-rounded without overflow and could never be allocated.
constexpr uint64_t kMaxRequest = 1ull << 62;

}  // namespace

FileReader::~FileReader() { FileReader::Close(); }

uint32_t FileReader::Open(const char* path) {
  Close();
  auto* file = new BlockFileIO();
  if (file->openRead(path) != 0) {
    delete file;
    return kFileReaderNoFile;
  }
  fileIO_ = file;
  ownsFileIO_ = true;
  BlockFileIO::getFileSystemBlockSize(path, &blockSize_);
  if (blockSize_ == 0) blockSize_ = 512;
  return 0;
}

uint32_t FileReader::Open(FileIO* fileIO) {
  Close();
  if (fileIO == nullptr) return kFileReaderNoFile;
  fileIO_ = fileIO;
  ownsFileIO_ = false;
  blockSize_ = 512;
  return 0;
}

uint32_t FileReader::Cache(int64_t start, int64_t end) {
  uint32_t check = CheckReadable();
  if (check != 0) return check;
  return fileIO_->prepareRead(start, end) == 0 ? 0 : kFileReaderNotReadable;
}

uint32_t FileReader::Close() {
  if (fileIO_ != nullptr && ownsFileIO_) {
    fileIO_->close();
    delete fileIO_;
  }
  fileIO_ = nullptr;
  ownsFileIO_ = false;
  return 0;
}

FileReader::BlockSpan FileReader::SpanOf(int64_t position, uint64_t size) const {
  uint64_t block = blockSize_ != 0 ? blockSize_ : 512;
  uint64_t pos = position > 0 ? static_cast<uint64_t>(position) : 0;
  uint64_t inBlock = pos % block;
  uint64_t full = (inBlock + size + block - 1) / block * block;
  return {static_cast<int64_t>(pos - inBlock), full, inBlock};
}

uint32_t FileReader::CheckReadable() const {
  if (fileIO_ == nullptr) return kFileReaderNoFile;
  if (!fileIO_->canRead()) return kFileReaderNotReadable;
  return 0;
}

uint32_t FileReader::PrepareBuffer(FileBuffer& buffer, const BlockSpan& span, uint64_t size) const {
  if (size > kMaxRequest || buffer.Alloc(span.fullSize, kFileReaderBufferAlignment) != 0) {
    buffer.SetLayout(0, 0, 0);
    return kFileReaderAllocFailed;
  }
  buffer.SetLayout(span.inBlock, span.fullSize, size);
  return 0;
}
