// Whether the camera model has extended memory: decided once by start-up, read by the media
// handlers to choose their MP4 file I/O.
#ifndef ZQ_ZQHTTPSERVER_SRC_CORE_ZQEXTENDEDMEMORY_H_
#define ZQ_ZQHTTPSERVER_SRC_CORE_ZQEXTENDEDMEMORY_H_

#include <cstdint>

// 1 when the camera model supports extended memory, else 0. Written once by start-up before
// the server runs (server/zqStartup.h get_memory_support), read-only afterwards.
extern uint32_t g_extendedMemory;

#endif  // ZQ_ZQHTTPSERVER_SRC_CORE_ZQEXTENDEDMEMORY_H_
