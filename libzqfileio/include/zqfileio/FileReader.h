// Fills FileBuffers from a FileIO. Read places the requested bytes in a block-aligned window
// (so that O_DIRECT sources can serve it); Wait completes a read that may still be running.
// Results are the kFileReader* codes of FileIOResults.h.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEREADER_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEREADER_H_

#include <cstdint>

class FileBuffer;
class FileIO;

inline constexpr uint64_t kFileReaderBufferAlignment = 512;

class FileReader {
 public:
  FileReader() = default;
  virtual ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Releases the current file, then opens `path` through an owned BlockFileIO (1 when it
  // cannot be opened) and takes the path's block size.
  virtual uint32_t Open(const char* path);
  // Hints that [start, end] will be read soon (the FileIO's prepareRead); 2 when that fails.
  virtual uint32_t Cache(int64_t start, int64_t end);
  // Reads `size` bytes at `position` into `buffer` (reallocated as needed, alignment 512).
  virtual uint32_t Read(FileBuffer& buffer, int64_t position, uint64_t size) = 0;
  // Completes the read pending on `buffer`.
  virtual uint32_t Wait(FileBuffer& buffer) = 0;
  // Closes and destroys an owned FileIO; a borrowed one is left alone. Returns 0.
  virtual uint32_t Close();

  // Releases the current file, then reads through `fileIO` (borrowed, must stay open while in
  // use); block size 512. 1 when `fileIO` is null.
  uint32_t Open(FileIO* fileIO);

  FileIO* fileIO() const { return fileIO_; }
  uint32_t blockSize() const { return blockSize_; }

 protected:
  // The block-aligned layout of a request: where to read, how much, and where the requested
  // bytes start inside the buffer.
  struct BlockSpan {
    int64_t alignedPosition;
    uint64_t fullSize;
    uint64_t inBlock;
  };
  BlockSpan SpanOf(int64_t position, uint64_t size) const;
  // 1 without a file, 2 when it is not readable, else 0.
  uint32_t CheckReadable() const;
  // Prepares `buffer` for `span`; 6 when the memory cannot be had.
  uint32_t PrepareBuffer(FileBuffer& buffer, const BlockSpan& span, uint64_t size) const;

  FileIO* fileIO_ = nullptr;  // owned when ownsFileIO_
  bool ownsFileIO_ = false;
  uint32_t blockSize_ = 512;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEREADER_H_
