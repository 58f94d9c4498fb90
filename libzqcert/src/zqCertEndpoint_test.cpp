#include "zqcert/zqCertEndpoint.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "csi.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimCertStore.h"
#include "zqsim/SimState.h"
#include "zqtest/TempDir.h"
#include "zqtest/TestCertificate.h"

namespace zqcert {
namespace {

// Form-encoding as a peer does it: unreserved characters kept, blanks as '+'.
std::string FormEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += ch;
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

class CertEndpointTest : public testing::Test {
 protected:
  void SetUp() override {
    zqsim::ResetCamera();
    zqsim::CertReset();
    CertEndpoint::Options o = CertEndpoint::DefaultOptions(&csi_mutex_);
    o.camera_identity = [this] {
      if (identity_hook_) identity_hook_();
      return std::string("C3\"SN");
    };
    endpoint_ = std::make_unique<CertEndpoint>(o);
  }

  nlohmann::json Get(const std::optional<std::string>& query) {
    CertRequest r;
    r.method = "GET";
    r.uri = "/zq/zqCert";
    r.remote_addr = "127.0.0.1";
    r.remote_port = 40000;
    if (query) r.query = *query;
    const CertReply reply = endpoint_->Handle(r);
    EXPECT_EQ(reply.kind, CertReply::Kind::kJson);
    return nlohmann::json::parse(reply.body, nullptr, false);
  }

  // Sends `pem` in chunks of at most `chunk` encoded bytes; the answer to the last one.
  nlohmann::json PutCert(const std::string& pem, size_t chunk = 512) {
    const std::string encoded = FormEncode(pem);
    const size_t total = (encoded.size() + chunk - 1) / chunk;
    nlohmann::json answer;
    for (size_t i = 0; i < total; ++i) {
      const std::string data = encoded.substr(i * chunk, chunk);
      answer = Get(
          "t=putcert&protocol_version=1&st_SN=S&type=client&length=" + std::to_string(pem.size()) +
          "&cn=" + std::to_string(i) + "&tc=" + std::to_string(total) +
          "&cl=" + std::to_string(data.size()) + "&token=abc&data=" + data);
      if (i + 1 < total) {
        EXPECT_EQ(answer["status"], "OK chunk") << i;
      }
    }
    return answer;
  }

  static nlohmann::json Answer(const std::string& status, const std::string& token) {
    return {{"cam_SN", "C3\"SN"}, {"status", status}, {"token", token}, {"protocol_version", "1"}};
  }

  zqtest::TempDir dir_;
  std::function<void()> identity_hook_;  // runs inside each answer, while the request is served
  ZqMutex csi_mutex_;
  std::unique_ptr<CertEndpoint> endpoint_;
};

TEST(CertAnswerJson, KeepsTheFieldOrderAndEscapesEveryText) {
  EXPECT_EQ(CertAnswerJson("SN1", "OK chunk", "t", 1, nullptr),
            "{\"cam_SN\":\"SN1\", \"status\":\"OK chunk\", \"token\":\"t\", "
            "\"protocol_version\":\"1\"}");
  const CertObject ca{"ca", 4, "P\nQ"};
  EXPECT_EQ(CertAnswerJson("S\"N", "OK", "a\\b", 1, &ca),
            "{\"cam_SN\":\"S\\\"N\", \"status\":\"OK\", \"token\":\"a\\\\b\", "
            "\"protocol_version\":\"1\", \"cert\":{\"type\":\"ca\", \"length\":\"4\", "
            "\"data\":\"P\\nQ\"}}");
}

TEST_F(CertEndpointTest, APutCertificateIsStoredUnderItsSubjectHash) {
  const std::string pem = zqtest::TestCertificatePem("phone one");
  EXPECT_EQ(PutCert(pem), Answer("certificate complete", "abc"));
  const std::string stored = zq_path(zqsim::kCertClientDir) + zqtest::SubjectHash(pem) + ".0";
  EXPECT_EQ(zqtest::ReadFile(stored), pem);
  EXPECT_EQ(PutCert("not a certificate"), Answer("certificate write error", "abc"));
}

TEST_F(CertEndpointTest, RefusalsAnswerTheirStatus) {
  nlohmann::json empty = Answer("empty query", "");
  empty["protocol_version"] = "0";  // nothing asked yet
  EXPECT_EQ(Get(std::nullopt), empty);
  nlohmann::json version = Answer("incorrect protocol version", "q");
  version["protocol_version"] = "0";
  EXPECT_EQ(Get("t=getcert&protocol_version=7&token=q"), version);
}

// A request that arrives while another is served is refused at once, not queued.
TEST_F(CertEndpointTest, ASecondRequestMeanwhileIsBusy) {
  std::promise<void> inside;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  bool first_call = true;
  identity_hook_ = [&] {
    if (!first_call) return;
    first_call = false;
    inside.set_value();
    released.wait();
  };
  std::thread first([&] { Get("t=getcert&protocol_version=1&type=ca&token=x"); });
  inside.get_future().wait();
  CertRequest r;
  r.query = "t=getcert&protocol_version=1&type=cam&token=y";
  const CertReply busy = endpoint_->Handle(r);
  release.set_value();
  first.join();
  EXPECT_EQ(busy.kind, CertReply::Kind::kBusy);
  EXPECT_EQ(Get("t=getcert&protocol_version=1&type=cam&token=y")["token"], "y");
}

}  // namespace
}  // namespace zqcert
