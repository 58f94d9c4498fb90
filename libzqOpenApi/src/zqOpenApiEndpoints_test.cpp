#include "zqopenapi/zqOpenApiEndpoints.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Found(std::string_view path) {
  const int i = zqoa_find_endpoint(kZqOpenApiEndpoints, path);
  return i < 0 ? "(none)" : std::string(kZqOpenApiEndpoints[static_cast<size_t>(i)]);
}

TEST(ZqOpenApiEndpoints, LongestPrefixServesThePath) {
  const std::pair<const char*, const char*> cases[] = {
      {"camera/state", "camera/state"},
      {"camera/statex", "camera/state"},  // its handler then refuses the path
      {"camera/presets/load", "camera/presets"},
      {"media/list", "media"},
      {"mediafoo", "media"},
      {"", "(none)"},
      {"camera/stat", "(none)"},
      {"Camera/state", "(none)"},
      {"/camera/state", "(none)"},
  };
  for (const auto& [path, endpoint] : cases) EXPECT_EQ(Found(path), endpoint) << path;
}

TEST(ZqOpenApiEndpoints, LongerEndpointWinsWhateverTheOrderAndTiesGoToTheFirst) {
  const std::string_view shorter_first[] = {"camera", "camera/state", ""};
  const std::string_view longer_first[] = {"camera/state", "camera"};
  EXPECT_EQ(zqoa_find_endpoint(shorter_first, "camera/state/x"), 1);
  EXPECT_EQ(zqoa_find_endpoint(longer_first, "camera/state/x"), 0);
  EXPECT_EQ(zqoa_find_endpoint(longer_first, "camera/x"), 1);
  const std::string_view twins[] = {"a/b", "a/b"};
  EXPECT_EQ(zqoa_find_endpoint(twins, "a/b/c"), 0);
  EXPECT_EQ(zqoa_find_endpoint({}, "a"), -1);
}

TEST(ZqOpenApiEndpoints, PathFromUri) {
  const std::pair<const char*, const char*> cases[] = {
      {"/tavro/camera/state", "camera/state"},
      {"/tavro/", "/"},
      {"/tavro", ""},
      {"/tavro//x", "/x"},
      {"/tav", ""},
  };
  for (const auto& [uri, path] : cases) EXPECT_EQ(zqoa_path_from_uri(uri), path) << uri;
}

}  // namespace
