#include "zqpolicy/zqPolicy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/zqRoute.h"

namespace {

constexpr uint32_t kGeneral[] = {3, 1, 4, kZqPolicyListEnd};
constexpr uint32_t kUpdate[] = {4, kZqPolicyListEnd};
constexpr uint32_t kCert[] = {1, kZqPolicyListEnd};

// What a client may do, derived from the policy its class gets in a mode.
struct Access {
  bool general;   // a route with the general list
  bool update;    // the firmware-update routes
  bool cert;      // the certificate route
  bool download;  // GET of a file
};

Access AccessFor(uint32_t source_class, uint32_t mode) {
  uint32_t p = zqpolicy_for(source_class, mode);
  return {zqpolicy_admits(p, true, kGeneral, "GET"), zqpolicy_admits(p, true, kUpdate, "POST"),
          zqpolicy_admits(p, true, kCert, "GET"), zqpolicy_admits(p, false, nullptr, "GET")};
}

bool operator==(const Access& a, const Access& b) {
  return a.general == b.general && a.update == b.update && a.cert == b.cert &&
         a.download == b.download;
}

constexpr Access kNone = {false, false, false, false};
constexpr Access kUser = {true, true, false, true};      // User-Endpoints
constexpr Access kOffload = {true, false, false, true};  // Wireless-Offload
constexpr Access kTunnel = {true, false, true, true};    // zqTunnel

}  // namespace

TEST(ZqPolicy, EveryClassInEveryMode) {
  // Columns: access point, camera as hub, network mode, OTA update, live streaming.
  const Access expected[9][5] = {
      {kUser, kNone, kNone, kNone, kNone},            // UNKNOWN_SELF_SIGNED (TLS pairing: off)
      {kUser, kNone, kOffload, kNone, kNone},         // PAIRED_DEVICE
      {kNone, kNone, kNone, kNone, kNone},            // CA_ERROR
      {kNone, kNone, kNone, kNone, kNone},            // UNKNOWN_USER
      {kNone, kNone, kNone, kNone, kNone},            // KNOWN_CA_ERROR
      {kUser, kNone, kOffload, kNone, kNone},         // REGISTERED_DEVICE
      {kUser, kNone, kNone, kNone, kNone},            // NON_TLS_CONNECTION
      {kTunnel, kTunnel, kTunnel, kTunnel, kTunnel},  // INTERNAL_CONNECTION_8000
      {kNone, kNone, kNone, kNone, kNone},            // INTERNAL_CONNECTION_8001
  };
  for (uint32_t c = 0; c < 9; ++c) {
    for (uint32_t m = 0; m < 5; ++m) {
      EXPECT_TRUE(AccessFor(c, m) == expected[c][m])
          << zqpolicy_class_name(c) << " in " << zqpolicy_mode_name(m);
    }
  }
  EXPECT_EQ(zqpolicy_for(0, 2), 2u);  // the disabled pairing policy is still named
  EXPECT_STREQ(zqpolicy_name(2), "TLS-Pairing(disabled)");
}

TEST(ZqPolicy, FileAccessOnlyByGetOrHead) {
  for (const char* method : {"GET", "HEAD"})
    EXPECT_TRUE(zqpolicy_admits(4, false, nullptr, method));
  for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS", "get"}) {
    EXPECT_FALSE(zqpolicy_admits(4, false, nullptr, method)) << method;
    EXPECT_FALSE(zqpolicy_admits(1, false, nullptr, method)) << method;
  }
}

TEST(ZqPolicy, ClassificationByPortAddressAndTls) {
  EXPECT_EQ(zqpolicy_source_class(8000, "127.0.0.1", nullptr), INTERNAL_CONNECTION_8000);
  EXPECT_EQ(zqpolicy_source_class(8001, "127.0.0.1", nullptr), INTERNAL_CONNECTION_8001);
  EXPECT_EQ(zqpolicy_source_class(80, "127.0.0.1", nullptr), CONN_SOURCE_UNKNOWN);
  EXPECT_EQ(zqpolicy_source_class(8080, "127.0.0.1", nullptr), CONN_SOURCE_UNKNOWN);
  EXPECT_EQ(zqpolicy_source_class(80, "192.168.72.20", nullptr), NON_TLS_CONNECTION);
  EXPECT_EQ(zqpolicy_source_class(8000, "192.168.72.20", nullptr), NON_TLS_CONNECTION);
  EXPECT_EQ(zqpolicy_source_class(80, "0.0.0.0", nullptr), CONN_SOURCE_UNKNOWN);
  // With TLS information the class is the OR of its two words, whatever the port.
  ZqTlsInfo tls = {{1, 4}};
  EXPECT_EQ(zqpolicy_source_class(8000, "127.0.0.1", &tls), REGISTERED_DEVICE);
  tls = {{0, 0}};
  EXPECT_EQ(zqpolicy_source_class(80, "10.1.1.1", &tls), UNKNOWN_SELF_SIGNED);
}

