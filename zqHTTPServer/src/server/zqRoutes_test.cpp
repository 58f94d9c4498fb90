#include "server/zqRoutes.h"

#include <gtest/gtest.h>

namespace {

const char* PrefixFor(const char* uri) {
  const ZqRoute* r = zq_route_lookup(uri);
  return r != nullptr ? r->prefix : nullptr;
}

}  // namespace

TEST(ZqRoutes, LookupFollowsTheServersDispatchOrder) {
  EXPECT_STREQ(PrefixFor("/zq/zqMediaListEx"), "/zq/zqMediaListEx");  // exact beats prefix
  EXPECT_STREQ(PrefixFor("/zq/zqMediaList"), "/zq/zqMediaList");
  EXPECT_STREQ(PrefixFor("/zq/zqMediaList/more"), "/zq/zqMediaList");
  EXPECT_STREQ(PrefixFor("/zq/zqControl/setting/91/66"), "/zq/zqControl");
  EXPECT_STREQ(PrefixFor("/tavro/camera/shutter/start"), "/tavro");
  // A route also matches as a pattern, so a longer name still reaches it.
  EXPECT_STREQ(PrefixFor("/zq/zqControlX"), "/zq/zqControl");
  EXPECT_STREQ(PrefixFor("/modkit?cmd=XY"), "/modkit");
  // Files are served by the server itself.
  EXPECT_EQ(PrefixFor("/"), nullptr);
  EXPECT_EQ(PrefixFor("/videos/DCIM/100TAVRO/ZQ010001.MP4"), nullptr);
  EXPECT_EQ(PrefixFor("/zq"), nullptr);
}

TEST(ZqRoutes, TableOrderAndPolicyLists) {
  const char* expected[] = {
      "/modkit",       "/zq/zqModkit",     "/zq/zqCamera",      "/zq/zqControl",
      "/zq/zqMediaOp", "/zq/zqMediaList",  "/zq/zqMediaListEx", "/zq/zqMediaMetadata",
      "/zq/zqUpdate",  "/zq/zqSoftUpdate", "/zq/zqTurbo",       "/zq/zqWebcam",
      "/tavro",        "/zq/version",      "/zq/zqCert"};
  auto routes = zq_routes();
  ASSERT_EQ(routes.size(), std::size(expected));
  for (size_t i = 0; i < routes.size(); ++i) {
    EXPECT_STREQ(routes[i].prefix, expected[i]);
    int n = 0;
    while (routes[i].policies[n] != kZqPolicyListEnd) ++n;
    const std::string p = routes[i].prefix;
    if (p == "/zq/zqUpdate" || p == "/zq/zqSoftUpdate") {
      EXPECT_EQ(n, 1);
      EXPECT_EQ(routes[i].policies[0], 4u);
    } else if (p == "/zq/zqCert") {
      EXPECT_EQ(n, 1);
      EXPECT_EQ(routes[i].policies[0], 1u);
    } else {
      EXPECT_EQ(n, 3) << p;
    }
  }
}
