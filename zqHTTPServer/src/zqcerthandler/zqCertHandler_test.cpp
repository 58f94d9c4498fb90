#include "zqcerthandler/zqCertHandler.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "http/zqFakeRequest.h"
#include "http/zqWriter.h"

namespace {

std::string Serve(zqcert::CertEndpoint& endpoint, const std::string& target) {
  ZqFakeRequest r("GET", target);
  ZqCapture out;
  zq_write_answer(zq_cert_serve(endpoint, r), false, out);
  return out.bytes;
}

nlohmann::json Json(const std::string& answer) {
  return nlohmann::json::parse(answer.substr(answer.find("\r\n\r\n") + 4), nullptr, false);
}

zqcert::CertEndpoint::Options Options() {
  zqcert::CertEndpoint::Options o;
  o.camera_identity = [] { return std::string("C3\"501"); };
  return o;
}

TEST(CertRoute, AnswersJsonWithItsLength) {
  zqcert::CertEndpoint endpoint(Options());
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: ";
  struct Case {
    const char* target;
    const char* status;
  };
  for (const Case& c :
       {Case{"/zq/zqCert", "empty query"}, Case{"/zq/zqCert?", "empty query"},
        Case{"/zq/zqCert?t=getcert&protocol_version=2&token=a", "incorrect protocol version"},
        // A chunk is counted as sent, URL-encoded; it is decoded once complete.
        Case{"/zq/zqCert?t=putcert&protocol_version=1&st_SN=C3&type=client&token=a&length=9"
             "&cn=0&tc=2&cl=4&data=%41B",
             "OK chunk"}}) {
    SCOPED_TRACE(c.target);
    const std::string out = Serve(endpoint, c.target);
    EXPECT_EQ(out.substr(0, head.size()), head);
    const nlohmann::json j = Json(out);
    ASSERT_FALSE(j.is_discarded()) << out;
    EXPECT_EQ(j["status"], c.status);
    EXPECT_EQ(j["cam_SN"], "C3\"501");
    const size_t length = std::stoul(out.substr(head.size()));
    EXPECT_EQ(out.size() - out.find("\r\n\r\n") - 4, length);
  }
}

TEST(CertRoute, RefusesARequestWhileAnotherIsServed) {
  // The first request is held inside the endpoint (reading the camera's identity) while the
  // second arrives.
  std::mutex mu;
  std::condition_variable cv;
  bool inside = false;
  bool release = false;
  zqcert::CertEndpoint::Options o;
  o.camera_identity = [&] {
    std::unique_lock<std::mutex> lock(mu);
    inside = true;
    cv.notify_all();
    cv.wait(lock, [&] { return release; });
    return std::string("C3");
  };
  zqcert::CertEndpoint endpoint(o);
  std::string first;
  std::thread t([&] { first = Serve(endpoint, "/zq/zqCert?t=getcert&protocol_version=1&type=x"); });
  {
    std::unique_lock<std::mutex> lock(mu);
    cv.wait(lock, [&] { return inside; });
  }
  const std::string second = Serve(endpoint, "/zq/zqCert?t=getcert&protocol_version=1&type=cam");
  {
    std::lock_guard<std::mutex> lock(mu);
    release = true;
  }
  cv.notify_all();
  t.join();
  EXPECT_EQ(second.substr(0, 34), "HTTP/1.1 503 Service Unavailable\r\n");
  EXPECT_EQ(Json(first)["status"], "unknown command");
}

}  // namespace
