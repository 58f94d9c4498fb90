// "/zq/zqCamera": the legacy command relay to the camera process, through the network service.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCAMERA_ZQCAMERA_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCAMERA_ZQCAMERA_H_

#include "http/zqAnswer.h"
#include "http/zqRequest.h"

// Relays the command to DST "/to_camera" (see zqmodkit/zqRelay.h).
ZqAnswer zqCamera(ZqRequest& request);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCAMERA_ZQCAMERA_H_
