#include "zqcommon/zqUrl.h"

#include <gtest/gtest.h>

namespace {

TEST(ZqUrl, DecodesEscapesAndRefusesBrokenOnes) {
  struct Case {
    std::string in;
    bool plus;
    bool ok;
    std::string out;
  };
  const Case cases[] = {
      {"a%20b%2Fc%2fd", true, true, "a b/c/d"},
      {"a+b", true, true, "a b"},
      {"a+b", false, true, "a+b"},
      {"%00%ff", false, true, std::string("\0\xff", 2)},
      {"", true, true, ""},
      {"%4", true, false, ""},
      {"%4g", true, false, ""},
  };
  for (const Case& c : cases) {
    std::string out = "junk";
    EXPECT_EQ(zq_url_decode(c.in, c.plus, &out), c.ok) << c.in;
    if (c.ok) {
      EXPECT_EQ(out, c.out) << c.in;
    }
  }
}

TEST(ZqUrl, FormValueIsTheFirstPairWithTheName) {
  EXPECT_EQ(zq_form_value("request=progress", "request"), "progress");
  EXPECT_EQ(zq_form_value("a=1&request=del%65te&request=start", "request"), "delete");
  EXPECT_EQ(zq_form_value("req%75est=start+now", "request"), "start now");
  EXPECT_EQ(zq_form_value("xrequest=1&request", "request"), "");
  EXPECT_EQ(zq_form_value("&&request=&", "request"), "");
  EXPECT_EQ(zq_form_value("requests=1", "request"), std::nullopt);
  EXPECT_EQ(zq_form_value("request=%zz&request=start", "request"), std::nullopt);
}

}  // namespace
