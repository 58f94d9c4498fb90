#include "zqcommon/zqUrl.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool zq_url_decode(std::string_view text, bool plus_is_blank, std::string* out) {
  out->clear();
  out->reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return false;
      const int hi = HexValue(text[i + 1]);
      const int lo = HexValue(text[i + 2]);
      if (hi < 0 || lo < 0) return false;
      out->push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else if (c == '+' && plus_is_blank) {
      out->push_back(' ');
    } else {
      out->push_back(c);
    }
  }
  return true;
}

std::optional<std::string> zq_form_value(std::string_view text, std::string_view name) {
  while (!text.empty()) {
    const size_t amp = text.find('&');
    const std::string_view pair = text.substr(0, amp);
    text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
    const size_t eq = pair.find('=');
    std::string key;
    if (!zq_url_decode(pair.substr(0, eq), true, &key) || key != name) continue;
    std::string value;
    if (eq == std::string_view::npos) return value;
    if (!zq_url_decode(pair.substr(eq + 1), true, &value)) return std::nullopt;
    return value;
  }
  return std::nullopt;
}
