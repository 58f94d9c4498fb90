// The "/zq/zqControl" route: the control interface's dispatcher.
//
// The path after the route prefix names a command ("command/shutter", "status",
// "setting/91/66", ...) and the raw query carries its parameters. Control requests run one at a
// time (g_accessMutex, then g_CSIMutex, held until the answer is written). Three paths are
// answered here ("getGeoCal", "getCalData", "preset/<name>"); the empty path answers the
// settings document; every other path goes to the URI registry, and the command handler's
// status becomes the HTTP answer through one table:
//
//   0      200 with the handler's JSON body, or "{}"
//   -102   nothing more: the handler has answered
//   -18    204      -17  403      -20  404
//   -104   400 (error code -3: the path is not a command)
//   -4     400      any other  500
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROL_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROL_H_

#include <cstdint>
#include <string>

struct mg_connection;

// Size of the dispatcher's response buffer that command handlers write their body into.
inline constexpr uint16_t kZqcResponseSize = 4096;

// The route handler; always answers (returns 1).
int zqControlHandler(mg_connection* conn, void* cbdata);

// Runs the command `path` with `params` and appends the whole HTTP answer to `out`; returns the
// handler's status. `conn` (may be nullptr in tests) becomes g_pCivetWebConnection for handlers
// that answer themselves. The caller holds g_accessMutex and g_CSIMutex.
int32_t zqcontrol_cgi_handler(const char* path, const char* params, std::string& out,
                              mg_connection* conn);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROL_H_
