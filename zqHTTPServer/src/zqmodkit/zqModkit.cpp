#include "zqmodkit/zqModkit.h"

#include "server/zqResponse.h"
#include "zqmodkit/zqRelay.h"

namespace {

constexpr const char* kMarkers[] = {"/modkit/", "/zq/zqModkit/"};

constexpr ZqRelayVariant kModkit = {kMarkers, "/to_zqnet", "/modkit", kMimeText};

}  // namespace

int zqModkitHandler(mg_connection* conn, void* /*cbdata*/) {
  return zq_relay_handle(conn, kModkit);
}
