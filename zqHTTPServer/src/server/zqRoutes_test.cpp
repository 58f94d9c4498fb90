#include "server/zqRoutes.h"

#include <gtest/gtest.h>

namespace {

const char* UpgradeRoute(const char* uri) {
  const ZqRoute* r = zq_route_for_upgrade(uri);
  return r != nullptr ? r->prefix : nullptr;
}

}  // namespace

TEST(ZqRoutes, UpgradesReachTheRouteNamedOrItsSubpaths) {
  EXPECT_STREQ(UpgradeRoute("/zq/zqMediaListEx"), "/zq/zqMediaListEx");
  EXPECT_STREQ(UpgradeRoute("/zq/zqMediaList"), "/zq/zqMediaList");
  EXPECT_STREQ(UpgradeRoute("/zq/zqMediaList/more"), "/zq/zqMediaList");
  EXPECT_STREQ(UpgradeRoute("/tavro/camera/shutter/start"), "/tavro");
  EXPECT_STREQ(UpgradeRoute("/zq/version"), "/zq/version");
  // Anything else is a file.
  EXPECT_EQ(UpgradeRoute("/zq/zqControlX"), nullptr);
  EXPECT_EQ(UpgradeRoute("/"), nullptr);
  EXPECT_EQ(UpgradeRoute("/videos/DCIM/100TAVRO/ZQ010001.MP4"), nullptr);
  EXPECT_EQ(UpgradeRoute("/zq"), nullptr);
}

TEST(ZqRoutes, TableOrderAndPolicyLists) {
  const char* expected[] = {
      "/modkit",       "/zq/zqModkit",     "/zq/zqCamera",      "/zq/zqControl",
      "/zq/zqMediaOp", "/zq/zqMediaList",  "/zq/zqMediaListEx", "/zq/zqMediaMetadata",
      "/zq/zqUpdate",  "/zq/zqSoftUpdate", "/zq/zqTurbo",       "/zq/zqWebcam",
      "/tavro",        "/zq/version",      "/zq/zqCert",        "/zq/zqMediaListRTOSDB"};
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
