#include "zqcontrol/zqControlParams.h"

#include "zqcontrolapi/zqQuery.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

bool zqc_fits_unsigned(uint32_t value, int width) {
  return width >= 4 || value < (1u << (8 * width));
}

bool zqc_fits_signed(int32_t value, int width) {
  if (width >= 4) return true;
  const int64_t low = -(int64_t{1} << (8 * width - 1));
  const int64_t high = (int64_t{1} << (8 * width)) - 1;
  return value >= low && value <= high;
}

int zqc_read_hex_fields(std::string_view text, int count, int32_t* fields) {
  size_t at = 0;
  for (int i = 0; i < count; ++i) {
    if (at >= text.size() || text[at] != '%') return i;
    ++at;
    uint32_t v = 0;
    size_t digits = 0;
    while (at < text.size() && IsHex(text[at]) && digits < 8) {
      const char c = text[at];
      v = v * 16 + static_cast<uint32_t>(IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
      ++at;
      ++digits;
    }
    if (digits == 0 || (at < text.size() && IsHex(text[at]))) return i;
    fields[i] = static_cast<int32_t>(v);
  }
  return at == text.size() ? -1 : count;
}

bool zqc_read_setting_path(std::string_view text, int32_t* id, int32_t* value) {
  if (text.size() < 4 || text[0] != '/') return false;
  const size_t slash = text.find('/', 1);
  if (slash == std::string_view::npos) return false;
  int32_t a = 0;
  int32_t b = 0;
  if (!zq_parse_i32(text.substr(1, slash - 1), &a) || !zq_parse_i32(text.substr(slash + 1), &b)) {
    return false;
  }
  *id = a;
  *value = b;
  return true;
}
