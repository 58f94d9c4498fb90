// The daemon's routes. Each is one row of the table in zqRoutes.cpp: a path prefix, its
// handler and the access policies allowed to use it. The server library dispatches each
// request to its route (its own rule: an exact match, then a route followed by "/", then a
// route matching as a pattern), with the route's row as the callback data, and sends what no
// route claims to the file sender. One trampoline serves every route: the access policy
// (which knows the route it was called for), then the handler, then its answer written.
//
// Adding a route: a handler `ZqAnswer MyHandler(ZqRequest&)` and one row
// `{"/zq/zqMine", MyHandler, nullptr, kGeneral}`.
#ifndef ZQ_ZQHTTPSERVER_SRC_SERVER_ZQROUTES_H_
#define ZQ_ZQHTTPSERVER_SRC_SERVER_ZQROUTES_H_

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/zqRoute.h"
#include "http/zqAnswer.h"
#include "http/zqRequest.h"

struct mg_connection;
struct mg_context;

// The routes, in registration order.
std::span<const ZqRoute> zq_routes();

// Registers every route with the server, in order, then the file sender for the rest.
void zq_routes_register(mg_context* ctx);

// Serves the connection's request as `route` asks (nullptr: a file): the access policy, then
// the handler, then its answer. Always answers.
void zq_route_serve(mg_connection* conn, const ZqRoute* route);

// The route of a WebSocket upgrade request to `uri`, which the server library does not hand
// to request handlers: the route named exactly, or followed by "/"; nullptr for a file.
const ZqRoute* zq_route_for_upgrade(const char* uri);

#endif  // ZQ_ZQHTTPSERVER_SRC_SERVER_ZQROUTES_H_
