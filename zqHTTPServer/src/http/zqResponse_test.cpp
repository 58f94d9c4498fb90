#include "http/zqResponse.h"

#include <civetweb.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "zqtest/TestServer.h"

namespace {

using zqtest::RawGet;
using zqtest::TestServer;

// The exact bytes a response operation puts on the wire.
std::string Answer(TestServer::Handler write) {
  TestServer server(std::move(write));
  return RawGet(server.port(), "/x");
}

TEST(ZqResponse, ErrorPagesCarryAReasonAndTheirLength) {
  for (const bool keep : {false, true}) {
    const std::string page = Answer(
        [keep](mg_connection* c) { http_error_page(c, 505, "Bad HTTP version: [1.1x]", keep); });
    const std::string body = "Error 505: HTTP Version not supported\nBad HTTP version: [1.1x]";
    EXPECT_EQ(page.rfind("HTTP/1.1 505 HTTP Version not supported\r\n", 0), 0u) << page;
    EXPECT_NE(page.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find(keep ? "\r\nConnection: keep-alive\r\n" : "\r\nConnection: close\r\n"),
              std::string::npos)
        << page;
    EXPECT_EQ(zqtest::BodyOf(page), body);
  }
}

TEST(ZqResponse, InternalErrorBodyIsValidJsonInOrder) {
  const std::string body =
      zq_internal_error_body("/zq/zqTurbo", "p=\"1\"", -1, "csi_set error", "zqTurboHandler", 92);
  EXPECT_EQ(body,
            "{\n\"version\": \"6.00\",\n\"url\": \"/zq/zqTurbo\",\n\"query\": \"p=\\\"1\\\"\",\n"
            "\"error_code\": -1,\n\"error_msg\": \"csi_set error\",\n"
            "\"function\": \"zqTurboHandler\",\n\"line\": 92\n}\n");
  EXPECT_TRUE(nlohmann::json::accept(body));

  // A missing function is an empty string.
  EXPECT_NE(zq_internal_error_body("/u", "", 0, "m", nullptr, 1).find("\"function\": \"\",\n"),
            std::string::npos);
}

TEST(ZqResponse, InternalErrorBodyFitsItsBufferAndStillParses) {
  std::string query(3000, '"');  // every byte doubles when escaped
  std::string url(2000, 'u');
  std::string body = zq_internal_error_body(url.c_str(), query.c_str(), -3, "msg", "f", 7);
  EXPECT_LT(body.size(), 1024u);
  auto doc = nlohmann::json::parse(body);
  EXPECT_EQ(doc["error_code"], -3);
  EXPECT_EQ(doc["line"], 7);
}

}  // namespace
