#include "zqupdate/zqUpdateRoutes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "http/zqFakeRequest.h"
#include "http/zqWriter.h"
#include "zqFirmwareTestSupport.h"
#include "zqsim/SimFirmware.h"
#include "zqtest/TempDir.h"

namespace {

using zqfw::test::FakeStatus;

std::string Answer(const ZqAnswer& answer) {
  ZqCapture out;
  zq_write_answer(answer, false, out);
  return out.bytes;
}

std::string Body(const std::string& bytes) { return bytes.substr(bytes.find("\r\n\r\n") + 4); }

class SoftUpdateRouteTest : public testing::Test {
 protected:
  void SetUp() override {
    zqsim::FirmwareReset();
    ASSERT_EQ(zqsim::StorageCommand({"free", "367001600"}), 0);
    zqfw::SoftUpdate::Options o;
    o.folder = dir_.path() + "/fwupdate";
    o.card = dir_.path();
    upload_ = std::make_unique<zqfw::SoftUpdate>(&status_, o);
  }
  std::string Serve(ZqRequest& r) { return Answer(zq_soft_update_serve(*upload_, r)); }

  zqtest::TempDir dir_;
  FakeStatus status_;
  std::unique_ptr<zqfw::SoftUpdate> upload_;
};

// How the route reads the request word; the answers to each word are the upload's own, and
// the other methods' 405 is pinned end to end.
TEST_F(SoftUpdateRouteTest, ReadsTheRequestWord) {
  struct Case {
    std::string target;
    const char* head;  // the answer's first lines
    int code;          // the JSON answer's status (-1: not JSON)
  };
  const std::string json = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
  const Case cases[] = {
      {"/zq/zqSoftUpdate?other=1", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n", -1},
      {"/zq/zqSoftUpdate?x=1&request=pro%67ress", json.c_str(), 0},
      {"/zq/zqSoftUpdate?request=", json.c_str(), 1},
      // Too long for any word: unknown, not missing (which would answer the form).
      {"/zq/zqSoftUpdate?request=" + std::string(100, 'p'), json.c_str(), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    ZqFakeRequest r("GET", c.target);
    const std::string out = Serve(r);
    EXPECT_EQ(out.substr(0, strlen(c.head)), c.head);
    if (c.code >= 0) {
      EXPECT_EQ(nlohmann::json::parse(Body(out), nullptr, false).value("status", -2), c.code);
    }
  }
}

TEST(UpdateRoute, OtherMethodsAreNotAllowed) {
  ASSERT_EQ(zqsim::StorageCommand({"free", "367001600"}), 0);
  zqtest::TempDir dir;
  FakeStatus status;
  zqfw::Updater::Options o;
  o.card = dir.path();
  zqfw::Updater updater(&status, o);
  ZqFakeRequest r("PUT", "/zq/zqUpdate");
  const std::string out = Answer(zq_update_serve(updater, r, ""));
  EXPECT_EQ(out.substr(0, out.find("\r\n")), "HTTP/1.1 405 Method Not Allowed");
  EXPECT_NE(out.find("\r\nAllow: GET, HEAD, POST\r\n"), std::string::npos);
}

}  // namespace
