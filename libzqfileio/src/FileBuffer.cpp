#include "zqfileio/FileBuffer.h"

#include <algorithm>

uint32_t FileBuffer::AllocData(size_t size, size_t alignment) {
  uint32_t result = Alloc(size, alignment);
  if (result != 0) {
    SetLayout(0, 0, 0);
    return result;
  }
  SetLayout(0, size, size);
  return 0;
}

uint32_t FileBuffer::AdoptData(void* memory, size_t size) {
  Release();
  if (size == 0 || memory == nullptr) {
    SetLayout(0, 0, 0);
    return 0;
  }
  uint32_t result = Alloc(size, 0, memory);
  SetLayout(0, result == 0 ? size : 0, result == 0 ? size : 0);
  return result;
}

void FileBuffer::SetLayout(size_t dataOffset, size_t fullSize, size_t dataSize) {
  dataOffset_ = dataOffset;
  fullSize_ = fullSize;
  dataSize_ = dataSize;
  cursor_ = 0;
  remaining_ = dataSize;
}

void FileBuffer::SetCursor(size_t cursor) {
  cursor_ = std::min(cursor, dataSize_);
  remaining_ = dataSize_ - cursor_;
}

void FileBuffer::SetDataSize(size_t dataSize) {
  size_t room = MemorySize() > dataOffset_ ? MemorySize() - dataOffset_ : 0;
  dataSize_ = std::min(dataSize, room);
  SetCursor(cursor_);
}
