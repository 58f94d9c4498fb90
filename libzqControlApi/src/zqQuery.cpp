#include "zqcontrolapi/zqQuery.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "zqCtrlD.h"
#include "zqcommon/zqLog.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The digits of `text` (after an optional "-" when `sign` allows one) as a 64-bit number.
bool ReadDecimal(std::string_view text, bool sign, long long* out) {
  const bool negative = sign && !text.empty() && text[0] == '-';
  const std::string_view digits = negative ? text.substr(1) : text;
  if (digits.empty() || digits.size() > 19) return false;
  for (char c : digits) {
    if (!IsDigit(c)) return false;
  }
  char buf[24];
  memcpy(buf, text.data(), text.size());
  buf[text.size()] = '\0';
  char* end = nullptr;
  errno = 0;
  const long long v = strtoll(buf, &end, 10);
  if (errno != 0 || end != buf + text.size()) return false;
  *out = v;
  return true;
}

}  // namespace

ZqQueryValue zq_query_find(const char* query, const char* key, std::string* raw) {
  std::string value;
  if (query == nullptr || !parseParam(query, key, value)) return ZqQueryValue::kAbsent;
  // A second parameter with the same key, anywhere after the first.
  const size_t n = strlen(key);
  int count = 0;
  for (const char* p = query; p != nullptr;) {
    if (strncmp(p, key, n) == 0 && ++count > 1) {
      ZQ_LOG(ZQ_LOG_ERROR, "Parameter %s given more than once", key);
      return ZqQueryValue::kRepeated;
    }
    p = strchr(p, '&');
    if (p != nullptr) ++p;
  }
  *raw = std::move(value);
  return ZqQueryValue::kFound;
}

bool zq_query_get_decoded(const char* query, const char* key, std::string* value) {
  std::string raw;
  if (!zq_query_get(query, key, &raw)) return false;
  *value = urlDecode(raw.c_str());
  return true;
}

bool zq_parse_u32(std::string_view text, uint32_t* out) {
  long long v = 0;
  if (!ReadDecimal(text, false, &v) || v > UINT32_MAX) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

bool zq_parse_i32(std::string_view text, int32_t* out) {
  long long v = 0;
  if (!ReadDecimal(text, true, &v) || v < INT32_MIN || v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

bool zq_parse_i64(std::string_view text, int64_t* out) {
  long long v = 0;
  if (!ReadDecimal(text, true, &v)) return false;
  *out = v;
  return true;
}

bool zq_parse_leading_i32(std::string_view text, int32_t* out) {
  size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  long long v = 0;
  size_t digits = 0;
  while (at < text.size() && IsDigit(text[at])) {
    v = v * 10 + (text[at++] - '0');
    if (v > static_cast<long long>(INT32_MAX) + 1) return false;
    ++digits;
  }
  if (digits == 0) return false;
  if (negative) v = -v;
  if (v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}
