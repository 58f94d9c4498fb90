#include "http/zqResponse.h"

#include <gtest/gtest.h>

#include <regex>

#include <nlohmann/json.hpp>

#include "http/zqWriter.h"

namespace {

// The error page's exact bytes, its date (the one part that varies) replaced by "DATE".
std::string PageBytes(int status, const char* text, bool keep, bool head_only) {
  ZqCapture out;
  EXPECT_TRUE(zq_write_answer(zq_error_page(status, text, keep), head_only, out));
  EXPECT_EQ(out.closed, !keep);  // "Connection: close" is what happens
  static const std::regex kDate(
      "\r\nDate: [A-Z][a-z]{2}, \\d{2} [A-Z][a-z]{2} \\d{4} "
      "\\d{2}:\\d{2}:\\d{2} GMT\r\n");
  return std::regex_replace(out.bytes, kDate, "\r\nDate: DATE\r\n");
}

TEST(ZqResponse, ErrorPagesKeepTheirBytes) {
  constexpr char kHead[] =
      "Cache-Control: no-cache, no-store, must-revalidate, private, max-age=0\r\nExpires: 0\r\n"
      "Pragma: no-cache\r\nContent-Type: text/plain; charset=utf-8\r\nDate: DATE\r\n";
  // The pages the file sender and the access policy give are pinned end to end.
  // No text: the reason line alone. HEAD: the head alone, its length still the body's.
  EXPECT_EQ(PageBytes(400, nullptr, false, true),
            std::string("HTTP/1.1 400 Bad Request\r\n") + kHead +
                "Content-Length: 23\r\nConnection: close\r\n\r\n");
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
