#include "zqopenapi/zqOpenApiEndpoints.h"

std::string_view zqoa_path_from_uri(std::string_view uri) {
  if (uri.size() < kZqOpenApiPrefix.size()) return {};
  std::string_view path = uri.substr(kZqOpenApiPrefix.size());
  if (path.size() > 1 && path.front() == '/') path.remove_prefix(1);
  return path;
}

int zqoa_find_endpoint(std::span<const std::string_view> endpoints, std::string_view path) {
  int best = -1;
  size_t best_length = 0;
  for (size_t i = 0; i < endpoints.size(); ++i) {
    const std::string_view e = endpoints[i];
    if (e.empty() || !path.starts_with(e) || e.size() <= best_length) continue;
    best = static_cast<int>(i);
    best_length = e.size();
    if (best_length == path.size()) break;
  }
  return best;
}
