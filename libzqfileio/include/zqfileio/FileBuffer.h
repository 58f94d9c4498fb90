// A read (or write) window over a file: block-aligned memory whose data begins `dataOffset`
// bytes in, with a cursor that format readers and writers (the MP4 atoms) advance.
//
//   memory: [ ..dataOffset.. | data (dataSize bytes) ......... | padding to fullSize ]
//                            ^ cursor counts from here; cursor + remaining == dataSize
//
// Readers fill it through a FileReader; parsers read and write at Current(). Not thread safe.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEBUFFER_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEBUFFER_H_

#include <cstddef>
#include <cstdint>

#include "zqfileio/GenericBuffer.h"

class FileBuffer : public GenericBuffer {
 public:
  explicit FileBuffer(FileIOAllocator* allocator = nullptr) : GenericBuffer(allocator) {}

  // Allocates `size` bytes (alignment as given) and makes them the data: offset 0, cursor 0,
  // data size `size`. Returns GenericBuffer::Alloc's code.
  uint32_t AllocData(size_t size, size_t alignment = 0);
  // Borrows `size` bytes at `memory` as the data (for parsing bytes already in memory).
  uint32_t AdoptData(void* memory, size_t size);

  // Sets the layout after a block read: data at `dataOffset`, `fullSize` bytes of memory in
  // use, `dataSize` valid data bytes, cursor 0. The caller guarantees the memory is at least
  // dataOffset + dataSize bytes.
  void SetLayout(size_t dataOffset, size_t fullSize, size_t dataSize);

  uint8_t* Data() const { return Memory() + dataOffset_; }
  uint8_t* Current() const { return Data() + cursor_; }
  size_t DataOffset() const { return dataOffset_; }
  size_t FullSize() const { return fullSize_; }
  size_t DataSize() const { return dataSize_; }
  size_t Cursor() const { return cursor_; }
  size_t Remaining() const { return remaining_; }

  // Moves the cursor to `cursor` (at most the data size).
  void SetCursor(size_t cursor);
  // Advances the cursor by `n` (at most the remaining bytes).
  void Advance(size_t n) { SetCursor(cursor_ + n); }
  // Changes the number of valid data bytes (at most what the memory holds past the data
  // offset); the cursor is kept within it.
  void SetDataSize(size_t dataSize);

 private:
  size_t dataOffset_ = 0;
  size_t fullSize_ = 0;
  size_t cursor_ = 0;
  size_t remaining_ = 0;
  size_t dataSize_ = 0;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEBUFFER_H_
