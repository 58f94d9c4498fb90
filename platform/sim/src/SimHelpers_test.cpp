#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "zqCtrlD.h"

TEST(SimHelpers, ParseParamFindsKeysOnlyAtParameterStarts) {
  std::string v;
  EXPECT_TRUE(parseParam("p=1", "p=", v));
  EXPECT_EQ(v, "1");
  EXPECT_TRUE(parseParam("mode=2&sub_mode=", "sub_mode=", v));
  EXPECT_EQ(v, "");
  EXPECT_TRUE(parseParam("x=1&p=%0e%0a&y=2", "p=", v));
  EXPECT_EQ(v, "%0e%0a");  // raw, not decoded
  EXPECT_FALSE(parseParam("sub_mode=2", "mode=", v));
  EXPECT_FALSE(parseParam("", "p=", v));
  EXPECT_FALSE(parseParam(nullptr, "p=", v));
}

TEST(SimHelpers, ErrorResponseIsAWholeAnswerWithValidJson) {
  std::string out;
  http_print_error_response_ex(out, "command/x", "a=\"q\"\x01", "400 Bad Request\r\n", -3,
                               "ZQ_ERR_INVALID_PARAM", "zqcontrol_cgi_handler", 12);
  ASSERT_EQ(out.rfind("HTTP/1.1 400 Bad Request\r\nContent-Type: application/json\r\n", 0), 0u);
  size_t body = out.find("\r\n\r\n");
  ASSERT_NE(body, std::string::npos);
  std::string json = out.substr(body + 4);
  EXPECT_NE(out.find("Content-Length: " + std::to_string(json.size()) + "\r\n"), std::string::npos);
  auto doc = nlohmann::json::parse(json);
  EXPECT_EQ(doc["error"], -3);
  EXPECT_EQ(doc["params"], "a=\"q\"\x01");

  out.clear();
  http_print_error_response_ex(out, "getCalData", "", "204 No Content\r\n", -18, "", "f", 1);
  EXPECT_EQ(out, "HTTP/1.1 204 No Content\r\n\r\n");  // no body after a 204
}

TEST(SimHelpers, UrlDecodeAndPrintf) {
  EXPECT_EQ(urlDecode("a%20b%2fc+d%zz"), "a b/c+d%zz");
  std::string s = "x";
  ss_printf(s, "%d-%s", 7, std::string(300, 'y').c_str());
  EXPECT_EQ(s.size(), 1 + 2 + 300u);
}
