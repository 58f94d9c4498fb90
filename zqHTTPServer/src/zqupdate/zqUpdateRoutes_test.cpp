#include "zqupdate/zqUpdateRoutes.h"

#include <gtest/gtest.h>

#include <fstream>
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
using zqfw::test::UploadPiece;

// A request whose body breaks off after `keep` bytes, as a dropped or stalled connection's.
class BrokenRequest final : public ZqRequest {
 public:
  BrokenRequest(ZqFakeRequest& inner, size_t keep) : inner_(inner), keep_(keep) {}
  std::string_view Method() const override { return inner_.Method(); }
  std::string_view Uri() const override { return inner_.Uri(); }
  std::string_view Query() const override { return inner_.Query(); }
  bool HasQuery() const override { return inner_.HasQuery(); }
  const char* Header(std::string_view name) const override { return inner_.Header(name); }
  std::string_view Client() const override { return inner_.Client(); }
  int PortRole() const override { return inner_.PortRole(); }
  bool Tls() const override { return false; }
  bool KeepAlive() const override { return inner_.KeepAlive(); }
  int64_t ContentLength() const override { return inner_.ContentLength(); }
  long Read(void* buf, size_t n) override {
    if (keep_ == 0) return -1;
    const long got = inner_.Read(buf, std::min(n, keep_));
    keep_ -= static_cast<size_t>(got);
    return got;
  }

 private:
  ZqFakeRequest& inner_;
  size_t keep_;
};

std::string Answer(const ZqAnswer& answer, bool head_only = false) {
  ZqCapture out;
  zq_write_answer(answer, head_only, out);
  return out.bytes;
}

std::string Body(const std::string& bytes) { return bytes.substr(bytes.find("\r\n\r\n") + 4); }

ZqFakeRequest Post(const std::string& body, const std::string& target = "/zq/zqSoftUpdate") {
  ZqFakeRequest r("POST", target);
  r.WithHeader("Content-Type", FormBody::ContentType()).WithBody(body, 1000);
  return r;
}

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

TEST_F(SoftUpdateRouteTest, UploadBrokenOffKeepsOnlyWhatArrivedAndResumes) {
  std::string package(50000, '\0');
  for (size_t i = 0; i < package.size(); ++i) package[i] = static_cast<char>(i * 131 + 7);
  const std::string sha1 = zq_sha1_hex(package);

  // The first piece breaks off inside its data: what arrived is kept, nothing more.
  const std::string first = UploadPiece(sha1, "0", "false", package);
  const size_t data_at = first.find(package.substr(0, 64));
  ZqFakeRequest inner = Post(first);
  BrokenRequest broken(inner, data_at + 20000);
  const nlohmann::json answer = nlohmann::json::parse(Body(Serve(broken)));
  EXPECT_NE(answer["status"], 0);

  ZqFakeRequest progress("GET", "/zq/zqSoftUpdate?request=progress");
  const nlohmann::json p = Json(progress);
  const uint64_t have = p["bytes_complete"];
  EXPECT_LE(have, 20000u);
  EXPECT_EQ(zqtest::ReadFile(dir_.path() + "/fwupdate/firmware.partial"), package.substr(0, have));

  // The rest, from where the file ends.
  ZqFakeRequest rest = Post(UploadPiece(sha1, std::to_string(have), "true", package.substr(have)));
  const nlohmann::json done = Json(rest);
  EXPECT_EQ(done["status"], 0);
  EXPECT_EQ(done["complete"], true);
  EXPECT_EQ(zqtest::ReadFile(dir_.path() + "/fwupdate/firmware.zip"), package);
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

TEST_F(UpdateRouteTest, AnswersEachOutcomeWithItsStatus) {
  const std::string package = "package bytes";
  struct Case {
    const char* name;
    const char* method;
    std::string body;
    size_t keep;       // body bytes that arrive before the connection breaks
    const char* head;  // the answer's first line and type
    const char* body_text;
  };
  const std::string post = FormBody()
                               .Field("DirectToSD", "1")
                               .Field("sha1", zq_sha1_hex(package))
                               .Field("update", "1")
                               .File("file", "fw.zqu", package)
                               .Build();
  const Case cases[] = {
      {"other method", "PUT", "", 0,
       "HTTP/1.1 405 Method Not Allowed\r\nContent-Type: text/plain; charset=utf-8\r\n", nullptr},
      {"broken body", "POST", post, post.size() / 2,
       "HTTP/1.1 500 Internal Server Error\r\nContent-Type: application/json\r\n",
       "{ \"Status\": \"Error reading form data\"}\r\n"},
      {"no DirectToSD", "POST",
       FormBody()
           .Field("sha1", zq_sha1_hex(package))
           .Field("update", "1")
           .File("file", "fw.zqu", package)
           .Build(),
       std::string::npos, "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n",
       "{ \"status\":\"8\" }"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ZqFakeRequest inner(c.method, "/zq/zqUpdate");
    if (!c.body.empty()) {
      inner.WithHeader("Content-Type", FormBody::ContentType()).WithBody(c.body, 100);
    }
    BrokenRequest r(inner, c.keep);
    const std::string out = Serve(r);
    EXPECT_EQ(out.substr(0, strlen(c.head)), c.head);
    if (c.body_text != nullptr) {
      EXPECT_EQ(Body(out), c.body_text);
    }
  }
  // The broken upload left nothing behind and told the camera.
  EXPECT_FALSE(std::ifstream(dir_.path() + "/MISC/firmware.zqu").good());
  EXPECT_FALSE(std::ifstream(dir_.path() + "/MISC/firmware.zqu.tmp").good());
  EXPECT_EQ(status_.Written(zqfw::kCsiOtaState).back(), zqfw::kOtaUploadFailed);
}

}  // namespace
