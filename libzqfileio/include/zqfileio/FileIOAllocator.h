// Memory provider that a user of the library may hand to buffers and writers instead of the
// C library's allocator (for example a pool reserved at start-up). The daemon itself always
// passes none.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64IALLOCATOR_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64IALLOCATOR_H_

#include <cstddef>

class QuickTime64IAllocator {
 public:
  virtual ~QuickTime64IAllocator() = default;
  // Each returns null on failure.
  virtual void* Alloc(size_t size) = 0;
  virtual void Free(void* pointer) = 0;
  // `alignment` is a power of two.
  virtual void* AllocAligned(size_t size, size_t alignment) = 0;
  virtual void FreeAligned(void* pointer) = 0;
};

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64IALLOCATOR_H_
