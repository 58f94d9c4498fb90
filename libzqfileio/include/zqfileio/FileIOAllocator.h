// Memory provider that a user of the library may hand to buffers and writers instead of the
// C library's allocator (for example a pool reserved at start-up). The daemon itself always
// passes none.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEIOALLOCATOR_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEIOALLOCATOR_H_

#include <cstddef>

class FileIOAllocator {
 public:
  virtual ~FileIOAllocator() = default;
  // Each returns null on failure.
  virtual void* Alloc(size_t size) = 0;
  virtual void Free(void* pointer) = 0;
  // `alignment` is a power of two.
  virtual void* AllocAligned(size_t size, size_t alignment) = 0;
  virtual void FreeAligned(void* pointer) = 0;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEIOALLOCATOR_H_
