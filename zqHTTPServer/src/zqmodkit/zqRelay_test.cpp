#include "zqmodkit/zqRelay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/zqFakeRequest.h"
#include "http/zqWriter.h"
#include "zqcamera/zqCamera.h"
#include "zqmodkit/zqModkit.h"

namespace {

constexpr const char* kModkit[] = {"/modkit/", "/zq/zqModkit/"};
constexpr const char* kCamera[] = {"/camera/"};

TEST(ZqRelay, QueryComesFromThePathMarkerOrTheQueryString) {
  EXPECT_EQ(zq_relay_query("/modkit/XY", "", kModkit), "cmd=XY");
  EXPECT_EQ(zq_relay_query("/zq/zqModkit/cv", "t=1", kModkit), "cmd=cv&t=1");
  EXPECT_EQ(zq_relay_query("/modkit/", nullptr, kModkit), "cmd=");
  EXPECT_EQ(zq_relay_query("/modkit", "cmd=XY&p=1", kModkit), "cmd=XY&p=1");
  EXPECT_EQ(zq_relay_query("/modkit", nullptr, kModkit), "");
  // The camera marker is lower case: "/zq/zqCamera/XY" has none.
  EXPECT_EQ(zq_relay_query("/zq/zqCamera/XY", "cmd=AB", kCamera), "cmd=AB");
  EXPECT_EQ(zq_relay_query("/zq/zqCamera/camera/XY", nullptr, kCamera), "cmd=XY");

  const std::string long_query(400, 'q');
  EXPECT_EQ(zq_relay_query("/modkit", long_query.c_str(), kModkit), long_query.substr(0, 255));
  EXPECT_EQ(zq_relay_query("/modkit/XY", long_query.c_str(), kModkit).size(), 255u);
}

TEST(ZqRelay, ArgumentEscapesAreDecodedOnceMore) {
  struct Case {
    const char* text;
    int result;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"%ff%FF%aB", 3, {0xff, 0xff, 0xab}},
      {"", 0, {}},
      {"%00x", 2, {0x00, 'x'}},
      {"%1", -1, {}},
      {"%1g", -1, {}},
      {"abcde", -1, {}},  // one byte more than fits
  };
  for (const Case& c : cases) {
    uint8_t out[4] = {};
    const int n = zq_relay_decode_arg(c.text, out, sizeof out);
    EXPECT_EQ(n, c.result) << c.text;
    const std::vector<uint8_t> got(out, out + (n > 0 ? n : 0));
    EXPECT_EQ(got, c.bytes) << c.text;
  }
}

}  // namespace

// Answers given before any message goes to the camera: the version without a command, and
// the refusals of what cannot be relayed as given.
TEST(ZqRelay, AnswersWithoutAnExchange) {
  const std::string kLegacyHead =
      "Allow: GET \r\nAccept-Ranges: bytes\r\nCache-Control: no-cache\r\nCache-Control: "
      "no-store\r\nConnection: Keep-Alive\r\nServer: Tavro Web Server v1.1\r\nContent-Type: "
      "text/plain\r\n";
  auto refusal = [&](const std::string& text) {
    return "HTTP/1.1 400 Bad Request\r\n" + kLegacyHead +
           "Content-Length: " + std::to_string(text.size()) + "\r\n\r\n" + text;
  };
  const std::string kVersionBody = "{\"status\":\"0\",\n\"version\":\"6.00\"}\r\n";
  struct {
    const char* target;
    ZqHandler handler;
    std::string answer;
  } const cases[] = {
      {"/modkit", zqModkit,
       "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 34\r\n\r\n" + kVersionBody},
      {"/zq/zqCamera", zqCamera,
       "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 34\r\n\r\n" +
           kVersionBody},
      {"/modkit/XYZABCDE", zqModkit, refusal("Bad request: cmd or p too long.")},
      {"/modkit/XY?p=0123456789012345678901234567890123", zqModkit,
       refusal("Bad request: cmd or p too long.")},
      {"/zq/zqCamera?cmd=XY&p=%25zz", zqCamera, refusal("Bad request: invalid escape in p.")},
      {"/zq/zqModkit/XY?p=%25", zqModkit, refusal("Bad request: invalid escape in p.")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    ZqFakeRequest request("GET", c.target);
    ZqCapture out;
    zq_write_answer(c.handler(request), false, out);
    EXPECT_EQ(out.bytes, c.answer);
  }
}
