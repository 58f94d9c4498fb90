#include "server/zqMatch.h"

#include <gtest/gtest.h>

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
