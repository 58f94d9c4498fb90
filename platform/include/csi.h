// Contract of the camera-status library: shared status values named by an 8-bit id.
//
// Ids from 128 on travel as the sign-extended byte: id 138 is passed as -118. Any thread may
// call; the daemon serialises with g_CSIMutex where it needs several values to agree.
#ifndef ZQ_PLATFORM_INCLUDE_CSI_H_
#define ZQ_PLATFORM_INCLUDE_CSI_H_

#include <cstdint>

// Copies up to `size` bytes of value `id` into `value`; `*len` receives the stored size
// (callers may pass a scratch variable). 0 on success.
int32_t csi_get(int32_t id, uint32_t size, uint32_t* len, void* value);

// Stores `size` bytes as value `id`. 0 on success.
int32_t csi_set(int32_t id, const void* value, uint32_t size);

// The id as the library expects it: 0..127 unchanged, 128..255 as the sign-extended byte.
constexpr int32_t csi_id(int id) { return static_cast<int8_t>(static_cast<uint8_t>(id)); }

#endif  // ZQ_PLATFORM_INCLUDE_CSI_H_
