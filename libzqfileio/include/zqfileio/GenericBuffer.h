// A block of memory, owned or borrowed, optionally aligned and optionally obtained from a
// caller's allocator. Not thread safe. Move-only: the memory has one owner.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_GENERICBUFFER_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_GENERICBUFFER_H_

#include <cstddef>
#include <cstdint>

class FileIOAllocator;

class GenericBuffer {
 public:
  // `allocator` (may be null) is not owned and must outlive the buffer.
  explicit GenericBuffer(FileIOAllocator* allocator = nullptr) : allocator_(allocator) {}
  virtual ~GenericBuffer();
  GenericBuffer(const GenericBuffer&) = delete;
  GenericBuffer& operator=(const GenericBuffer&) = delete;

  // Makes at least `size` bytes available, aligned to `alignment` (0 = none, else a power of
  // two). With `externalMemory` the buffer borrows that memory (never freed here; the caller
  // vouches for size and alignment). Memory already held that is owned, large enough and
  // aligned enough is reused; otherwise it is released first. Size 0 is valid only while no
  // memory is held. Returns 0, or 1 when the memory cannot be had (the buffer is then empty).
  uint32_t Alloc(size_t size, size_t alignment = 0, void* externalMemory = nullptr);
  // Frees owned memory and clears the fields. Returns 0.
  uint32_t Release();

  uint8_t* Memory() const { return memory_; }
  size_t MemorySize() const { return size_; }
  size_t Alignment() const { return alignment_; }
  bool IsExternal() const { return external_; }
  FileIOAllocator* Allocator() const { return allocator_; }

 private:
  uint8_t* memory_ = nullptr;
  size_t size_ = 0;
  size_t alignment_ = 0;
  bool external_ = false;
  FileIOAllocator* allocator_;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_GENERICBUFFER_H_
