#include "server/zqMatch.h"

#include <gtest/gtest.h>

#include <string>

TEST(ZqMatch, PrefixWildcardsAndAlternatives) {
  struct Case {
    const char* pattern;
    const char* text;
    long expected;
  };
  const Case cases[] = {
      {"/zq/zqControl", "/zq/zqControl/status", 13},
      {"/zq/zqControl", "/zq/zqControlX", 13},  // a plain pattern matches any prefix
      {"/zq/zqControl", "/zq/zqCont", -1},
      {"*.thm", "ZQ010001.THM", 12},       // case-insensitive
      {"*.thm", "DCIM/ZQ010001.THM", -1},  // "*" stops at "/"
      {"**.thm$", "DCIM/100TAVRO/ZQ010001.THM", 26},
      {"**.thm$", "a.thm.bak", -1},
      {"?x", "ax", 2},
      {"?x", "", -1},
      {"*.jpg|*.thm", "a.thm", 5},
      {"", "anything", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(zq_match_prefix(c.pattern, c.text), c.expected) << c.pattern << " " << c.text;
  }
}

// Every "*" retries shorter runs; without remembering the tails already tried, a pattern of
// eleven stars over a few hundred characters would take longer than the test's time-out.
TEST(ZqMatch, ManyStarsStayPolynomial) {
  const std::string pattern = "**a**a**a**a**a**a**a**a**a**a**b$";
  const std::string no_b(300, 'a');
  EXPECT_EQ(zq_match_prefix(pattern, no_b.c_str()), -1);
  const std::string with_b = no_b + "b";
  EXPECT_EQ(zq_match_prefix(pattern, with_b.c_str()), static_cast<long>(with_b.size()));
  EXPECT_EQ(zq_match_prefix("*a*a*a*a*a*a*a*b", no_b.c_str()), -1);
}
