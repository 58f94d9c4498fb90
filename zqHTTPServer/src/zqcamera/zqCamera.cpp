#include "zqcamera/zqCamera.h"

#include "server/zqResponse.h"
#include "zqmodkit/zqRelay.h"

namespace {

// Case matters: "/zq/zqCamera/XY" holds no marker, so its command comes from the query.
constexpr const char* kMarkers[] = {"/camera/"};

constexpr ZqRelayVariant kCamera = {kMarkers, "/to_camera", "/camera", kMimeJson};

}  // namespace

int zqCameraHandler(mg_connection* conn, void* /*cbdata*/) {
  return zq_relay_handle(conn, kCamera);
}
