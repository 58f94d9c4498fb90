#include "zqcerthandler/zqCertHandler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>

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
  std::promise<void> inside;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> calls{0};
  zqcert::CertEndpoint::Options o;
  o.camera_identity = [&] {
    if (calls++ == 0) inside.set_value();
    released.wait();
    return std::string("C3");
  };
  zqcert::CertEndpoint endpoint(o);
  std::future<std::string> first = std::async(std::launch::async, [&] {
    return Serve(endpoint, "/zq/zqCert?t=getcert&protocol_version=1&type=x");
  });
  inside.get_future().wait();
  const std::string second = Serve(endpoint, "/zq/zqCert?t=getcert&protocol_version=1&type=cam");
  release.set_value();
  EXPECT_EQ(second.substr(0, 34), "HTTP/1.1 503 Service Unavailable\r\n");
  EXPECT_EQ(Json(first.get())["status"], "unknown command");
}

}  // namespace
