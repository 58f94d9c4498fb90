#include "zqcommon/zqQuery.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ZqQuery, ParametersByNameAndOccurrence) {
  struct {
    const char* query;
    const char* name;
    size_t max;
    int occurrence;
    ZqParam result;
    const char* value;
  } const cases[] = {
      {"a=1&p=%2Fx+y", "p", 8, 0, ZqParam::kFound, "/x y"},
      {"P=1", "p", 8, 0, ZqParam::kFound, "1"},  // names ignore case
      {"p=1&p=2", "p", 8, 1, ZqParam::kFound, "2"},
      {"p=1&p=2", "p", 8, 2, ZqParam::kMissing, ""},
      {"pp=1", "p", 8, 0, ZqParam::kMissing, ""},
      {"a=p=1", "p", 8, 0, ZqParam::kMissing, ""},  // inside another value
      {"p&p=3", "p", 8, 0, ZqParam::kFound, "3"},
      {"p=", "p", 8, 0, ZqParam::kFound, ""},
      {"p=12345678", "p", 8, 0, ZqParam::kFound, "12345678"},
      {"p=123456789", "p", 8, 0, ZqParam::kTooLong, ""},
      {"p=%41%4", "p", 8, 0, ZqParam::kFound, "A%4"},  // a cut escape stands for itself
      {"p=%252F", "p", 8, 0, ZqParam::kFound, "%2F"},  // decoded once
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.query) + " " + c.name);
    std::string value;
    EXPECT_EQ(zq_query_param(c.query, c.name, c.max, &value, c.occurrence), c.result);
    EXPECT_EQ(value, c.value);
  }
  std::string value;
  ASSERT_EQ(zq_query_param("p=a%00b", "p", 8, &value), ZqParam::kFound);
  EXPECT_EQ(value, std::string("a\0b", 3));  // the caller decides about NUL bytes
}

TEST(ZqQuery, UrlDecoding) {
  EXPECT_EQ(zq_url_decode("a+b%20c%2", false), "a+b c%2");
  EXPECT_EQ(zq_url_decode("a+b%20c%2", true), "a b c%2");
  EXPECT_EQ(zq_url_decode("%e2%82%AC", false), "\xe2\x82\xac");
  EXPECT_EQ(zq_url_decode("", true), "");
}

}  // namespace
