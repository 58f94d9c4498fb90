#include "zqfileio/GenericBuffer.h"

#include <cstdlib>

#include "zqfileio/FileIOAllocator.h"

GenericBuffer::~GenericBuffer() { Release(); }

uint32_t GenericBuffer::Alloc(size_t size, size_t alignment, void* externalMemory) {
  if (size == 0) return memory_ == nullptr ? 0 : 1;
  if (memory_ != nullptr && !external_ && externalMemory == nullptr && size_ >= size &&
      alignment_ >= alignment && (alignment == 0 || alignment_ % alignment == 0)) {
    return 0;
  }
  Release();
  if (externalMemory != nullptr) {
    memory_ = static_cast<uint8_t*>(externalMemory);
    external_ = true;
  } else if (allocator_ != nullptr) {
    memory_ = static_cast<uint8_t*>(alignment != 0 ? allocator_->AllocAligned(size, alignment)
                                                   : allocator_->Alloc(size));
  } else if (alignment != 0) {
    void* p = nullptr;
    size_t a = alignment < sizeof(void*) ? sizeof(void*) : alignment;
    if (posix_memalign(&p, a, size) == 0) memory_ = static_cast<uint8_t*>(p);
  } else {
    memory_ = static_cast<uint8_t*>(malloc(size));
  }
  if (memory_ == nullptr) {
    Release();
    return 1;
  }
  size_ = size;
  alignment_ = alignment;
  return 0;
}

uint32_t GenericBuffer::Release() {
  if (memory_ != nullptr && !external_) {
    if (allocator_ != nullptr) {
      if (alignment_ != 0) {
        allocator_->FreeAligned(memory_);
      } else {
        allocator_->Free(memory_);
      }
    } else {
      free(memory_);
    }
  }
  memory_ = nullptr;
  size_ = 0;
  alignment_ = 0;
  external_ = false;
  return 0;
}
