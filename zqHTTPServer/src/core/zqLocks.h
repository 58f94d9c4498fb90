// Every process-wide lock of the daemon, in the one order in which they may nest: each is
// declared ACQUIRED_AFTER the one above it, so a Clang build (-Wthread-safety-beta) refuses a
// lock taken while a lock further down the list is held. A lock may be taken alone, or under
// any lock above it; never under one below it.
//
//   g_openApiMutex        one Open API request at a time ("/tavro"); guards its shared state
//                         (the streaming helper it started).
//   g_accessMutex         one control request at a time (the control dispatcher, and Open API
//                         requests that run control handlers); guards the control registry.
//   g_webcamMutex         one webcam command at a time, both faces (held through ZqWebcamLock).
//   g_mediaMetadataMutex  media list and media metadata requests never overlap: each holds it
//                         for its whole answer, a streamed body included.
//   g_pagedListMutex      one paged list of the media database at a time (it scans nothing, so
//                         it does not wait behind the media list and metadata requests).
//   g_mediaOpMutex        one media operation (delete, chapter removal, ...) at a time.
//   g_relayMutex          one legacy relay exchange at a time (they share one reply mailbox).
//   g_recordingStatusMutex  one refresh of the cached recording flag at a time (try-lock).
//   g_CSIMutex            camera status reads and writes that must agree, the whole of a
//                         control request, the listener's start and the Host-address
//                         derivation of the access check.
//   g_cardReadMutex       one read of the card at a time by the file sender (downloads).
//   g_clientsMutex        the registry of connections the workers hold, and its watchdog.
//   g_clientsLogMutex     the registry's log throttle (one error line a second).
#ifndef ZQ_ZQHTTPSERVER_SRC_CORE_ZQLOCKS_H_
#define ZQ_ZQHTTPSERVER_SRC_CORE_ZQLOCKS_H_

#include "zqcommon/zqMutex.h"

extern ZqMutex g_openApiMutex;
extern ZqMutex g_accessMutex ACQUIRED_AFTER(g_openApiMutex);
extern ZqMutex g_webcamMutex ACQUIRED_AFTER(g_accessMutex);
extern ZqMutex g_mediaMetadataMutex ACQUIRED_AFTER(g_webcamMutex);
extern ZqMutex g_pagedListMutex ACQUIRED_AFTER(g_mediaMetadataMutex);
extern ZqMutex g_mediaOpMutex ACQUIRED_AFTER(g_pagedListMutex);
extern ZqMutex g_relayMutex ACQUIRED_AFTER(g_mediaOpMutex);
extern ZqMutex g_recordingStatusMutex ACQUIRED_AFTER(g_relayMutex);
extern ZqMutex g_CSIMutex ACQUIRED_AFTER(g_recordingStatusMutex);
extern ZqMutex g_cardReadMutex ACQUIRED_AFTER(g_CSIMutex);
extern ZqMutex g_clientsMutex ACQUIRED_AFTER(g_cardReadMutex);
extern ZqMutex g_clientsLogMutex ACQUIRED_AFTER(g_clientsMutex);

// The control interface's two locks for a scope, in their order: what a control handler runs
// under (the control dispatcher, and Open API requests that call control handlers).
class SCOPED_CAPABILITY ZqControlLocks {
 public:
  ZqControlLocks() ACQUIRE(g_accessMutex, g_CSIMutex) {
    g_accessMutex.Lock();
    g_CSIMutex.Lock();
  }
  ~ZqControlLocks() RELEASE() {
    g_CSIMutex.Unlock();
    g_accessMutex.Unlock();
  }
  ZqControlLocks(const ZqControlLocks&) = delete;
  ZqControlLocks& operator=(const ZqControlLocks&) = delete;
};

#endif  // ZQ_ZQHTTPSERVER_SRC_CORE_ZQLOCKS_H_
