#include "zqopenapi/zqOpenApiQuery.h"

namespace {

// Reads decimal digits at `text[*at]` up to `max`; false when there are none or the value
// does not fit.
bool ReadNumber(std::string_view text, size_t* at, uint64_t max, uint32_t* value) {
  uint64_t v = 0;
  const size_t start = *at;
  while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9') {
    v = v * 10 + static_cast<uint64_t>(text[*at] - '0');
    if (v > max) return false;
    ++*at;
  }
  if (*at == start) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

bool zqoa_scan(std::string_view text, std::string_view pattern, uint32_t* out, int out_count) {
  size_t at = 0;
  int converted = 0;
  for (size_t p = 0; p < pattern.size();) {
    if (pattern[p] == '%') {
      uint64_t max = UINT32_MAX;
      if (pattern.substr(p, 3) == "%hu") {
        max = UINT16_MAX;
        p += 3;
      } else if (pattern.substr(p, 2) == "%u") {
        p += 2;
      } else {
        return false;  // a conversion this reader does not know: a programming error
      }
      if (converted == out_count || !ReadNumber(text, &at, max, &out[converted])) return false;
      ++converted;
      continue;
    }
    if (at >= text.size() || text[at] != pattern[p]) return false;
    ++at;
    ++p;
  }
  return true;
}

bool zqoa_scan_setting(const char* query, uint32_t* setting, uint32_t* option) {
  if (query == nullptr) return false;
  uint32_t v[2];
  if (zqoa_scan(query, "setting=%u&option=%u", v, 2)) {
    *setting = v[0];
    *option = v[1];
    return true;
  }
  if (zqoa_scan(query, "option=%u&setting=%u", v, 2)) {
    *option = v[0];
    *setting = v[1];
    return true;
  }
  return false;
}
