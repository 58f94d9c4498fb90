// Request input the server itself parses: Range headers, the route of a WebSocket upgrade, the
// identity text the Host check derives an address from, and the names clients give of files below a
// tree (NULs included: query values keep them).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/zqHttpRange.h"
#include "server/zqRoutes.h"
#include "zqcommon/zqContainment.h"
#include "zqpolicy/zqPolicy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string text = input.c_str();  // as the server sees it: cut at a NUL

  ZqByteRange range = {0, 0};
  const int64_t file_size = static_cast<int64_t>(size) * 977;
  if (zq_parse_range(text.c_str(), file_size, &range) == ZqRangeResult::kOk) {
    if (range.first < 0 || range.last < range.first || range.last >= file_size) __builtin_trap();
  }

  if (const ZqRoute* route = zq_route_for_upgrade(text.c_str())) {
    if (text.compare(0, strlen(route->prefix), route->prefix) != 0) __builtin_trap();
  }

  const std::string wired = zqpolicy_wired_address(text.c_str());
  if (wired.size() > 15) __builtin_trap();

  // An accepted name can never climb, start at the root, hide a NUL or an empty component.
  if (zq_contain_name_ok(input)) {
    if (input.find("..") != std::string::npos || input.find('\0') != std::string::npos ||
        input.find("//") != std::string::npos || (!input.empty() && input[0] == '/')) {
      __builtin_trap();
    }
  }
  return 0;
}
