#include "http/zqResponse.h"

#include <civetweb.h>

#include <cstring>
#include <ctime>
#include <string>

#include "http/zqConnection.h"
#include "zqcommon/zqJson.h"

namespace {

constexpr size_t kInternalErrorBuffer = 1024;
// Chunks up to this size go out in one write with their framing, so a small chunk is one
// packet rather than three.
constexpr size_t kCoalesceChunk = 16 * 1024;

void WriteText(mg_connection* conn, const std::string& text) {
  zq_conn_write(conn, text.data(), text.size());
}

}  // namespace

void http_response_header(mg_connection* conn, const char* status, const char* type) {
  zq_conn_printf(conn, "HTTP/1.1 %s", status);
  zq_conn_printf(conn, "Content-Type: %s\r\n", type);
}

void http_response_set_content_length(mg_connection* conn, int n) {
  zq_conn_printf(conn, "Content-Length: %d\r\n\r\n", n);
}

void http_response_empty_json(mg_connection* conn, const char* status) {
  // One write: a small answer must not wait for the client's delayed acknowledgement.
  std::string text = std::string("HTTP/1.1 ") + status + "Content-Type: " + kMimeJson +
                     "\r\nContent-Length: 3\r\n\r\n{}\n";
  WriteText(conn, text);
}

void http_response_unknown_request(mg_connection* conn) {
  http_response_empty_json(conn, kHttp404);
}

void http_response_bad_request(mg_connection* conn) { http_response_empty_json(conn, kHttp400); }

void RespondEmptyMsg(mg_connection* conn, const char* status) {
  http_response_empty_json(conn, status);
}

std::string zq_internal_error_body(const char* url, const char* query, int32_t error_code,
                                   const char* error_msg, const char* function, int line) {
  std::string u = url != nullptr ? url : "";
  std::string q = query != nullptr ? query : "";
  auto build = [&] {
    std::string body = "{\n";
    body += "\"version\": \"6.00\",\n";
    body += "\"url\": \"" + zq_json_escape(u) + "\",\n";
    body += "\"query\": \"" + zq_json_escape(q) + "\",\n";
    body += "\"error_code\": " + std::to_string(error_code) + ",\n";
    body += "\"error_msg\": \"" + zq_json_escape(error_msg != nullptr ? error_msg : "") + "\",\n";
    body += "\"function\": \"" + zq_json_escape(function != nullptr ? function : "") + "\",\n";
    body += "\"line\": " + std::to_string(line) + "\n";
    body += "}\n";
    return body;
  };
  // The body lives in a 1,024-byte buffer: shorten the client's texts (query first), never
  // the structure, so that it still parses.
  std::string body = build();
  while (body.size() >= kInternalErrorBuffer && (!q.empty() || !u.empty())) {
    std::string& cut = !q.empty() ? q : u;
    size_t excess = body.size() - (kInternalErrorBuffer - 1);
    cut.resize(cut.size() > excess ? cut.size() - excess : 0);
    body = build();
  }
  return body;
}

void http_response_internal_error(mg_connection* conn, const char* url, const char* query,
                                  const char* status, int32_t error_code, const char* error_msg,
                                  const char* function, int line) {
  std::string body = zq_internal_error_body(url, query, error_code, error_msg, function, line);
  std::string text = std::string("HTTP/1.1 ") + status + "Content-Type: " + kMimeJson +
                     "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  WriteText(conn, text);
}

void http_error_page(mg_connection* conn, int status, const char* text, bool keep_alive) {
  const char* reason = mg_get_response_code_text(conn, status);
  char date[64];
  struct tm tm_utc = {};
  const time_t now = time(nullptr);
  gmtime_r(&now, &tm_utc);
  strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &tm_utc);
  const std::string body =
      "Error " + std::to_string(status) + ": " + reason + "\n" + (text != nullptr ? text : "");
  const std::string page =
      "HTTP/1.1 " + std::to_string(status) + " " + reason +
      "\r\nCache-Control: no-cache, no-store, must-revalidate, private, max-age=0\r\n"
      "Expires: 0\r\nPragma: no-cache\r\nContent-Type: text/plain; charset=utf-8\r\nDate: " +
      date + "\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\nConnection: " + (keep_alive ? "keep-alive" : "close") + "\r\n\r\n" + body;
  WriteText(conn, page);
}

void http_start_chunked_stream(mg_connection* conn) {
  zq_conn_printf(conn, "HTTP/1.1 %s", kHttp200);
  zq_conn_printf(conn, "Content-Type: %s\r\n", kMimeOctetStream);
  zq_conn_printf(conn, "Transfer-Encoding: chunked\r\n\r\n");
}

int http_write_chunk(mg_connection* conn, size_t n, const void* data) {
  char head[24];
  int head_len = snprintf(head, sizeof head, "%zx\r\n", n);
  if (n <= kCoalesceChunk) {
    std::string frame;
    frame.reserve(static_cast<size_t>(head_len) + n + 2);
    frame.append(head, static_cast<size_t>(head_len));
    frame.append(static_cast<const char*>(data), n);
    frame.append("\r\n");
    int sent = zq_conn_write(conn, frame.data(), frame.size());
    if (sent < 0) return sent;
    if (static_cast<size_t>(sent) == frame.size()) return static_cast<int>(n);
    // A short write: report how much of the data itself went out.
    long data_sent = static_cast<long>(sent) - head_len;
    return data_sent > 0 ? static_cast<int>(data_sent) : 0;
  }
  if (zq_conn_write(conn, head, static_cast<size_t>(head_len)) != head_len) return -1;
  int sent = zq_conn_write(conn, data, n);
  zq_conn_write(conn, "\r\n", 2);
  return sent;
}

void http_end_chunked_stream(mg_connection* conn) { zq_conn_write(conn, "0\r\n\r\n", 5); }

void writeHttpResponseHeader(mg_connection* conn, int code) {
  zq_conn_printf(conn, "HTTP/1.1 %d \r\nContent-Type: application/json\r\n", code);
}

void writeHttpErrorResponseHeader(mg_connection* conn, int code) {
  zq_conn_printf(
      conn, "HTTP/1.1 %d \r\nContent-Type: application/json\r\nContent-Length: 0\r\n\r\n", code);
}

void writeHttpContentLength(mg_connection* conn, long long n) {
  zq_conn_printf(conn, "Content-Length: %lld\r\n\r\n", n);
}

int http_output_bin_file(mg_connection* conn, FILE* file) {
  char buf[1024];
  while (true) {
    size_t n = fread(buf, 1, sizeof buf, file);
    if (n > 0) zq_conn_write(conn, buf, n);
    if (n < sizeof buf) return ferror(file) ? -1 : 0;
  }
}
