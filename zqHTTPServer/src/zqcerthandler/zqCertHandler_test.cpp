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

// The endpoint answers one request at a time; the route turns its refusal of a second into a
// 503 rather than a JSON answer.
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
