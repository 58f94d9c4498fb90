#include "zqmodkit/zqModkit.h"

#include "http/zqResponse.h"
#include "zqmodkit/zqRelay.h"

namespace {

constexpr const char* kMarkers[] = {"/modkit/", "/zq/zqModkit/"};

constexpr ZqRelayVariant kModkit = {kMarkers, "/to_zqnet", "/modkit", kMimeText};

}  // namespace

ZqAnswer zqModkit(ZqRequest& request) { return zq_relay(request, kModkit); }
