// The shared ways a handler writes its HTTP answer onto the connection, so that every route
// has the same status line, header order and empty-body conventions.
//
// Status arguments are the whole text after "HTTP/1.1 ", line end included ("200 OK\r\n");
// the kHttp* constants below are the ones in use. None of these operations closes the
// connection, and none reports write errors: a failed write shows only in the byte counts
// that http_write_chunk returns.
#ifndef ZQ_ZQHTTPSERVER_SRC_HTTP_ZQRESPONSE_H_
#define ZQ_ZQHTTPSERVER_SRC_HTTP_ZQRESPONSE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct mg_connection;

inline constexpr const char kHttp200[] = "200 OK\r\n";
inline constexpr const char kHttp204[] = "204 No Content\r\n";
inline constexpr const char kHttp400[] = "400 Bad Request\r\n";
inline constexpr const char kHttp401[] = "401 Unauthorized\r\n";
inline constexpr const char kHttp403[] = "403 Forbidden\r\n";
inline constexpr const char kHttp404[] = "404 Not Found\r\n";
inline constexpr const char kHttp405[] = "405 Method Not Allowed\r\n";
inline constexpr const char kHttp409[] = "409 Conflict\r\n";
inline constexpr const char kHttp500[] = "500 Internal Server Error\r\n";
inline constexpr const char kHttp501[] = "501 Not Implemented\r\n";
inline constexpr const char kHttp503[] = "503 Service Unavailable\r\n";

inline constexpr const char kMimeJson[] = "application/json";
inline constexpr const char kMimeOctetStream[] = "application/octet-stream";
inline constexpr const char kMimeText[] = "text/plain";
inline constexpr const char kMimeHtml[] = "text/html";
inline constexpr const char kMimeMp4[] = "video/mp4";
inline constexpr const char kMimeJpeg[] = "image/jpeg";

// "HTTP/1.1 <status>" then "Content-Type: <type>\r\n". The head stays open.
void http_response_header(mg_connection* conn, const char* status, const char* type);
// "Content-Length: <n>\r\n\r\n": ends the head.
void http_response_set_content_length(mg_connection* conn, int n);
// A whole answer: `status`, JSON, body "{}\n".
void http_response_empty_json(mg_connection* conn, const char* status);
void http_response_unknown_request(mg_connection* conn);  // 404 with "{}\n"
void http_response_bad_request(mg_connection* conn);      // 400 with "{}\n"
// A whole answer: `status`, JSON, and a seven-member object with the version, the request's
// url and query, the error code and message, the function (may be nullptr) and line.
void http_response_internal_error(mg_connection* conn, const char* url, const char* query,
                                  const char* status, int32_t error_code, const char* error_msg,
                                  const char* function, int line);
// Same as http_response_empty_json.
void RespondEmptyMsg(mg_connection* conn, const char* status);

// The server's error page: "HTTP/1.1 <status> <reason>", no-cache headers, a text/plain body
// "Error <status>: <reason>\n<text>" with its Content-Length, and "Connection: close" unless
// `keep_alive`. Answers every error the server itself raises, including requests it could
// not parse.
void http_error_page(mg_connection* conn, int status, const char* text, bool keep_alive);

// A 200 octet-stream head with chunked transfer encoding.
void http_start_chunked_stream(mg_connection* conn);
// One chunk: the length in lower-case hex, CR LF, the bytes, CR LF. Returns the number of
// data bytes the connection took (n on success), or a negative value when the write failed.
int http_write_chunk(mg_connection* conn, size_t n, const void* data);
// The last, empty chunk: "0\r\n\r\n".
void http_end_chunked_stream(mg_connection* conn);

// "HTTP/1.1 <code> \r\n" (no reason text) and a JSON content type. The head stays open.
void writeHttpResponseHeader(mg_connection* conn, int code);
// The same, closed with "Content-Length: 0" and a blank line.
void writeHttpErrorResponseHeader(mg_connection* conn, int code);
// "Content-Length: <n>\r\n\r\n".
void writeHttpContentLength(mg_connection* conn, long long n);

// Copies the open `file` to the connection in 1,024-byte reads until its end. -1 on a read
// error, else 0.
int http_output_bin_file(mg_connection* conn, FILE* file);

// The JSON body http_response_internal_error sends (at most 1,023 bytes; the url and query
// are shortened, never the structure, when they would not fit).
std::string zq_internal_error_body(const char* url, const char* query, int32_t error_code,
                                   const char* error_msg, const char* function, int line);

#endif  // ZQ_ZQHTTPSERVER_SRC_HTTP_ZQRESPONSE_H_
