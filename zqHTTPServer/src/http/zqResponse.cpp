#include "http/zqResponse.h"

#include <civetweb.h>

#include <cstring>
#include <ctime>
#include <string>

#include "http/zqWriter.h"
#include "zqcommon/zqJson.h"

namespace {

constexpr size_t kInternalErrorBuffer = 1024;

}  // namespace

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

const char* zq_mime_type(const char* path) { return mg_get_builtin_mime_type(path); }

std::string zq_http_date(time_t t) {
  char date[64];
  struct tm tm_utc = {};
  gmtime_r(&t, &tm_utc);
  strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &tm_utc);
  return date;
}

ZqAnswer zq_error_page(int status, const char* text, bool keep_alive) {
  const char* reason = zq_reason(status);
  const std::string body =
      "Error " + std::to_string(status) + ": " + reason + "\n" + (text != nullptr ? text : "");
  const std::string page =
      "HTTP/1.1 " + std::to_string(status) + " " + reason +
      "\r\nCache-Control: no-cache, no-store, must-revalidate, private, max-age=0\r\n"
      "Expires: 0\r\nPragma: no-cache\r\nContent-Type: text/plain; charset=utf-8\r\nDate: " +
      zq_http_date(time(nullptr)) + "\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\nConnection: " + (keep_alive ? "keep-alive" : "close") + "\r\n\r\n" + body;
  ZqAnswer answer = ZqAnswer::Raw(page);
  if (!keep_alive) answer.EndsConnection();
  return answer;
}
