#include "zqproto/zqProtoJson.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "opentavro/preset_status.pb.h"
#include "zqControlCommands/zqControl_presets.pb.h"

namespace {

using open_tavro::NotifyPresetStatus;

// Preset status messages of several shapes, each serialised the way the service sends them
// (fields in number order, only the fields it sets).
std::vector<std::pair<const char*, NotifyPresetStatus>> Shapes() {
  std::vector<std::pair<const char*, NotifyPresetStatus>> shapes;
  shapes.emplace_back("empty", NotifyPresetStatus());

  NotifyPresetStatus unknown_mode;
  open_tavro::Preset* p = unknown_mode.add_preset_group_array()->add_preset_array();
  p->set_id(-7);
  p->set_mode(open_tavro::FLAT_MODE_UNKNOWN);
  shapes.emplace_back("negative id and unknown mode", unknown_mode);

  NotifyPresetStatus full;
  for (auto group : {open_tavro::PRESET_GROUP_ID_VIDEO, open_tavro::PRESET_GROUP_ID_SPECIAL}) {
    open_tavro::PresetGroup* g = full.add_preset_group_array();
    g->set_id(group);
    g->set_can_add_preset(group == open_tavro::PRESET_GROUP_ID_VIDEO);
    for (int i = 0; i < 3; ++i) {
      open_tavro::Preset* preset = g->add_preset_array();
      preset->set_id(static_cast<int32_t>(group) * 10 + i);
      preset->set_mode(open_tavro::FLAT_MODE_VIDEO_LIGHT_TRAIL);
      preset->set_title_id(open_tavro::PRESET_TITLE_FULL_FRAME);
      preset->set_title_number(i + 1);
      preset->set_user_defined(i == 2);
      preset->set_icon(open_tavro::PRESET_ICON_NIGHTLAPSE_PHOTO);
      open_tavro::PresetSetting* s = preset->add_setting_array();
      s->set_id(2);
      s->set_value(-1);
      s->set_is_caption(true);
      preset->add_setting_array()->set_id(3);  // value and caption flag left unset
      preset->set_is_modified(true);
      preset->set_is_fixed(i == 0);
    }
  }
  shapes.emplace_back("two groups of three presets", full);

  NotifyPresetStatus explicit_defaults;
  open_tavro::PresetSetting* zero =
      explicit_defaults.add_preset_group_array()->add_preset_array()->add_setting_array();
  zero->set_id(0);
  zero->set_value(0);
  zero->set_is_caption(false);
  shapes.emplace_back("fields set to their defaults", explicit_defaults);
  return shapes;
}

TEST(ZqProtoJson, JsonMapsBackToTheSameBytesAndParsesAsJson) {
  for (const auto& [name, message] : Shapes()) {
    SCOPED_TRACE(name);
    const std::string bytes = message.SerializeAsString();
    const ZqProtoJsonAnswer answer = zqproto_preset_status_json(bytes.data(), bytes.size());
    ASSERT_EQ(answer.status, 200);
    EXPECT_TRUE(nlohmann::json::accept(answer.body)) << answer.body;
    ASSERT_FALSE(answer.body.empty());
    EXPECT_EQ(answer.body.back(), '\n');

    std::string back;
    std::string error;
    ASSERT_TRUE(zqproto_json_to_binary(answer.body, kZqPresetStatusTypeUrl, NotifyPresetStatus(),
                                       &back, &error))
        << error;
    EXPECT_EQ(back, bytes);
  }
}

TEST(ZqProtoJson, NamesAreLowerCamelAndEnumsByName) {
  const auto shapes = Shapes();
  const std::string bytes = shapes[2].second.SerializeAsString();
  const ZqProtoJsonAnswer answer = zqproto_preset_status_json(bytes.data(), bytes.size());
  ASSERT_EQ(answer.status, 200);
  const nlohmann::json doc = nlohmann::json::parse(answer.body);
  const nlohmann::json& group = doc.at("presetGroupArray").at(0);
  EXPECT_EQ(group.at("id"), "PRESET_GROUP_ID_VIDEO");
  EXPECT_EQ(group.at("canAddPreset"), true);
  const nlohmann::json& preset = group.at("presetArray").at(2);
  EXPECT_EQ(preset.at("id"), 10002);
  EXPECT_EQ(preset.at("mode"), "FLAT_MODE_VIDEO_LIGHT_TRAIL");
  EXPECT_EQ(preset.at("titleId"), "PRESET_TITLE_FULL_FRAME");
  EXPECT_EQ(preset.at("titleNumber"), 3);
  EXPECT_EQ(preset.at("userDefined"), true);
  EXPECT_EQ(preset.at("icon"), "PRESET_ICON_NIGHTLAPSE_PHOTO");
  EXPECT_EQ(preset.at("isModified"), true);
  EXPECT_EQ(preset.at("isFixed"), false);
  EXPECT_EQ(preset.at("settingArray").at(0),
            nlohmann::json::parse(R"({"id":2,"value":-1,"isCaption":true})"));
  // A setting sent with its id only shows only its id.
  EXPECT_EQ(preset.at("settingArray").at(1), nlohmann::json::parse(R"({"id":3})"));
  // Indented, over several lines.
  EXPECT_NE(answer.body.find("\n \"presetGroupArray\": [\n"), std::string::npos) << answer.body;

  const std::string unknown = shapes[1].second.SerializeAsString();
  EXPECT_EQ(nlohmann::json::parse(zqproto_preset_status_json(unknown.data(), unknown.size()).body)
                .at("presetGroupArray")
                .at(0)
                .at("presetArray")
                .at(0)
                .at("mode"),
            "FLAT_MODE_UNKNOWN");
}

// Wire forms that parse into the same message as a tidy serialisation: the answer is that
// message's JSON, each key once. Written from the raw bytes, a repeated field whose elements
// are not adjacent, a field sent twice, or an enum number proto2 sets aside would come out as
// one key twice in an object, which JSON parsers read as the last one only.
TEST(ZqProtoJson, AnswerShowsTheParsedMessageWhateverTheWireOrder) {
  NotifyPresetStatus tidy;
  open_tavro::PresetGroup* video = tidy.add_preset_group_array();
  video->set_id(open_tavro::PRESET_GROUP_ID_VIDEO);
  video->add_preset_array()->set_id(2);
  tidy.add_preset_group_array()->set_id(open_tavro::PRESET_GROUP_ID_PHOTO);
  const std::string tidy_bytes = tidy.SerializeAsString();
  const ZqProtoJsonAnswer want = zqproto_preset_status_json(tidy_bytes.data(), tidy_bytes.size());
  ASSERT_EQ(want.status, 200);

  // A group (field 1): id 1000 is 08 e8 07, 1001 is 08 e9 07; a preset (12 ..) with id 2.
  const std::string video_group("\x0a\x07\x08\xe8\x07\x12\x02\x08\x02", 9);
  const std::string photo_group("\x0a\x03\x08\xe9\x07", 5);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"groups apart, an unknown field between",
       video_group + std::string("\x28\x05", 2) + photo_group},
      {"a group's id sent twice, the last counts",
       std::string("\x0a\x0a\x08\xe9\x07\x12\x02\x08\x02\x08\xe8\x07", 12) + photo_group},
      {"an enum number the schema does not name after a known one",
       video_group + std::string("\x0a\x06\x08\xe9\x07\x08\xb9\x17", 8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ZqProtoJsonAnswer answer = zqproto_preset_status_json(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, want.body);
  }
}

TEST(ZqProtoJson, BytesThatDoNotConvertGive500AndEmptyObject) {
  const std::string good = Shapes()[2].second.SerializeAsString();
  struct Case {
    const char* name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"last byte missing", good.substr(0, good.size() - 1)},
      {"varint never ends", std::string("\x08\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff", 11)},
      {"wire type 7", std::string("\x0f\x01", 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ZqProtoJsonAnswer answer = zqproto_preset_status_json(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(answer.status, 500);
    EXPECT_EQ(answer.body, "{}");
  }
}

TEST(ZqProtoJson, TypeMustBeKnownAndMessageGiven) {
  const std::string bytes = Shapes()[2].second.SerializeAsString();
  NotifyPresetStatus message;
  EXPECT_EQ(
      zqproto_json_answer(bytes.data(), bytes.size(), "open_tavro/open_tavro.Nothing", &message)
          .status,
      500);
  EXPECT_EQ(zqproto_json_answer(bytes.data(), bytes.size(), kZqPresetStatusTypeUrl, nullptr).body,
            "{}");
  EXPECT_EQ(zqproto_json_answer(nullptr, 3, kZqPresetStatusTypeUrl, &message).status, 500);
  // The same bytes read as another message of the pool: a type the URL names, not the one
  // the instance has, is what the text shows.
  zqcontrol::presets::ZQC_Preset_Info_Req info;
  info.set_preset_id(9);
  const std::string req = info.SerializeAsString();
  zqcontrol::presets::ZQC_Preset_Info_Req into;
  const ZqProtoJsonAnswer a = zqproto_json_answer(
      req.data(), req.size(), "open_tavro/zqcontrol.presets.ZQC_Preset_Info_Req", &into);
  EXPECT_EQ(a.status, 200);
  EXPECT_EQ(nlohmann::json::parse(a.body), nlohmann::json::parse(R"({"presetId":9})"));
  EXPECT_EQ(into.preset_id(), 9u);
}

TEST(ZqProtoJson, EmptyReplyIsAnEmptyObject) {
  const ZqProtoJsonAnswer answer = zqproto_preset_status_json(nullptr, 0);
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(nlohmann::json::parse(answer.body), nlohmann::json::object());
}

TEST(ZqProtoJson, JsonThatDoesNotMapIsRefused) {
  std::string bytes, error;
  for (const char* text :
       {"{\"nope\": 1}", "{\"presetGroupArray\":[{\"id\":\"PRESET_GROUP_ID_NONE\"}]}"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(
        zqproto_json_to_binary(text, kZqPresetStatusTypeUrl, NotifyPresetStatus(), &bytes, &error));
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
