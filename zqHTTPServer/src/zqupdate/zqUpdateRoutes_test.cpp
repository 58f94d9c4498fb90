#include "zqupdate/zqUpdateRoutes.h"

#include <gtest/gtest.h>

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
using zqfw::test::FormBody;

std::string Answer(const ZqAnswer& answer, bool head_only = false) {
  ZqCapture out;
  zq_write_answer(answer, head_only, out);
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
  nlohmann::json Json(ZqRequest& r) { return nlohmann::json::parse(Body(Serve(r))); }

  zqtest::TempDir dir_;
  FakeStatus status_;
  std::unique_ptr<zqfw::SoftUpdate> upload_;
};

TEST_F(SoftUpdateRouteTest, AnswersTheFormTheRequestWordsAndOtherMethods) {
  struct Case {
    const char* method;
    std::string target;
    const char* head;  // the answer's first lines
    int code;          // the JSON answer's status (-1: not JSON)
  };
  const std::string json = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
  const Case cases[] = {
      {"GET", "/zq/zqSoftUpdate", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n", -1},
      {"GET", "/zq/zqSoftUpdate?other=1", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n", -1},
      {"GET", "/zq/zqSoftUpdate?request=progress", json.c_str(), 0},
      // The word is URL-decoded.
      {"GET", "/zq/zqSoftUpdate?x=1&request=pro%67ress", json.c_str(), 0},
      {"GET", "/zq/zqSoftUpdate?request=start", json.c_str(), 10},
      {"GET", "/zq/zqSoftUpdate?request=", json.c_str(), 1},
      // Too long for any word: unknown, not missing (which would answer the form).
      {"GET", "/zq/zqSoftUpdate?request=" + std::string(100, 'p'), json.c_str(), 1},
      {"DELETE", "/zq/zqSoftUpdate?request=progress",
       "HTTP/1.1 405 Method Not Allowed\r\nContent-Type: text/plain; charset=utf-8\r\n", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method + (" " + c.target));
    ZqFakeRequest r(c.method, c.target);
    const std::string out = Serve(r);
    EXPECT_EQ(out.substr(0, strlen(c.head)), c.head);
    if (c.code >= 0) {
      EXPECT_EQ(nlohmann::json::parse(Body(out), nullptr, false).value("status", -2), c.code);
    }
    if (std::string(c.method) == "DELETE") {
      EXPECT_NE(out.find("\r\nAllow: GET, HEAD, POST\r\n"), std::string::npos);
    }
  }
}

TEST_F(SoftUpdateRouteTest, TakesTheRequestWordFromAFormEncodedBody) {
  ZqFakeRequest r("POST", "/zq/zqSoftUpdate");
  r.WithHeader("Content-Type", "application/x-www-form-urlencoded").WithBody("request=progress");
  const nlohmann::json answer = Json(r);
  EXPECT_EQ(answer["status"], 0);
  EXPECT_EQ(answer["bytes_complete"], 0);
}

class UpdateRouteTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(zqsim::StorageCommand({"free", "367001600"}), 0);
    zqfw::Updater::Options o;
    o.card = dir_.path();
    o.screen_ms = 0;
    o.poll_ms = 1;
    o.install_timeout_ms = 5000;
    updater_ = std::make_unique<zqfw::Updater>(&status_, o);
  }
  std::string Serve(ZqRequest& r, const std::string& script = "") {
    return Answer(zq_update_serve(*updater_, r, script));
  }

  zqtest::TempDir dir_;
  FakeStatus status_;
  std::unique_ptr<zqfw::Updater> updater_;
};

TEST_F(UpdateRouteTest, FormPostsToTheEscapedScriptName) {
  ZqFakeRequest r("GET", "/zq/zqUpdate");
  const std::string out = Serve(r, "/x\"><b>&");
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
  EXPECT_EQ(out.substr(0, head.size()), head);
  EXPECT_NE(out.find("\taction=\"/x&quot;&gt;&lt;b&gt;&amp;\">\n"), std::string::npos) << out;
}

// A body that breaks off is proven end to end, over a connection that really breaks.
TEST_F(UpdateRouteTest, AnswersEachOutcomeWithItsStatus) {
  const std::string package = "package bytes";
  struct Case {
    const char* name;
    const char* method;
    std::string body;
    const char* head;  // the answer's first line and type
    const char* body_text;
  };
  const Case cases[] = {
      {"other method", "PUT", "",
       "HTTP/1.1 405 Method Not Allowed\r\nContent-Type: text/plain; charset=utf-8\r\n", nullptr},
      {"no DirectToSD", "POST",
       FormBody()
           .Field("sha1", zq_sha1_hex(package))
           .Field("update", "1")
           .File("file", "fw.zqu", package)
           .Build(),
       "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n", "{ \"status\":\"8\" }"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ZqFakeRequest r(c.method, "/zq/zqUpdate");
    if (!c.body.empty()) {
      r.WithHeader("Content-Type", FormBody::ContentType()).WithBody(c.body, 100);
    }
    const std::string out = Serve(r);
    EXPECT_EQ(out.substr(0, strlen(c.head)), c.head);
    if (c.body_text != nullptr) {
      EXPECT_EQ(Body(out), c.body_text);
    }
  }
}

}  // namespace
