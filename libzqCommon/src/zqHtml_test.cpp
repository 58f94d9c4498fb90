#include "zqcommon/zqHtml.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ZqHtmlEscape, ReplacesExactlyTheMarkupCharacters) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"", ""},
      {"/zq/zqUpdate", "/zq/zqUpdate"},
      {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&#39;f"},
      {"&amp;", "&amp;amp;"},  // escaped again: the input is text, not markup
      {std::string("\0\xff\xc3\xa9", 4), std::string("\0\xff\xc3\xa9", 4)},
  };
  for (const auto& c : cases) EXPECT_EQ(zq_html_escape(c.in), c.out) << c.in;
}

}  // namespace
