#include "zqfileio/BlockFileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "zqfileio/FileIOResults.h"

uint32_t BlockFileIO::getFileSystemBlockSize(const char* path, uint32_t* blockSize) {
  if (path == nullptr) return kFIOFailure;
  if (blockSize == nullptr) return 0;
  *blockSize = kDefaultFileSystemBlockSize;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat st = {};
  if (fstat(fd, &st) == 0 && st.st_blksize > 0) *blockSize = static_cast<uint32_t>(st.st_blksize);
  ::close(fd);
  return 0;
}

uint32_t BlockFileIO::openRead(const char* path) {
  uint32_t probe = getFileSystemBlockSize(path, &blockSize_);
  if (probe != 0) return probe;
  return FileIO::openRead(path);
}

uint32_t BlockFileIO::openWrite(const char* path, uint32_t style) {
  uint32_t probe = getFileSystemBlockSize(path, &blockSize_);
  if (probe != 0) return probe;
  return FileIO::openWrite(path, style);
}

uint32_t BlockFileIO::openReadWrite(const char* path, uint32_t style) {
  uint32_t probe = getFileSystemBlockSize(path, &blockSize_);
  if (probe != 0) return probe;
  return FileIO::openReadWrite(path, style);
}

uint32_t BlockFileIO::ForgiveShortRead(uint32_t result, uint64_t length, uint64_t got) const {
  // A block-rounded read that ends inside the file's last block is complete as far as the
  // caller is concerned.
  if (result == kFIOIncomplete && got > 0 && got + blockSize_ > length) return 0;
  return result;
}

uint32_t BlockFileIO::read(void* buffer, uint64_t length, uint64_t* bytesRead) {
  uint64_t got = 0;
  uint32_t result = FileIO::read(buffer, length, &got);
  if (bytesRead != nullptr) *bytesRead = got;
  return ForgiveShortRead(result, length, got);
}

uint32_t BlockFileIO::read(void* buffer, uint64_t length, uint64_t* bytesRead,
                           int64_t offsetFromStart) {
  uint64_t got = 0;
  uint32_t result = FileIO::read(buffer, length, &got, offsetFromStart);
  if (bytesRead != nullptr) *bytesRead = got;
  return ForgiveShortRead(result, length, got);
}
