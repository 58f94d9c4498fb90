// Whether file transfers must not run now.
#ifndef ZQ_ZQHTTPSERVER_SRC_CORE_ZQBUSY_H_
#define ZQ_ZQHTTPSERVER_SRC_CORE_ZQBUSY_H_

#include <cstdint>

// The camera status values the busy test reads.
struct ZqBusyInputs {
  uint32_t recording;  // 3: 1 = recording
  uint32_t paused;     // 38
  uint32_t offload;    // 39: 1 = busy
  uint32_t transfer;   // 111: 2 = busy
  uint32_t activity;   // 30
};

// Busy when recording, or transferring, or offloading, or paused in activity 1 or 2; tested
// in that order.
bool zq_busy(const ZqBusyInputs& in);

// The busy test on the camera's current values (read from the status listener).
bool should_stop_download();

#endif  // ZQ_ZQHTTPSERVER_SRC_CORE_ZQBUSY_H_
