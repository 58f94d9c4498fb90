// Content types the routes answer with, the server's own error page (answered by the server's
// error hook) and the body of a route's internal error.
#ifndef ZQ_ZQHTTPSERVER_SRC_HTTP_ZQRESPONSE_H_
#define ZQ_ZQHTTPSERVER_SRC_HTTP_ZQRESPONSE_H_

#include <cstdint>
#include <ctime>
#include <string>

#include "http/zqAnswer.h"

inline constexpr const char kMimeJson[] = "application/json";
inline constexpr const char kMimeOctetStream[] = "application/octet-stream";
inline constexpr const char kMimeText[] = "text/plain";
inline constexpr const char kMimeHtml[] = "text/html";

// The server's error page: "HTTP/1.1 <status> <reason>", no-cache headers, a text/plain body
// "Error <status>: <reason>\n<text>" with its Content-Length, and "Connection: close" unless
// `keep_alive` (then "Connection: keep-alive"). Answers every error the server itself raises,
// including requests it could not parse. A raw answer: its headers keep the order clients
// have always seen. Without `keep_alive` the answer ends the connection.
ZqAnswer zq_error_page(int status, const char* text, bool keep_alive);

// The content type of a file named `path`, by its extension, as the server library types
// files ("video/mp4", "text/html", ...; "text/plain" when unknown).
const char* zq_mime_type(const char* path);

// `t` as an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT").
std::string zq_http_date(time_t t);

// The JSON body of a route's internal error (at most 1,023 bytes; the url and query
// are shortened, never the structure, when they would not fit).
std::string zq_internal_error_body(const char* url, const char* query, int32_t error_code,
                                   const char* error_msg, const char* function, int line);

#endif  // ZQ_ZQHTTPSERVER_SRC_HTTP_ZQRESPONSE_H_
