// "/zq/zqCamera": the legacy command relay to the camera process, through the network service.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCAMERA_ZQCAMERA_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCAMERA_ZQCAMERA_H_

struct mg_connection;

// Relays the command to DST "/to_camera" (see zqmodkit/zqRelay.h). Returns 1.
int zqCameraHandler(mg_connection* conn, void* cbdata);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCAMERA_ZQCAMERA_H_
