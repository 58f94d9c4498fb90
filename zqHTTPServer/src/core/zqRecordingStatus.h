// A cached view of whether the camera is recording, for code that asks often (the media list
// asks before every folder it scans).
#ifndef ZQ_ZQHTTPSERVER_SRC_CORE_ZQRECORDINGSTATUS_H_
#define ZQ_ZQHTTPSERVER_SRC_CORE_ZQRECORDINGSTATUS_H_

#include <cstdint>

// Refreshes the cached flag from the camera status (CSI_RECORDING, under g_CSIMutex) unless
// it was read less than 500 ms ago; `force` refreshes regardless. Returns 1 when refreshed,
// 0 when not (too soon, or another thread is refreshing right now: callers never queue), and
// 255 when the status could not be read.
uint8_t UTILS_UpdateRecordingStatus(bool force);

// The cached flag: 1 while the camera records, else 0.
uint8_t UTILS_GetRecordingStatus();

#endif  // ZQ_ZQHTTPSERVER_SRC_CORE_ZQRECORDINGSTATUS_H_