TEST(ZqPolicy, WiredAddressFromIdentityText) {
  EXPECT_EQ(zqpolicy_wired_address("ABCDEFGHIJK341XYZUVW"), "172.23.141.51");
  EXPECT_EQ(zqpolicy_wired_address("ABCDEFGHIJKx41"), "172.29.141.51");  // 12th not a digit
  EXPECT_EQ(zqpolicy_wired_address("ABCDEFGHIJK3x1"), "172.23.199.51");  // 13th not a digit
  EXPECT_EQ(zqpolicy_wired_address("ABCDEFGHIJK34"), "172.2.1.51");      // 13 characters
  EXPECT_EQ(zqpolicy_wired_address(""), "172.2.1.51");
}

TEST(ZqPolicy, NamesOutOfRangeAreInvalid) {
  EXPECT_STREQ(zqpolicy_mode_name(7), "INVALID");
  EXPECT_STREQ(zqpolicy_mode_name(4), "Live Streaming");
  EXPECT_STREQ(zqpolicy_class_name(9), "CONN_SOURCE_UNKNOWN");
  EXPECT_STREQ(zqpolicy_class_name(10), "INVALID");
}

TEST(ZqPolicy, DecisionOverEveryClassModeRouteAndMethod) {
  // The table as the camera documents it: class x mode -> policy name.
  const char* table[9][5] = {
      {"User-Endpoints", "Allow-None", "TLS-Pairing(disabled)", "Allow-None", "Allow-None"},
      {"User-Endpoints", "Allow-None", "Wireless-Offload", "Allow-None", "Allow-None"},
      {"Allow-None", "Allow-None", "Allow-None", "Allow-None", "Allow-None"},
      {"Allow-None", "Allow-None", "Allow-None", "Allow-None", "Allow-None"},
      {"Allow-None", "Allow-None", "Allow-None", "Allow-None", "Allow-None"},
      {"User-Endpoints", "Allow-None", "Wireless-Offload", "Allow-None", "Allow-None"},
      {"User-Endpoints", "Allow-None", "Allow-None", "Allow-None", "Allow-None"},
      {"zqTunnel", "zqTunnel", "zqTunnel", "zqTunnel", "zqTunnel"},
      {"Allow-None", "Allow-None", "Allow-None", "Allow-None", "Allow-None"},
  };
  // Routes with the daemon's three allowed lists (server/zqRoutes_test.cpp checks that the
  // table gives them to these routes).
  const ZqRoute kControl = {"/zq/zqControl", nullptr, kGeneral};
  const ZqRoute kUpdateRoute = {"/zq/zqUpdate", nullptr, kUpdate};
  const ZqRoute kCertRoute = {"/zq/zqCert", nullptr, kCert};
  const ZqRoute* control = &kControl;
  const ZqRoute* update = &kUpdateRoute;
  const ZqRoute* cert = &kCertRoute;
  using V = ZqPolicyVerdict;
  for (uint32_t c = 0; c < 11; ++c) {
    for (uint32_t m = 0; m < 8; ++m) {
      SCOPED_TRACE(testing::Message() << "class " << c << " mode " << m);
      if (c > 8 || m > 4) {
        for (const ZqRoute* r : {control, update, cert, static_cast<const ZqRoute*>(nullptr)})
          EXPECT_EQ(zqpolicy_decide(c, m, r, "GET"), V::kInvalid);
        continue;
      }
      const std::string policy = table[c][m];
      ASSERT_STREQ(zqpolicy_name(zqpolicy_for(c, m)), policy.c_str());
      const bool handlers =
          policy == "zqTunnel" || policy == "Wireless-Offload" || policy == "User-Endpoints";
      // The general list holds every handler policy; updates only User-Endpoints;
      // certificates only zqTunnel. Files need a handler policy and GET or HEAD.
      for (const char* method : {"GET", "HEAD", "POST", "PUT", "DELETE"}) {
        const bool read = strcmp(method, "GET") == 0 || strcmp(method, "HEAD") == 0;
        EXPECT_EQ(zqpolicy_decide(c, m, control, method), handlers ? V::kAdmit : V::kRefuseHandler);
        EXPECT_EQ(zqpolicy_decide(c, m, update, method),
                  policy == "User-Endpoints" ? V::kAdmit : V::kRefuseHandler);
        EXPECT_EQ(zqpolicy_decide(c, m, cert, method),
                  policy == "zqTunnel" ? V::kAdmit : V::kRefuseHandler);
        EXPECT_EQ(zqpolicy_decide(c, m, nullptr, method),
                  handlers && read ? V::kAdmit : V::kRefuseFile)
            << method;
      }
    }
  }
}
