#include "zqcamera/zqCamera.h"

#include "http/zqResponse.h"
#include "zqmodkit/zqRelay.h"

namespace {

// Case matters: "/zq/zqCamera/XY" holds no marker, so its command comes from the query.
constexpr const char* kMarkers[] = {"/camera/"};

constexpr ZqRelayVariant kCamera = {kMarkers, "/to_camera", "/camera", kMimeJson};

}  // namespace

ZqAnswer zqCamera(ZqRequest& request) { return zq_relay(request, kCamera); }
