// The daemon's HTTP server: CivetWeb with the daemon's option set, callbacks and routes.
//
// Behaviour placed on the stock library through its callbacks:
//  - each connection is classified by network source when it is accepted (its class is the
//    connection's user data for every request on it);
//  - every request passes the access policy before any handler; the policy can ask which
//    route a URI reaches (the route table mirrors the library's dispatch);
//  - requests that no route takes are answered by the daemon's own file sender;
//  - request log lines, and free heap memory returned to the system after each request.
#ifndef ZQ_ZQHTTPSERVER_SRC_SERVER_ZQSERVER_H_
#define ZQ_ZQHTTPSERVER_SRC_SERVER_ZQSERVER_H_

#include <string>
#include <vector>

#include "core/zqFileSender.h"

struct mg_connection;
struct mg_context;

// The option table passed at start, as name/value pairs in order. Paths and ports follow
// ZQ_ROOT and ZQ_LISTENING_PORTS in host builds.
std::vector<std::string> zq_server_options(int worker_threads);

// Starts the server with the option table and callbacks; nullptr when it cannot start.
mg_context* zq_server_start(int worker_threads);

// The file sender's settings of the server that holds `conn`, read from its options when it
// started (a server not started here: the settings of no options, which serve nothing).
const ZqFileConfig& zq_server_files(const mg_connection* conn);

// Stops the watchdog of the server's clients, then the server (running requests finish).
void zq_server_close(mg_context* ctx);

// Lets requests that are running finish before the server stops (the library's stop cuts
// transfers in progress): from now on new requests are refused with 503, and the call returns
// once no request runs, or after `max_ms`.
void zq_server_drain(long max_ms);

#endif  // ZQ_ZQHTTPSERVER_SRC_SERVER_ZQSERVER_H_
