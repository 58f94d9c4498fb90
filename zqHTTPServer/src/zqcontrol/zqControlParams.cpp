#include "zqcontrol/zqControlParams.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "zqCtrlD.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// strtoll over a copy that ends where the text ends; `text` holds only digits (and a sign).
bool ReadLong(std::string_view text, long long* out) {
  char buf[24];
  if (text.empty() || text.size() >= sizeof buf) return false;
  memcpy(buf, text.data(), text.size());
  buf[text.size()] = '\0';
  char* end = nullptr;
  errno = 0;
  const long long v = strtoll(buf, &end, 10);
  if (errno != 0 || end != buf + text.size()) return false;
  *out = v;
  return true;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// The start of each parameter that begins with `key`, counted (up to 2).
int CountKey(const char* params, const char* key) {
  const size_t n = strlen(key);
  int count = 0;
  for (const char* p = params; p != nullptr && count < 2;) {
    if (strncmp(p, key, n) == 0) ++count;
    p = strchr(p, '&');
    if (p != nullptr) ++p;
  }
  return count;
}

}  // namespace

ZqcParam zqc_param(const char* params, const char* key, std::string* value) {
  if (params == nullptr || !parseParam(params, key, *value)) return ZqcParam::kAbsent;
  return CountKey(params, key) > 1 ? ZqcParam::kRepeated : ZqcParam::kFound;
}

bool zqc_read_unsigned(std::string_view text, uint32_t* out) {
  long long v = 0;
  if (!AllDigits(text) || !ReadLong(text, &v) || v > UINT32_MAX) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

bool zqc_read_signed(std::string_view text, int32_t* out) {
  const std::string_view digits = !text.empty() && text[0] == '-' ? text.substr(1) : text;
  long long v = 0;
  if (!AllDigits(digits) || !ReadLong(text, &v) || v < INT32_MIN || v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

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
  if (!zqc_read_signed(text.substr(1, slash - 1), &a) ||
      !zqc_read_signed(text.substr(slash + 1), &b)) {
    return false;
  }
  *id = a;
  *value = b;
  return true;
}
