// Contract of the camera's file-system query: how much room a mounted file system has left.
//
// The daemon asks through this call instead of statvfs() directly, so that the simulated
// camera can report a card of any fullness (`zqsim storage free`). Any thread may call.
#ifndef ZQ_PLATFORM_INCLUDE_ZQSTORAGE_H_
#define ZQ_PLATFORM_INCLUDE_ZQSTORAGE_H_

#include <cstdint>

// `*bytes` receives the block size times the free blocks of the file system that holds
// `path`. 0 on success, negative when the file system cannot be asked (`*bytes` unchanged).
int32_t zqfs_free_bytes(const char* path, uint64_t* bytes);

#endif  // ZQ_PLATFORM_INCLUDE_ZQSTORAGE_H_
