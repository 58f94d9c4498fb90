// The schemas against the bytes the camera's services exchange: hand-written wire bytes decode
// into the documented fields, and the enums carry the documented numbers.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "opentavro/preset_status.pb.h"
#include "zqControlCommands/zqControl_presets.pb.h"

namespace {

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

TEST(ZqProtoSchema, PresetInfoFieldsOnTheWire) {
  // preset_id 5, flat_mode 12, preset_icon 3, preset_name 4, preset_name_iterator 2^32-1,
  // one setting {id 2, value 9, name "Res"}, predefined_preset true.
  const std::string wire =
      Bytes({0x08, 0x05, 0x10, 0x0c, 0x18, 0x03, 0x20, 0x04, 0x28, 0xff, 0xff, 0xff, 0xff, 0x0f,
             0x32, 0x09, 0x08, 0x02, 0x10, 0x09, 0x1a, 0x03, 'R',  'e',  's',  0x38, 0x01});
  zqcontrol::presets::Preset_Info info;
  ASSERT_TRUE(info.ParseFromString(wire));
  EXPECT_EQ(info.preset_id(), 5u);
  EXPECT_EQ(info.flat_mode(), 12u);
  EXPECT_EQ(info.preset_icon(), 3u);
  EXPECT_EQ(info.preset_name(), 4u);
  EXPECT_EQ(info.preset_name_iterator(), 4294967295u);
  ASSERT_EQ(info.settings_size(), 1);
  EXPECT_EQ(info.settings(0).setting_id(), 2u);
  EXPECT_EQ(info.settings(0).value(), 9u);
  EXPECT_EQ(info.settings(0).name(), "Res");
  EXPECT_TRUE(info.predefined_preset());
  // Written back in field-number order: field 6 before field 7 whatever the declaration says.
  EXPECT_EQ(info.SerializeAsString(), wire);

  zqcontrol::presets::ZQC_Preset_Get_Presets_Resp presets;
  ASSERT_TRUE(
      presets.ParseFromString(Bytes({0x0a, 0x07, 0x08, 0xe8, 0x07, 0x12, 0x02, 0x08, 0x01})));
  EXPECT_EQ(presets.groups(0).group_id(), 1000u);
  EXPECT_EQ(presets.groups(0).presets(0).preset_id(), 1u);
}

TEST(ZqProtoSchema, PresetStatusFieldsOnTheWire) {
  // Preset: id 3, mode -1 (a ten-byte varint), title 80, title number 2, user defined, icon
  // 1002, one setting {id 5, value -2 (ten bytes), caption}, modified, fixed.
  std::string setting = Bytes(
      {0x08, 0x05, 0x10, 0xfe, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x01, 0x18, 0x01});
  std::string preset =
      Bytes({0x08, 0x03, 0x10, 0xff, 0xff, 0xff, 0xff, 0xff,
             0xff, 0xff, 0xff, 0xff, 0x01, 0x18, 0x50, 0x20,
             0x02, 0x28, 0x01, 0x30, 0xea, 0x07, 0x3a, static_cast<int>(setting.size())}) +
      setting + Bytes({0x40, 0x01, 0x48, 0x01});
  std::string group = Bytes({0x08, 0xee, 0x07, 0x12, static_cast<int>(preset.size())}) + preset +
                      Bytes({0x18, 0x01});
  std::string wire = Bytes({0x0a, static_cast<int>(group.size())}) + group;
  open_tavro::NotifyPresetStatus status;
  ASSERT_TRUE(status.ParseFromString(wire));
  const open_tavro::PresetGroup& g = status.preset_group_array(0);
  EXPECT_EQ(g.id(), open_tavro::PRESET_GROUP_ID_SPECIAL);
  EXPECT_TRUE(g.can_add_preset());
  const open_tavro::Preset& p = g.preset_array(0);
  EXPECT_EQ(p.id(), 3);
  EXPECT_EQ(p.mode(), open_tavro::FLAT_MODE_UNKNOWN);
  EXPECT_EQ(p.title_id(), open_tavro::PRESET_TITLE_MAX);
  EXPECT_EQ(p.title_number(), 2);
  EXPECT_TRUE(p.user_defined());
  EXPECT_EQ(p.icon(), open_tavro::PRESET_ICON_MAX);
  EXPECT_EQ(p.setting_array(0).id(), 5);
  EXPECT_EQ(p.setting_array(0).value(), -2);
  EXPECT_TRUE(p.setting_array(0).is_caption());
  EXPECT_TRUE(p.is_modified());
  EXPECT_TRUE(p.is_fixed());
  EXPECT_EQ(status.SerializeAsString(), wire);
  // An unset mode reads as the first value of its enum.
  EXPECT_EQ(open_tavro::Preset().mode(), open_tavro::FLAT_MODE_UNKNOWN);
}

// The numbers of an enum, as a set.
std::set<int> Numbers(const google::protobuf::EnumDescriptor* e) {
  std::set<int> out;
  for (int i = 0; i < e->value_count(); ++i) out.insert(e->value(i)->number());
  return out;
}
std::set<int> Range(int first, int last) {
  std::set<int> out;
  for (int i = first; i <= last; ++i) out.insert(i);
  return out;
}
std::set<int> Join(std::initializer_list<std::set<int>> parts) {
  std::set<int> out;
  for (const auto& p : parts) out.insert(p.begin(), p.end());
  return out;
}

TEST(ZqProtoSchema, EnumNumbers) {
  EXPECT_EQ(Numbers(open_tavro::EnumPresetGroup_descriptor()), Range(1000, 1006));
  EXPECT_EQ(Numbers(open_tavro::EnumFlatMode_descriptor()),
            Join({{-1, 4, 5, 12, 13}, Range(15, 31)}));
  EXPECT_EQ(Numbers(open_tavro::EnumPresetTitle_descriptor()), Join({Range(0, 33), Range(51, 80)}));
  EXPECT_EQ(Numbers(open_tavro::EnumPresetIcon_descriptor()),
            Join({Range(0, 33), Range(55, 67), Range(76, 79), Range(1000, 1002)}));
}

}  // namespace
