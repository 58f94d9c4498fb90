#include "core/zqHttpRange.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// A decimal number of at least one digit starting at `p`; false on overflow or no digit.
bool ReadNumber(const char* p, const char** end, int64_t* value) {
  if (*p < '0' || *p > '9') return false;
  char* e = nullptr;
  errno = 0;
  long long v = strtoll(p, &e, 10);
  if (errno != 0) return false;
  *end = e;
  *value = v;
  return true;
}

}  // namespace

ZqRangeResult zq_parse_range(const char* header, int64_t size, ZqByteRange* out) {
  if (header == nullptr || strncmp(header, "bytes=", 6) != 0) return ZqRangeResult::kNone;
  const char* p = header + 6;
  const char* end = nullptr;
  if (*p == '-') {
    int64_t suffix = 0;
    if (!ReadNumber(p + 1, &end, &suffix) || *end != '\0') return ZqRangeResult::kNone;
    if (suffix == 0 || size == 0) return ZqRangeResult::kUnsatisfiable;
    out->first = suffix >= size ? 0 : size - suffix;
    out->last = size - 1;
    return ZqRangeResult::kOk;
  }
  int64_t first = 0;
  if (!ReadNumber(p, &end, &first) || *end != '-') return ZqRangeResult::kNone;
  int64_t last = size - 1;
  if (end[1] != '\0') {
    if (!ReadNumber(end + 1, &end, &last) || *end != '\0' || last < first) {
      return ZqRangeResult::kNone;
    }
  }
  if (first >= size) return ZqRangeResult::kUnsatisfiable;
  out->first = first;
  out->last = last < size - 1 ? last : size - 1;
  return ZqRangeResult::kOk;
}
