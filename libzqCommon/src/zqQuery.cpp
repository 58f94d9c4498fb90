#include "zqcommon/zqQuery.h"

#include <strings.h>

#include <utility>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string zq_url_decode(std::string_view text, bool form) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      const int hi = HexDigit(text[i + 1]);
      const int lo = HexDigit(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += form && c == '+' ? ' ' : c;
  }
  return out;
}

ZqParam zq_query_param(std::string_view query, std::string_view name, size_t max,
                       std::string* value, int occurrence) {
  const size_t n = name.size();
  for (size_t at = 0; at + n < query.size(); ++at) {
    if (at != 0 && query[at - 1] != '&') continue;
    if (query[at + n] != '=' || strncasecmp(query.data() + at, name.data(), n) != 0) continue;
    if (occurrence-- != 0) continue;
    const size_t start = at + n + 1;
    size_t end = query.find('&', start);
    if (end == std::string_view::npos) end = query.size();
    std::string decoded = zq_url_decode(query.substr(start, end - start), true);
    if (decoded.size() > max) return ZqParam::kTooLong;
    *value = std::move(decoded);
    return ZqParam::kFound;
  }
  return ZqParam::kMissing;
}
