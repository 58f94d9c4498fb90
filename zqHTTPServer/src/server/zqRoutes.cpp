#include "server/zqRoutes.h"

#include <civetweb.h>

#include <cstring>

#include "core/zqClients.h"
#include "core/zqFileSender.h"
#include "http/zqConnAnswer.h"
#include "http/zqResponse.h"
#include "server/zqServer.h"
#include "zqcamera/zqCamera.h"
#include "zqcerthandler/zqCertHandler.h"
#include "zqcontrol/zqControl.h"
#include "zqmedialist/zqMediaList.h"
#include "zqmediametadata/zqMediaMetadata.h"
#include "zqmediaop/zqMediaOp.h"
#include "zqmodkit/zqModkit.h"
#include "zqtavro/zqOpenTavro.h"
#include "zqpolicy/zqPolicy.h"
#include "zqturbo/zqTurbo.h"
#include "zqupdate/zqUpdateRoutes.h"
#include "zqversion/zqVersion.h"
#include "zqwebcamroute/zqWebcamRoute.h"

namespace {

// Allowed policies per route: Wireless-Offload, zqTunnel, User-Endpoints; User-Endpoints
// alone for firmware updates; zqTunnel alone for certificates.
constexpr uint32_t kGeneral[] = {3, 1, 4, kZqPolicyListEnd};
constexpr uint32_t kUpdate[] = {4, kZqPolicyListEnd};
constexpr uint32_t kCertificate[] = {1, kZqPolicyListEnd};

constexpr ZqRoute kRoutes[] = {
    {"/modkit", zqModkit, kGeneral},
    {"/zq/zqModkit", zqModkit, kGeneral},
    {"/zq/zqCamera", zqCamera, kGeneral},
    {"/zq/zqControl", zqControl, kGeneral},
    {"/zq/zqMediaOp", zqMediaOp, kGeneral},
    {"/zq/zqMediaList", zqMediaList, kGeneral},
    {"/zq/zqMediaListEx", zqMediaListEx, kGeneral},
    {"/zq/zqMediaMetadata", zqMediaMetadata, kGeneral},
    {"/zq/zqUpdate", zqUpdateHandler, kUpdate},
    {"/zq/zqSoftUpdate", zqSoftUpdateHandler, kUpdate},
    {"/zq/zqTurbo", zqTurbo, kGeneral},
    {"/zq/zqWebcam", zqWebcam, kGeneral},
    {"/tavro", zqOpenTavroHandler, kGeneral},
    {"/zq/version", zqVersion, kGeneral},
    {"/zq/zqCert", zqCertHandler, kCertificate},
    // Ours, after the camera's own routes: the paged list of the media database.
    {"/zq/zqMediaListRTOSDB", zqMediaListRTOSDB, kGeneral},
};

// The server library's callback for every route; `cbdata` is the route's row (nullptr for
// files).
int Trampoline(mg_connection* conn, void* cbdata) {
  zq_route_serve(conn, static_cast<const ZqRoute*>(cbdata));
  return 1;
}

ZqAnswer Answer(mg_connection* conn, const ZqRoute* route, ZqRequest& request) {
  // Refused: the server's own error page, kept alive as any error of a request read whole.
  if (!zqpolicy_admits_request(conn, route)) {
    return zq_error_page(403, "Connection forbidden", request.KeepAlive());
  }
  if (route != nullptr) return route->handler(request);
  return zqfs_answer(request, zq_server_files(conn));
}

}  // namespace

std::span<const ZqRoute> zq_routes() { return kRoutes; }

void zq_routes_register(mg_context* ctx) {
  for (const ZqRoute& r : kRoutes) {
    // The library hands the row back on every request; it never writes through it.
    mg_set_request_handler(ctx, r.prefix, Trampoline, const_cast<ZqRoute*>(&r));
  }
  // Registered last, "/" matches as a pattern whatever path no route took.
  mg_set_request_handler(ctx, "/", Trampoline, nullptr);
}

void zq_route_serve(mg_connection* conn, const ZqRoute* route) {
  ZqConnRequest request(conn);
  zq_send_answer(conn, Answer(conn, route, request), zq_conn_abort);
}

const ZqRoute* zq_route_for_upgrade(const char* uri) {
  for (const ZqRoute& r : kRoutes) {
    const size_t n = strlen(r.prefix);
    if (strncmp(r.prefix, uri, n) == 0 && (uri[n] == '\0' || uri[n] == '/')) return &r;
  }
  return nullptr;
}
