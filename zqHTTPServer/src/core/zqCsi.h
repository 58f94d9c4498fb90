// The daemon's side of the camera-status library: the status ids it uses and the listener.
// Status reads and writes that must agree hold g_CSIMutex (core/zqLocks.h).
#ifndef ZQ_ZQHTTPSERVER_SRC_CORE_ZQCSI_H_
#define ZQ_ZQHTTPSERVER_SRC_CORE_ZQCSI_H_

#include <cstdint>

#include "core/zqLocks.h"

// Status ids the daemon reads or writes.
enum ZqCsiId : int32_t {
  CSI_IDENTITY = 0,
  CSI_RECORDING = 3,
  CSI_ST_ACTIVITY = 30,
  CSI_ST_PAUSED = 38,
  CSI_OFFLOAD_STATE = 39,
  CSI_CLIENT_INFO = 87,
  CSI_ANALYTICS_SOURCE = 92,
  CSI_ACCESS_MODE = 103,
  CSI_TRANSFER_STATE = 111,
  CSI_LOGGING_FLAGS = 123,
  CSI_NEW_MEDIA_AVAIL = -128,
  CSI_FW_FORCE_UPDATE = -120,
  CSI_MODEL_NUMBER = -111,  // 145: the camera's model number, 4 bytes
  CSI_LINUX_CORE_BOOST = -118,
};

// Starts the status listener once per process (at the first request's access check): takes
// g_CSIMutex, connects the listener as "/to_zqhttp" and registers the ids the daemon follows.
void init_csi_monitor() EXCLUDES(g_CSIMutex);

// The listener's latest value of `id` (0..255), or `preset` when there is none.
uint32_t zq_csi_value(uint32_t id, uint32_t preset);

#endif  // ZQ_ZQHTTPSERVER_SRC_CORE_ZQCSI_H_
