// Contract of the camera's IPC library: whole request and reply messages exchanged with a
// named service of the real-time processor (the media database is "rtos_media_db").
//
// A handle is one open endpoint, used by one thread at a time; every open is closed with
// zqIpcDestroy. Messages are at most kZqIpcMaxMessage bytes and arrive whole.
#ifndef ZQ_PLATFORM_INCLUDE_ZQIPC_H_
#define ZQ_PLATFORM_INCLUDE_ZQIPC_H_

#include <cstdint>

inline constexpr uint32_t kZqIpcMaxMessage = 1500;

struct zqIpcHandle {
  // The endpoint's socket: callers set its receive time-out (SO_RCVTIMEO) before receiving.
  int fd;
  uint32_t reserved[3];
};

// Opens the endpoint of service `name` into `*handle`. Negative on failure (the handle is then
// closed).
int32_t zqIpcInit(const char* name, zqIpcHandle* handle);

// Sends one message of `length` bytes (at most kZqIpcMaxMessage). Negative on failure.
int32_t zqIpcSend(zqIpcHandle* handle, const void* bytes, uint32_t length);

// Receives one whole message into `buffer` (kZqIpcMaxMessage bytes). Returns its length, or a
// negative value on failure or when the receive time-out passes.
int32_t zqIpcReceive(zqIpcHandle* handle, void* buffer);

// Closes the endpoint. Safe on a handle whose zqIpcInit failed.
int32_t zqIpcDestroy(zqIpcHandle* handle);

#endif  // ZQ_PLATFORM_INCLUDE_ZQIPC_H_
