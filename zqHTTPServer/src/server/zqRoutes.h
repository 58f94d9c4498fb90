// The daemon's route table: one prefix handler per route, each carrying the list of access
// policies allowed to use it (its user data).
#ifndef ZQ_ZQHTTPSERVER_SRC_SERVER_ZQROUTES_H_
#define ZQ_ZQHTTPSERVER_SRC_SERVER_ZQROUTES_H_

#include <cstddef>
#include <cstdint>
#include <span>

struct mg_connection;
struct mg_context;

// A route handler: non-zero when it answered the request.
using ZqRouteHandler = int (*)(mg_connection* conn, void* cbdata);

// Ends an allowed-policy list; it is no policy.
inline constexpr uint32_t kZqPolicyListEnd = 5;

struct ZqRoute {
  const char* prefix;
  ZqRouteHandler handler;
  const uint32_t* policies;  // allowed policy ids ending with kZqPolicyListEnd; static storage
};

// The routes, in registration order.
std::span<const ZqRoute> zq_routes();

// Registers every route with the server, in order.
void zq_routes_register(mg_context* ctx);

// The route the server dispatches `uri` to, or nullptr when it serves the URI as a file.
// Mirrors the library's rule: an exact match first, then a route followed by "/", then a
// route matching as a pattern, each pass in registration order.
const ZqRoute* zq_route_lookup(const char* uri);

// The answer of a route whose handler is not built: 501 with the empty JSON body.
int zqNotImplementedHandler(mg_connection* conn, void* cbdata);

#endif  // ZQ_ZQHTTPSERVER_SRC_SERVER_ZQROUTES_H_
