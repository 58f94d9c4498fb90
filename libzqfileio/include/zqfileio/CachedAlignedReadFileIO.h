// A read-only FileIO that keeps the file pointer in memory and serves reads through an
// aligned window of the file (the cache). Derived classes supply the actual positioned read
// (internalReadFromOffset). With a cache size of 0 every read goes straight to the file, so
// callers read into their own (aligned) buffers.
//
// Call initCache before openRead: deinitCache (run by close) also forgets the file size.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_CACHEDALIGNEDREADFILEIO_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_CACHEDALIGNEDREADFILEIO_H_

#include <cstdint>

#include "zqfileio/FileIO.h"

class CachedAlignedReadFileIO : public FileIO {
 public:
  ~CachedAlignedReadFileIO() override;

  uint32_t openWrite(const char* path, uint32_t style) override;      // 3
  uint32_t openReadWrite(const char* path, uint32_t style) override;  // 3
  // Loads [start rounded down to 512, min(end, file size)) into the window, keeping what the
  // window already holds. 3 without a window or when start lies at or past the end; 1 when
  // `end` lies past the end of the file (the part up to the end is loaded); else 0.
  uint32_t prepareRead(int64_t start, int64_t end) override;
  // At the stored file pointer.
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead) override;
  // From the window when it covers the range, else refills the window (when the request fits
  // the cache) or reads directly. A range passing the end of the file is cut there and
  // returns 1 with the bytes delivered; a start at or past the end returns 3.
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead,
                int64_t offsetFromStart) override;
  uint32_t write(const void* buffer, uint64_t length) override;                           // 3
  uint32_t write(const void* buffer, uint64_t length, int64_t offsetFromStart) override;  // 3
  int64_t getFilePointerOffset() override;
  // 1 adds to the pointer, 2 sets it from the end, anything else sets it; never validated.
  uint32_t setFilePointerOffset(int64_t offset, uint32_t method) override;
  bool canRead() override { return true; }
  bool canWrite() override { return false; }
  // The size recorded at open.
  uint32_t getFileSize(int64_t* size) override;

  virtual uint64_t getCacheSize();
  // Sets up the window: `alignment` must be a power of two of at least 2 (else 3). With a
  // cache size of 0 or an `externalBuffer` (borrowed; at least cacheSize bytes, aligned)
  // nothing is allocated. Returns 0.
  virtual uint32_t initCache(uint64_t cacheSize, uint64_t alignment, void* externalBuffer);
  // Frees the window and forgets pointer, cache size, alignment and file size.
  virtual uint32_t deinitCache();
  // One positioned read of the underlying file into `buffer`; 0, or 3 when nothing came.
  virtual uint32_t internalReadFromOffset(void* buffer, uint64_t length, uint64_t* bytesRead,
                                          int64_t offset) = 0;

 protected:
  int64_t fileSize_ = 0;
  uint64_t cacheSize_ = 0;
  int64_t windowStart_ = 0;
  uint64_t windowLength_ = 0;
  int64_t filePointer_ = 0;
  uint8_t* window_ = nullptr;     // aligned window memory (owned through rawWindow_ or not)
  uint8_t* rawWindow_ = nullptr;  // owned allocation; null when the caller supplied it
  uint64_t alignment_ = 0;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_CACHEDALIGNEDREADFILEIO_H_
