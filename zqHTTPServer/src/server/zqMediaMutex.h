// The lock that keeps media list requests and media metadata (and log) requests from
// overlapping: each holds it for its whole request. Lock order: g_CSIMutex may be taken while
// it is held (single status reads); it is never taken while g_CSIMutex is held.
#ifndef ZQ_ZQHTTPSERVER_SRC_SERVER_ZQMEDIAMUTEX_H_
#define ZQ_ZQHTTPSERVER_SRC_SERVER_ZQMEDIAMUTEX_H_

#include <mutex>

extern std::mutex zqMediaMetadata_mutex;

#endif  // ZQ_ZQHTTPSERVER_SRC_SERVER_ZQMEDIAMUTEX_H_
