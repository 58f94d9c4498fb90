#include "zqcontrol/zqCameraInfo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "csi.h"
#include "http/zqWriter.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqcontrol/zqControlTestSupport.h"

namespace {

using Json = nlohmann::ordered_json;

std::string SettingsFile(const char* dir) {
  return zq_path(std::string("/usr/local/tavro/etc/") + dir + "/settings.json");
}

void SetIdentity(uint8_t model, uint32_t features, const char* name = "TAVRO T11") {
  zqsim::SimState::Get().Write([&](zqsim::SimStateData& d) {
    d.identity.model_number = model;
    d.identity.common_camera_features = features;
    snprintf(d.identity.model_name, sizeof d.identity.model_name, "%s", name);
    return 0;
  });
}

// The settings document's answer as the writer sends it, into `out`; its status returned.
int32_t Describe(std::string& out) {
  std::optional<ZqAnswer> answer;
  const int32_t status = camera_description_output_json(&answer);
  EXPECT_TRUE(answer.has_value());
  ZqCapture capture;
  if (answer) zq_write_answer(*answer, false, capture);
  out = capture.bytes;
  return status;
}

// Splits a whole answer into its status line and body, checking the length header.
std::pair<std::string, std::string> Split(const std::string& answer) {
  const size_t eol = answer.find("\r\n");
  const size_t end = answer.find("\r\n\r\n");
  EXPECT_NE(end, std::string::npos);
  const std::string body = answer.substr(end + 4);
  EXPECT_NE(answer.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos)
      << answer;
  return {answer.substr(0, eol), body};
}

std::vector<std::string> Keys(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& item : object.items()) keys.push_back(item.key());
  return keys;
}

class ZqCameraInfo : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zqsim::ResetCamera());
    for (const char* dir : {"T10", "T11"}) unlink(SettingsFile(dir).c_str());
  }
};

TEST_F(ZqCameraInfo, SettingsDocumentIsTheFileWithInfoLast) {
  zqtest::WriteFile(SettingsFile("T11"),
                    "{\r\n  \"modes\": [\n    {\"id\": 0}\n  ],\n  \"name\": \"}\"\n}\n\n");
  std::string out;
  ASSERT_EQ(Describe(out), 0);
  const auto [status, body] = Split(out);
  EXPECT_EQ(status, "HTTP/1.1 200 OK");
  EXPECT_NE(out.find("Content-Type: application/json\r\n"), std::string::npos);
  const Json doc = Json::parse(body);
  EXPECT_EQ(Keys(doc), (std::vector<std::string>{"modes", "name", "info"}));
  EXPECT_EQ(doc["name"], "}");  // the members of "info" are proven end to end
}

// Every model's own document, and an unknown model's, are proven end to end; here a known
// model whose file is missing, and no file at all.
TEST_F(ZqCameraInfo, MissingFilesUseModel57OrFail) {
  zqtest::WriteFile(SettingsFile("T10"), "{\"model\": 57}");
  std::string out;
  ASSERT_EQ(Describe(out), 0);
  EXPECT_EQ(Json::parse(Split(out).second)["model"], 57);
  unlink(SettingsFile("T10").c_str());
  EXPECT_EQ(Describe(out), ZQ_ERR_FILE_OPEN);
  const auto [status, body] = Split(out);
  EXPECT_EQ(status, "HTTP/1.1 500 Internal Server Error");
  EXPECT_EQ(Json::parse(body)["error"], ZQ_ERR_FILE_OPEN);
}

TEST_F(ZqCameraInfo, DocumentIsAlwaysValidJson) {
  const std::pair<const char*, int32_t> files[] = {
      {"  {\n}\n", 0},
      {"", ZQ_ERR_FILE_READ},
      {"[1, {}]", ZQ_ERR_FILE_READ},
      {"{\"a\": 1", ZQ_ERR_FILE_READ},
      {"{\"a\": 1} }", ZQ_ERR_FILE_READ},
      {"{\"a\": \"\xff\"}", ZQ_ERR_FILE_READ},
  };
  for (const auto& [text, expected] : files) {
    zqtest::WriteFile(SettingsFile("T11"), text);
    std::string out;
    EXPECT_EQ(Describe(out), expected) << text;
    const Json doc = Json::parse(Split(out).second);
    if (expected == 0) {
      EXPECT_TRUE(doc.contains("info")) << text;
    }
  }
}

TEST_F(ZqCameraInfo, InfoMembersAreEscapedAndFollowTheModel) {
  SetIdentity(51, 0, "TAVRO \"S2\"\\\x01\xff");
  char response[4096];
  ASSERT_EQ(handle_camera_info(nullptr, response, sizeof response), 0);
  Json doc = Json::parse(response);
  const Json& info = doc["info"];
  EXPECT_FALSE(info.contains("capabilities"));  // no features at all
  EXPECT_FALSE(info.contains("git_sha1"));
  EXPECT_EQ(info["lens_count"], "2");
  EXPECT_EQ(info["model_name"], "TAVRO \"S2\"\\\x01\xEF\xBF\xBD");

  SetIdentity(22, 2);
  const uint32_t forced = 1;
  ASSERT_EQ(csi_set(csi_id(136), &forced, 4), 0);
  ASSERT_EQ(handle_camera_info(nullptr, response, sizeof response), 0);
  doc = Json::parse(response);
  EXPECT_EQ(doc["info"]["capabilities"], "0");  // features without bit 0
  EXPECT_EQ(doc["info"]["update_required"], "1");
  EXPECT_EQ(doc["info"]["lens_count"], "2");

  EXPECT_EQ(handle_camera_info(nullptr, response, 100), ZQ_ERR);  // does not fit
}

}  // namespace
