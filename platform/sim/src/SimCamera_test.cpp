#include "zqsim/SimCamera.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "zqsim/SimState.h"
#include "zqtest/TempDir.h"

namespace {

using nlohmann::json;
using zqsim::ModelSpec;

TEST(SimCamera, ImageDocumentsAreTheGeneratedOnes) {
  // Regenerate with: zqsim settings write platform/sim/image
  for (const ModelSpec& m : zqsim::Models()) {
    const std::string path =
        std::string(ZQ_SIM_IMAGE_DIR) + "/usr/local/tavro/etc/" + m.dir + "/settings.json";
    EXPECT_EQ(zqtest::ReadFile(path), zqsim::SettingsDocument(m)) << path;
  }
}

TEST(SimCamera, DocumentsDescribeWhatTheCameraAccepts) {
  std::set<std::string> dirs;
  for (const ModelSpec& m : zqsim::Models()) {
    EXPECT_TRUE(dirs.insert(m.dir).second) << m.dir;
    const json doc = json::parse(zqsim::SettingsDocument(m));
    EXPECT_EQ(doc["model"]["number"], m.number);
    EXPECT_EQ(doc["model"]["lens_count"], m.lenses);
    ASSERT_EQ(doc["modes"].size(), 3u);

    std::set<int> described;
    for (const json& s : doc["settings"]) {
      const int id = s["id"];
      described.insert(id);
      ASSERT_FALSE(s["options"].empty()) << m.name << " setting " << id;
      // The default is one of the options, and every option is accepted by the camera.
      bool default_offered = false;
      for (const json& o : s["options"]) {
        EXPECT_TRUE(zqsim::SettingAccepts(m, id, o["value"])) << m.name << " " << id;
        default_offered |= o["value"] == s["default"];
      }
      EXPECT_TRUE(default_offered) << m.name << " setting " << id;
      EXPECT_FALSE(zqsim::SettingAccepts(m, id, 999));
    }
    // Modes list only described settings.
    for (const json& mode : doc["modes"]) {
      for (const json& id : mode["settings"]) EXPECT_TRUE(described.count(id)) << id;
    }
    EXPECT_EQ(described.count(24), m.lenses == 2 ? 1u : 0u);  // lens mode: spherical only
  }
}

TEST(SimCamera, SerializersWriteNumberedIdsOfTheRecord) {
  zqsim::SimStateData d;
  zqsim::SetDefaults(&d);
  d.camera.mode = 1;
  d.camera.digital_zoom = 40;
  d.camera.settings[13] = 2;
  d.camera.settings[91] = 66;                   // the apps' keep-alive
  d.camera.clock_offset_s = 1412335304 - 1000;  // 2014-10-03 11:21:44 at host second 1000
  all_status_settings_t record;
  zqsim::BuildStatusRecord(d, 1000 * 1000, &record);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(&record)[kZqcSystemReadyOffset], 1);

  std::string text = "{";
  camera_status_serialize_status_to_json(text, &record, 58);
  text += ",";
  camera_settings_serialize_to_json(text, &record.settings, &record.status, &record.system_settings,
                                    58);
  text += "}";
  const json doc = json::parse(text);
  EXPECT_EQ(doc["status"]["43"], 1);
  EXPECT_EQ(doc["status"]["75"], 40);
  EXPECT_EQ(doc["status"]["82"], 1);
  EXPECT_EQ(doc["status"]["40"], "%0e%0a%03%0b%15%2c");
  EXPECT_EQ(doc["settings"]["13"], 2);
  EXPECT_EQ(doc["settings"]["2"], 1);
  EXPECT_FALSE(doc["settings"].contains("24"));  // model 58 has one lens
  EXPECT_EQ(doc["settings"]["91"], 66);
  EXPECT_EQ(doc["status"].size(), zqsim::StatusFields().size());
}

}  // namespace
