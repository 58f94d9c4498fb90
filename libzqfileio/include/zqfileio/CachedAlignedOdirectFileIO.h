// The cached aligned reader over a file opened with O_DIRECT, so that reading a long
// recording does not fill the page cache.
//
// O_DIRECT wants the memory, the offset and the length aligned to the device's logical
// block. Requests that are not aligned go through an aligned bounce buffer; when the file
// system refuses O_DIRECT altogether (tmpfs, for one) the file is read without it.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_CACHEDALIGNEDODIRECTFILEIO_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_CACHEDALIGNEDODIRECTFILEIO_H_

#include "zqfileio/CachedAlignedReadFileIO.h"

class CachedAlignedOdirectFileIO final : public CachedAlignedReadFileIO {
 public:
  // Sets up the cache right away when cacheSize is non-zero and alignment is above 1.
  CachedAlignedOdirectFileIO(uint64_t cacheSize, uint64_t alignment);
  ~CachedAlignedOdirectFileIO() override;

  // Opens read-only with O_DIRECT and records the file size. Prints "error opening file %s\n"
  // and returns 3 when the open fails.
  uint32_t openRead(const char* path) override;
  // Closes the descriptor, then deinitCache(). Returns 0.
  uint32_t close() override;
  uint32_t internalReadFromOffset(void* buffer, uint64_t length, uint64_t* bytesRead,
                                  int64_t offset) override;

  // Whether the open file is being read with O_DIRECT (false after a fallback).
  bool usesDirectIO() const { return direct_; }

 private:
  int64_t DirectRead(void* buffer, uint64_t length, int64_t offset);

  int32_t odirectFd_ = -1;
  bool direct_ = false;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_CACHEDALIGNEDODIRECTFILEIO_H_
