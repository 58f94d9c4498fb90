#include "zqopenapi/zqOpenApiAnswers.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace {

TEST(ZqOpenApiAnswers, SettingRefusalsByCode) {
  const std::vector<ZqoaOption> four = {
      {1, "4K", true}, {4, "2.7K", true}, {7, "5K", false}, {9, "1080", true}, {18, "5.3K", true}};
  ZqoaAnswer a = zqoa_setting_refusal(1, 3, 2, four);
  EXPECT_EQ(a.status, 403);
  EXPECT_EQ(
      a.body,
      "{\n\t\"error\": 1,\n\t\"option_id\": 2,\n\t\"setting_id\": 3,\n\t\"available_options\": "
      "[]\n}\n");
  a = zqoa_setting_refusal(2, 3, 2, four);
  EXPECT_EQ(a.status, 403);
  EXPECT_EQ(a.body, "{\n\t\"error\": 2,\n\t\"setting_id\": 3\n}\n");
  a = zqoa_setting_refusal(3, 2, 7, four);
  EXPECT_EQ(a.status, 403);
  EXPECT_EQ(
      a.body,
      "{\n\t\"error\": 3,\n\t\"option_id\": 7,\n\t\"setting_id\": 2,\n\t\"available_options\": "
      "[\n\t\t{\"display_name\": \"4K\", \"id\": 1},\n\t\t{\"display_name\": \"2.7K\", \"id\": "
      "4},\n\t\t{\"display_name\": \"1080\", \"id\": 9},\n\t\t{\"display_name\": \"5.3K\", "
      "\"id\": 18}\n\t]\n}\n");
  a = zqoa_setting_refusal(4, 2, 7, four);
  EXPECT_EQ(nlohmann::json::parse(a.body).at("supported_options").size(), 4u);
  EXPECT_EQ(nlohmann::json::parse(a.body).at("error"), 4);
  // No valid option: an empty list, still JSON.
  a = zqoa_setting_refusal(3, 2, 7, {{7, "5K", false}});
  EXPECT_EQ(nlohmann::json::parse(a.body).at("available_options"), nlohmann::json::array());
  for (int32_t code : {0, 5}) {
    a = zqoa_setting_refusal(code, 2, 7, four);
    EXPECT_EQ(a.status, 500) << code;
    EXPECT_EQ(a.body, "{}\n");
  }
  a = zqoa_setting_refusal(2, 4294967295u, 0, {});
  EXPECT_NE(a.body.find("\"setting_id\": 4294967295\n"), std::string::npos);
}

TEST(ZqOpenApiAnswers, OptionNamesAreEscapedAndLongBodiesRefused) {
  ZqoaAnswer a = zqoa_setting_refusal(3, 1, 1, {{1, "say \"hi\"\\\n", true}});
  EXPECT_EQ(nlohmann::json::parse(a.body).at("available_options")[0].at("display_name"),
            "say \"hi\"\\\n");
  std::vector<ZqoaOption> many;
  for (int i = 0; i < 200; ++i) many.push_back({i, std::string(30, 'n'), true});
  a = zqoa_setting_refusal(4, 1, 1, many);
  EXPECT_EQ(a.status, 500);
  EXPECT_EQ(a.body, "{}\n");
}

TEST(ZqOpenApiAnswers, Version) {
  EXPECT_EQ(zqoa_version_body("2.0").body, "{\"version\" : \"2.0\"}\n");
  EXPECT_EQ(zqoa_version_body(nullptr).body, "{\"version\" : \"\"}\n");
  EXPECT_EQ(zqoa_version_body(std::string(5000, 'v').c_str()).status, 500);
  EXPECT_TRUE(nlohmann::json::accept(zqoa_version_body("a\"b").body));
}

TEST(ZqOpenApiAnswers, DateTimeParameter) {
  struct Case {
    const char* date;
    const char* time;
    const char* tzone;
    const char* dst;
    const char* param;  // nullptr: refused
  };
  const Case cases[] = {
      {"2023_04_05", "10_20_30", nullptr, nullptr, "p=%17%4%5%a%14%1e%7fff%0"},
      {"2023_04_05", "10_20_30", "-60", "1", "p=%17%4%5%a%14%1e%ffc4%1"},
      {"2000_01_01", "00_00_00", "0", "0", "p=%0%1%1%0%0%0%0%0"},
      {"2023_04_05", "10_20_30", "70000", nullptr, "p=%17%4%5%a%14%1e%1170%0"},  // cut to 16 bits
      {"2023_04_05", "10_20_30", nullptr, "2", nullptr},
      {"2023_04_05", "10_20", nullptr, nullptr, nullptr},
      {"2023_04_05", "10_20_30", "abc", nullptr, nullptr},
      {"2023_04_05", "10_20_99999999999999999999", nullptr, nullptr, nullptr},
      {nullptr, "10_20_30", nullptr, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    std::string param = "unchanged";
    const bool ok = zqoa_date_time_param(c.date, c.time, c.tzone, c.dst, &param);
    SCOPED_TRACE(std::string(c.date ? c.date : "(null)") + " " + c.time);
    EXPECT_EQ(ok, c.param != nullptr);
    EXPECT_EQ(param, c.param != nullptr ? c.param : "unchanged");
  }
}

TEST(ZqOpenApiAnswers, DateTimeBody) {
  const uint8_t record[10] = {0xe7, 0x07, 4, 5, 9, 7, 3, 60, 0, 0};
  EXPECT_EQ(zqoa_date_time_body(record),
            "\n{\n    \"date\": \"2023_04_05\",\n    \"time\": \"09_07_03\",\n    \"tzone\": 60,\n"
            "    \"dst\": 0\n}\n");
  const uint8_t west[10] = {0xd0, 0x07, 12, 31, 23, 59, 59, 0xc4, 0xff, 1};
  const nlohmann::json doc = nlohmann::json::parse(zqoa_date_time_body(west));
  EXPECT_EQ(doc.at("date"), "2000_12_31");
  EXPECT_EQ(doc.at("time"), "23_59_59");
  EXPECT_EQ(doc.at("tzone"), -60);
  EXPECT_EQ(doc.at("dst"), 1);
}

}  // namespace
