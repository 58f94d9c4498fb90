// The "/zq/zqControl" route: the control interface's dispatcher.
//
// The path after the route prefix names a command ("command/shutter", "status",
// "setting/91/66", ...) and the raw query carries its parameters. Control requests run one at a
// time (g_accessMutex, then g_CSIMutex, held while the answer is made; a file or stream
// body goes out after they are released). Three paths are
// answered here ("getGeoCal", "getCalData", "preset/<name>"); the empty path answers the
// settings document; every other path goes to the URI registry: a command that answers itself
// returns its answer, an ordinary command handler's status becomes the HTTP answer through one
// table:
//
//   0      200 with the handler's JSON body, or "{}"
//   -102   500 (an ordinary handler never answers itself)
//   -18    204      -17  403      -20  404
//   -104   400 (error code -3: the path is not a command)
//   -4     400      any other  500
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROL_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/zqLocks.h"
#include "http/zqAnswer.h"
#include "http/zqRequest.h"

// Size of the response buffer that command handlers write their body into.
inline constexpr uint16_t kZqcResponseSize = 4096;

// The route handler.
ZqAnswer zqControl(ZqRequest& request);

// The answer the dispatcher gives a handler's `status` with `body` (the success body; may be
// empty): for commands that answer themselves but answer a status like the others do. `path`
// and `params` name the request in error documents.
ZqAnswer zqcontrol_status_answer(const char* path, const char* params, int32_t status,
                                 std::string_view body);

// A control error answer: `http_status` with a JSON document naming the path, the
// parameters, the error code and its name, the detail, the function and the line (texts from
// clients escaped, so that it always parses). A 204 answer has no body.
ZqAnswer zqcontrol_error_answer(const char* path, const char* params, int http_status, int32_t err,
                                const char* detail, const char* function, int line);

// Runs the command `path` with `params` into `*answer`: an ordinary command's answer through
// the table above, or the answer of a command that answers itself (given a `request`).
// Returns the handler's status. The caller holds the control locks (ZqControlLocks).
int32_t zqcontrol_cgi_handler(const char* path, const char* params, std::optional<ZqAnswer>* answer,
                              ZqRequest* request = nullptr) REQUIRES(g_accessMutex, g_CSIMutex);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROL_H_
