// The Open API under "/tavro": one handler for every path below the prefix. It finds the
// endpoint whose text is the longest prefix of the request path, lets it answer, and answers
// 404 with "{}\n" for a path no endpoint serves.
//
// Requests are answered one at a time (one Open API mutex), with the control-service interface
// open around the endpoint. The endpoints' shared state (the camera model, its settings
// filter, the streaming helper's process id) is made on the first request, not before: the
// camera must be up first.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQTAVRO_ZQOPENTAVRO_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQTAVRO_ZQOPENTAVRO_H_

#include "http/zqAnswer.h"
#include "http/zqRequest.h"

// The camera path of the streaming helper the stream endpoint starts.
inline constexpr char kZqStreamHelperPath[] = "/usr/local/tavro/bin/zqStreamVerse";

ZqAnswer zqOpenTavroHandler(ZqRequest& request);

// Stops the streaming helper the stream endpoint started, if it still runs, as the stop
// endpoint does (SIGHUP, then SIGKILL, reaped). Called once at exit, after the server's
// workers have ended; waits for a request that still holds the Open API mutex.
void zqOpenTavroStop();

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQTAVRO_ZQOPENTAVRO_H_
