// The byte-level file interface of the media libraries: every byte the MP4 library or the JPEG
// reader reads or writes passes through a FileIO, so that readers and writers work the same
// over a plain file, an O_DIRECT file, memory, or an HTTP chunked response.
//
// This class is also the plain implementation over a POSIX descriptor. Every operation
// returns kFIOSuccess (0), kFIOIncomplete (1: fewer bytes moved than asked) or kFIOFailure (3:
// not open in the needed direction, open or seek failed, unsupported, bad argument).
// An object is used by one thread at a time. It owns its descriptor (closed on destruction).
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEIO_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEIO_H_

#include <cstdint>

#include "zqfileio/FileIOResults.h"

// How openWrite opens (mode 0777 before the umask in every case).
enum FIO_OpenWriteStyle : uint32_t {
  kFIOWriteAppend = 0,    // write-only, create, append
  kFIOWriteTruncate = 1,  // write-only, create, truncate
  kFIOWriteKeep = 2,      // any other value: create, keep the bytes, write from offset 0
};

// Origin of setFilePointerOffset.
enum FIO_SetFPosMethod : uint32_t {
  kFIOFromStart = 0,
  kFIOFromCurrent = 1,
  kFIOFromEnd = 2,
};

class FileIO {
 public:
  FileIO() = default;
  virtual ~FileIO();
  FileIO(const FileIO&) = delete;
  FileIO& operator=(const FileIO&) = delete;

  // Opens read-only (closing first when open).
  virtual uint32_t openRead(const char* path);
  virtual uint32_t openWrite(const char* path, uint32_t style);
  // Not supported by the plain file: 3.
  virtual uint32_t openReadWrite(const char* path, uint32_t style);
  // Closes the descriptor and clears the flags. Returns 0.
  virtual uint32_t close();
  // A read-ahead hint for the byte range [start, end]. The plain file ignores it (0).
  virtual uint32_t prepareRead(int64_t start, int64_t end);
  // One read at the current position; 0 only when exactly `length` bytes came.
  virtual uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead);
  // Seeks to `offsetFromStart` (3 on failure), then reads as above.
  virtual uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead,
                        int64_t offsetFromStart);
  // One write at the current position; 0 when every byte was taken, else 1.
  virtual uint32_t write(const void* buffer, uint64_t length);
  virtual uint32_t write(const void* buffer, uint64_t length, int64_t offsetFromStart);
  // The current position, -1 on error.
  virtual int64_t getFilePointerOffset();
  virtual uint32_t setFilePointerOffset(int64_t offset, uint32_t method);
  virtual bool canRead();
  virtual bool canWrite();
  // The file's size; the position is kept.
  virtual uint32_t getFileSize(int64_t* size);

  bool isOpen() const { return isOpen_; }
  int32_t descriptor() const { return fd_; }

 protected:
  bool isOpen_ = false;
  bool canRead_ = false;
  bool canWrite_ = false;
  int32_t fd_ = 0;  // 0 while closed, as callers of this interface expect
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEIO_H_
