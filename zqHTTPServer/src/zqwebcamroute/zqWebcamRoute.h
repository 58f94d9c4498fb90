// Webcam mode over HTTP: the "/zq/zqWebcam/NAME" route and the Open API's "webcam/..." face,
// thin answers over the webcam library (libzqWebcam), which hands each command to the camera's
// webcam process and waits for its reply.
//
// Locking: each face takes the webcam mutex exactly once, by constructing a ZqWebcamLock at its
// entry (zqWebcam for the route; zqwebcam_openapi for the Open API face, which its caller runs
// under the Open API mutex). Nothing below those entries locks it again, so the Open API's
// checked start runs the plain start inside the same lock. A camera status write holds
// g_CSIMutex only around csi_set. Lock order: Open API mutex, webcam mutex, g_CSIMutex.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQWEBCAMROUTE_ZQWEBCAMROUTE_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQWEBCAMROUTE_ZQWEBCAMROUTE_H_

#include <string_view>

#include "http/zqAnswer.h"
#include "http/zqRequest.h"
#include "zqwebcam/zqWebcam.h"

// "/zq/zqWebcam/NAME": START, STARTLTP, PREVIEW, PREVIEWLTP, STOP, STATUS, SETTINGS, VERSION,
// EXIT (exact, case-sensitive); any other name is 404 "{}\n". Takes the webcam mutex.
ZqAnswer zqWebcam(ZqRequest& request);

// The Open API face: `sub_path` is the path after "webcam/" ("start", "stop", "preview",
// "status", "version", "exit"). "start" checks "res=" and "fov=" against the settings `filter`
// (nullptr: no filter, answered 500 with error 7); stop, preview, version and exit refuse any
// query with 400 "{}"; a name not listed here is 404 "{}\n". The caller holds the Open API
// mutex; this takes the webcam mutex.
ZqAnswer zqwebcam_openapi(std::string_view sub_path, ZqRequest& request,
                          const ZqWebcamFilter* filter);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQWEBCAMROUTE_ZQWEBCAMROUTE_H_
