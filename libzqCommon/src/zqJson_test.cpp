#include "zqcommon/zqJson.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

TEST(ZqJson, EscapedTextAlwaysParsesBackToItself) {
  const std::string cases[] = {"plain",       "",       "quote\" back\\slash", "ctl\x01\x1f\n\t",
                               "caf\xc3\xa9", "/slash/"};
  for (const std::string& s : cases) {
    std::string doc = "\"" + zq_json_escape(s) + "\"";
    EXPECT_EQ(nlohmann::json::parse(doc).get<std::string>(), s) << doc;
  }
  EXPECT_EQ(zq_json_escape("a\"b"), "a\\\"b");
  // Invalid UTF-8 is replaced rather than passed through.
  EXPECT_EQ(nlohmann::json::parse("\"" + zq_json_escape("x\xff") + "\"").get<std::string>(),
            "x\xef\xbf\xbd");
}
