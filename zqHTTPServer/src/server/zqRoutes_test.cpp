#include "server/zqRoutes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* UpgradeRoute(const char* uri) {
  const ZqRoute* r = zq_route_for_upgrade(uri);
  return r != nullptr ? r->prefix : nullptr;
}

}  // namespace

TEST(ZqRoutes, UpgradesReachTheRouteNamedOrItsSubpaths) {
  EXPECT_STREQ(UpgradeRoute("/zq/zqMediaListEx"), "/zq/zqMediaListEx");
  EXPECT_STREQ(UpgradeRoute("/zq/zqMediaList/more"), "/zq/zqMediaList");
  EXPECT_STREQ(UpgradeRoute("/tavro/camera/shutter/start"), "/tavro");
  // Anything else is a file.
  EXPECT_EQ(UpgradeRoute("/zq/zqControlX"), nullptr);
  EXPECT_EQ(UpgradeRoute("/"), nullptr);
}

// Firmware updates are for the camera's users alone (User-Endpoints), certificates for the
// tunnel alone (zqTunnel); every other route admits Wireless-Offload, zqTunnel and
// User-Endpoints.
TEST(ZqRoutes, PolicyListsOfEachRoute) {
  for (const ZqRoute& route : zq_routes()) {
    const std::string p = route.prefix;
    std::vector<uint32_t> list;
    for (int n = 0; route.policies[n] != kZqPolicyListEnd; ++n) list.push_back(route.policies[n]);
    const std::vector<uint32_t> want = p == "/zq/zqUpdate" || p == "/zq/zqSoftUpdate"
                                           ? std::vector<uint32_t>{4}
                                       : p == "/zq/zqCert" ? std::vector<uint32_t>{1}
                                                           : std::vector<uint32_t>{3, 1, 4};
    EXPECT_EQ(list, want) << p;
  }
}
