// Request input the server itself parses: Range headers, URI patterns (route lookup and
// hidden files), the identity text the Host check derives an address from, and the names
// clients give of files below a tree (NULs included: query values keep them).
#include <cstddef>
#include <cstdint>
#include <string>

#include "server/zqHttpRange.h"
#include "server/zqMatch.h"
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

  // First line a pattern, the rest a URI.
  const size_t nl = text.find('\n');
  const std::string pattern = text.substr(0, nl);
  const std::string uri = nl == std::string::npos ? "" : text.substr(nl + 1);
  const long matched = zq_match_prefix(pattern, uri.c_str());
  if (matched > static_cast<long>(uri.size())) __builtin_trap();
  zq_route_lookup(text.c_str());

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
