#include "http/zqRequest.h"

#include <civetweb.h>

#include <vector>

ZqParam zq_query_param(std::string_view query, std::string_view name, size_t max,
                       std::string* value, int occurrence) {
  // The library's reader takes a terminated name, and tells a missing value (-1) from one
  // that does not fit its buffer (-2).
  const std::string key(name);
  std::vector<char> buf(max + 1);
  const int n = mg_get_var2(query.data(), query.size(), key.c_str(), buf.data(), buf.size(),
                            static_cast<size_t>(occurrence));
  if (n == -2) return ZqParam::kTooLong;
  if (n < 0) return ZqParam::kMissing;
  value->assign(buf.data(), static_cast<size_t>(n));
  return ZqParam::kFound;
}
