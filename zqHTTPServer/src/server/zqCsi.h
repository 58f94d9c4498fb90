// The daemon's side of the camera-status library: the status mutex and the listener, and the
// locks of the control interface that are taken with it.
//
// Lock order: g_accessMutex before g_CSIMutex.
//   g_accessMutex         one control request at a time (the control dispatcher, and the Open
//                         API's analytics requests); guards the control registry.
//   g_CSIMutex            the listener start, the Host-address derivation of the access check,
//                         the whole of a control request, and the single status reads and
//                         writes that several handlers make. The access check takes it alone
//                         and never inside a control request.
#ifndef ZQ_ZQHTTPSERVER_SRC_SERVER_ZQCSI_H_
#define ZQ_ZQHTTPSERVER_SRC_SERVER_ZQCSI_H_

#include <cstdint>
#include <mutex>

extern std::mutex g_accessMutex;
extern std::mutex g_CSIMutex;

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
void init_csi_monitor();

// The listener's latest value of `id` (0..255), or `preset` when there is none.
uint32_t zq_csi_value(uint32_t id, uint32_t preset);

#endif  // ZQ_ZQHTTPSERVER_SRC_SERVER_ZQCSI_H_
