#include "server/zqRoutes.h"

#include <civetweb.h>

#include <cstring>

#include "server/zqMatch.h"
#include "server/zqResponse.h"
#include "zqcamera/zqCamera.h"
#include "zqcontrol/zqControl.h"
#include "zqmedialist/zqMediaList.h"
#include "zqmediametadata/zqMediaMetadata.h"
#include "zqmediaop/zqMediaOp.h"
#include "zqmodkit/zqModkit.h"
#include "zqturbo/zqTurbo.h"
#include "zqversion/zqVersion.h"

namespace {

// Allowed policies per route: Wireless-Offload, zqTunnel, User-Endpoints; User-Endpoints
// alone for firmware updates; zqTunnel alone for certificates.
constexpr uint32_t kGeneral[] = {3, 1, 4, kZqPolicyListEnd};
constexpr uint32_t kUpdate[] = {4, kZqPolicyListEnd};
constexpr uint32_t kCertificate[] = {1, kZqPolicyListEnd};

constexpr ZqRoute kRoutes[] = {
    {"/modkit", zqModkitHandler, kGeneral},
    {"/zq/zqModkit", zqModkitHandler, kGeneral},
    {"/zq/zqCamera", zqCameraHandler, kGeneral},
    {"/zq/zqControl", zqControlHandler, kGeneral},
    {"/zq/zqMediaOp", zqMediaOpHandler, kGeneral},
    {"/zq/zqMediaList", zqMediaListHandler, kGeneral},
    {"/zq/zqMediaListEx", zqMediaListExHandler, kGeneral},
    {"/zq/zqMediaMetadata", zqMediaMetadataHandler, kGeneral},
    {"/zq/zqUpdate", zqNotImplementedHandler, kUpdate},
    {"/zq/zqSoftUpdate", zqNotImplementedHandler, kUpdate},
    {"/zq/zqTurbo", zqTurboHandler, kGeneral},
    {"/zq/zqWebcam", zqNotImplementedHandler, kGeneral},
    {"/tavro", zqNotImplementedHandler, kGeneral},
    {"/zq/version", zqVersionHandler, kGeneral},
    {"/zq/zqCert", zqNotImplementedHandler, kCertificate},
};

}  // namespace

std::span<const ZqRoute> zq_routes() { return kRoutes; }

void zq_routes_register(mg_context* ctx) {
  for (const ZqRoute& r : kRoutes) {
    // The library hands the list back on every request; it never writes through it.
    mg_set_request_handler(ctx, r.prefix, r.handler, const_cast<uint32_t*>(r.policies));
  }
}

const ZqRoute* zq_route_lookup(const char* uri) {
  const size_t len = strlen(uri);
  for (const ZqRoute& r : kRoutes) {
    if (strcmp(r.prefix, uri) == 0) return &r;
  }
  for (const ZqRoute& r : kRoutes) {
    const size_t n = strlen(r.prefix);
    if (n < len && uri[n] == '/' && memcmp(r.prefix, uri, n) == 0) return &r;
  }
  for (const ZqRoute& r : kRoutes) {
    if (zq_match_prefix(r.prefix, uri) > 0) return &r;
  }
  return nullptr;
}

int zqNotImplementedHandler(mg_connection* conn, void* /*cbdata*/) {
  http_response_empty_json(conn, kHttp501);
  return 1;
}
