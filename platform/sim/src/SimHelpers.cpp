// The control-service library's text helpers and the network configuration of a host run.

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

#include "zqCtrlD.h"
#include "zqNetConfig.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqQuery.h"
#include "zqsim/SimState.h"

void ss_printf(std::string& s, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  char small[256];
  int n = vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
    s.append(small, static_cast<size_t>(n));
  } else if (n >= 0) {
    size_t at = s.size();
    s.resize(at + static_cast<size_t>(n) + 1);
    vsnprintf(&s[at], static_cast<size_t>(n) + 1, format, again);
    s.resize(at + static_cast<size_t>(n));
  }
  va_end(again);
}

void http_output_success_header(std::string& stream) {
  stream += "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
}

void http_output_content_length(std::string& stream, size_t n) {
  ss_printf(stream, "Content-Length: %zu\r\n\r\n", n);
}

void http_output_empty_json(std::string& stream) {
  http_output_success_header(stream);
  http_output_content_length(stream, 3);
  stream += "{}\n";
}

void http_print_error_response_ex(std::string& stream, const char* path, const char* params,
                                  const char* http_status, int32_t err, const char* detail,
                                  const char* function, int line) {
  // Texts may come from clients: the library builds the body with a JSON writer so that it
  // always parses.
  const char* status = http_status != nullptr ? http_status : "500 Internal Server Error\r\n";
  if (strncmp(status, "204 ", 4) == 0) {
    // A 204 answer has no body (and so no length or type).
    ss_printf(stream, "HTTP/1.1 %s\r\n", status);
    return;
  }
  auto text = [](const char* s) { return std::string(s != nullptr ? s : ""); };
  nlohmann::ordered_json body = {{"path", text(path)},
                                 {"params", text(params)},
                                 {"error", err},
                                 {"error_name", zqErrno2Str(err)},
                                 {"detail", text(detail)},
                                 {"function", text(function)},
                                 {"line", line}};
  std::string json =
      body.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  ss_printf(stream, "HTTP/1.1 %sContent-Type: application/json\r\n", status);
  http_output_content_length(stream, json.size());
  stream += json;
}

bool parseParam(const char* params, const char* key, std::string& value) {
  if (params == nullptr || key == nullptr || *key == '\0') return false;
  const size_t key_len = strlen(key);
  const char* p = params;
  while (true) {
    if (strncmp(p, key, key_len) == 0) {
      const char* start = p + key_len;
      const char* end = strchr(start, '&');
      value.assign(start, end != nullptr ? static_cast<size_t>(end - start) : strlen(start));
      return true;
    }
    p = strchr(p, '&');
    if (p == nullptr) return false;
    ++p;
  }
}

std::string urlDecode(const char* text) {
  return text == nullptr ? std::string() : zq_url_decode(text, false);
}

std::string zqnet_ap_address() {
  return zqsim::SimState::Get().Read(
      [](const zqsim::SimStateData& d) { return std::string(d.identity.ap_address); });
}
