#include "zqsim/SimPresets.h"

#include <gtest/gtest.h>

#include <string>

#include "opentavro/preset_status.pb.h"
#include "zqControlCommands/zqControl_presets.pb.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqsim/SimState.h"

namespace {

using zqsim::SimState;
using zqsim::SimStateData;
namespace zp = zqcontrol::presets;
namespace ot = open_tavro;

struct Reply {
  int32_t status;
  std::string bytes;
};

Reply SendBytes(uint32_t command, const std::string& param, uint32_t capacity) {
  std::string buf(capacity, '\x55');
  uint16_t len = 0;
  const int32_t status = zqcontrol_send_command_param_response_ex(
      command, param.data(), static_cast<uint32_t>(param.size()), buf.data(), capacity, &len);
  return {status, buf.substr(0, len)};
}
Reply Send(uint32_t command, const google::protobuf::MessageLite& request,
           uint32_t capacity = 10000) {
  return SendBytes(command, request.SerializeAsString(), capacity);
}
Reply Send(uint32_t command, uint32_t capacity = 10000) { return SendBytes(command, "", capacity); }

ot::NotifyPresetStatus Presets() {
  Reply r = Send(ZQCONTROL_PRESET_GET_PRESETS);
  EXPECT_EQ(r.status, ZQ_OK);
  ot::NotifyPresetStatus status;
  EXPECT_TRUE(status.ParseFromString(r.bytes));
  return status;
}

zqsim::CameraState Camera() {
  return SimState::Get().Read([](const SimStateData& d) { return d.camera; });
}

void SetModel(uint8_t model) {
  SimState::Get().Write([&](SimStateData& d) { return d.identity.model_number = model; });
}

// Sets the mode group by its id (or a legacy mode number), two bytes little-endian.
int32_t SetMode(uint16_t group) {
  const char bytes[2] = {static_cast<char>(group & 0xff), static_cast<char>(group >> 8)};
  return zqcontrol_send_command_param_response(ZQCONTROL_SET_MODE, bytes, 2, nullptr, 0);
}

zp::ZQC_Preset_Load_Req Load(uint32_t id) {
  zp::ZQC_Preset_Load_Req req;
  req.set_preset_id(id);
  return req;
}

TEST(SimPresets, EveryGroupHasThreeOrMoreLoadablePresets) {
  for (uint8_t model : {58, 22}) {  // one lens, then two
    SCOPED_TRACE(static_cast<int>(model));
    zqsim::ResetCamera();
    SetModel(model);
    const ot::NotifyPresetStatus status = Presets();
    ASSERT_EQ(status.preset_group_array_size(), 3);
    EXPECT_EQ(status.preset_group_array(0).id(),
              model == 22 ? ot::PRESET_GROUP_ID_VIDEO_DUAL_LENS : ot::PRESET_GROUP_ID_VIDEO);
    for (const ot::PresetGroup& g : status.preset_group_array()) {
      EXPECT_GE(g.preset_array_size(), 3);
      EXPECT_TRUE(g.can_add_preset());
      for (const ot::Preset& p : g.preset_array()) {
        EXPECT_TRUE(p.is_fixed());
        EXPECT_FALSE(p.has_user_defined());
        ASSERT_EQ(Send(ZQCONTROL_PRESET_LOAD, Load(static_cast<uint32_t>(p.id()))).status, ZQ_OK);
        EXPECT_EQ(Camera().mode_group, static_cast<uint32_t>(g.id()));
        // The camera now holds the preset's values.
        for (const ot::PresetSetting& s : p.setting_array())
          EXPECT_EQ(Camera().settings[s.id()], s.value()) << "setting " << s.id();
        // A setting whose value is 0 and is no caption carries only its id.
        for (const ot::PresetSetting& s : p.setting_array()) {
          if (s.value() == 0) {
            EXPECT_FALSE(s.has_value());
          }
        }
      }
    }
  }
}

TEST(SimPresets, LoadingSwitchesModeAndSettings) {
  zqsim::ResetCamera();
  // Photo group, night preset: photo mode, night sub-mode.
  ASSERT_EQ(Send(ZQCONTROL_PRESET_LOAD, Load(65537)).status, ZQ_OK);
  EXPECT_EQ(Camera().mode, 1u);
  EXPECT_EQ(Camera().sub_mode, 1u);
  EXPECT_EQ(Camera().mode_group, 1001u);
  // Cinematic: 5.3K at 24 fps on model 58.
  ASSERT_EQ(Send(ZQCONTROL_PRESET_LOAD, Load(2)).status, ZQ_OK);
  EXPECT_EQ(Camera().mode, 0u);
  EXPECT_EQ(Camera().settings[2], 18);
  EXPECT_EQ(Camera().settings[3], 10);
  // On model 57, which has no 5.3K, the same preset keeps the default resolution.
  SetModel(57);
  ASSERT_EQ(Send(ZQCONTROL_PRESET_LOAD, Load(2)).status, ZQ_OK);
  EXPECT_EQ(Camera().settings[2], 1);

  // Unknown presets and loads while recording are refused; a request without its field or
  // that does not parse is invalid.
  EXPECT_EQ(Send(ZQCONTROL_PRESET_LOAD, Load(77)).status, ZQ_ERR_NAK);
  zp::ZQC_Preset_Load_Req empty;
  EXPECT_EQ(Send(ZQCONTROL_PRESET_LOAD, empty).status, ZQ_ERR_INVALID_PARAM);
  uint16_t len = 0;
  EXPECT_EQ(
      zqcontrol_send_command_param_response_ex(ZQCONTROL_PRESET_LOAD, "\x08", 1, nullptr, 0, &len),
      ZQ_ERR_INVALID_PARAM);
  SimState::Get().Write([](SimStateData& d) { return d.status[3].data[0] = 1; });
  EXPECT_EQ(Send(ZQCONTROL_PRESET_LOAD, Load(0)).status, ZQ_ERR_NAK);
}

TEST(SimPresets, GroupsAreSetByIdOrLegacyModeNumber) {
  zqsim::ResetCamera();
  EXPECT_EQ(SetMode(1001), ZQ_OK);
  EXPECT_EQ(Camera().mode, 1u);
  EXPECT_EQ(Camera().mode_group, 1001u);
  // The group's last loaded preset comes back with the group.
  ASSERT_EQ(Send(ZQCONTROL_PRESET_LOAD, Load(65538)).status, ZQ_OK);
  EXPECT_EQ(SetMode(1000), ZQ_OK);
  EXPECT_EQ(SetMode(1001), ZQ_OK);
  EXPECT_EQ(Camera().sub_mode, 2u);  // burst
  EXPECT_EQ(SetMode(2), ZQ_OK);
  EXPECT_EQ(Camera().mode_group, 2u);
  // Dual-lens groups are not on a one-lens model.
  EXPECT_EQ(SetMode(1003), ZQ_ERR_NAK);
}

TEST(SimPresets, CustomPresetsAreCreatedOrderedEditedAndRemoved) {
  zqsim::ResetCamera();
  zp::ZQC_Preset_Custom_Create_Req create;
  create.set_group_id(1000);
  create.set_flat_mode(ot::FLAT_MODE_VIDEO);
  create.set_preset_icon(ot::PRESET_ICON_BIKE);
  create.set_preset_name(ot::PRESET_TITLE_BIKE);
  create.set_preset_name_iterator(4294967295u);  // the camera numbers it
  uint32_t ids[2] = {};
  for (uint32_t& id : ids) {
    Reply r = Send(ZQCONTROL_PRESET_CUSTOM_CREATE, create, 1500);
    ASSERT_EQ(r.status, ZQ_OK);
    zp::ZQC_Preset_Custom_Create_Resp resp;
    ASSERT_TRUE(resp.ParseFromString(r.bytes));
    id = resp.preset_id();
  }
  zp::ZQC_Preset_Info_Req info;
  info.set_preset_id(ids[1]);
  Reply r = Send(ZQCONTROL_PRESET_GET_INFO, info, 1500);
  ASSERT_EQ(r.status, ZQ_OK);
  zp::ZQC_Preset_Info_Resp got;
  ASSERT_TRUE(got.ParseFromString(r.bytes));
  EXPECT_EQ(got.preset().preset_name_iterator(), 2u);
  EXPECT_FALSE(got.preset().predefined_preset());

  // Move the second custom preset to the front.
  zp::ZQC_Preset_Set_Order_Req order;
  order.set_preset_id(ids[1]);
  order.set_order(0);
  ASSERT_EQ(Send(ZQCONTROL_PRESET_SET_ORDER, order).status, ZQ_OK);
  zp::ZQC_Preset_List_Req list;
  list.set_group_id(1000);
  list.set_include_info(true);
  r = Send(ZQCONTROL_PRESET_LIST_IDS, list, 1500);
  ASSERT_EQ(r.status, ZQ_OK);
  zp::ZQC_Preset_List_Resp listed;
  ASSERT_TRUE(listed.ParseFromString(r.bytes));
  ASSERT_EQ(listed.presets_size(), 6);
  EXPECT_EQ(listed.presets(0), ids[1]);
  EXPECT_EQ(listed.preset_group().presets(0).preset_id(), ids[1]);
  order.set_order(6);
  EXPECT_EQ(Send(ZQCONTROL_PRESET_SET_ORDER, order).status, ZQ_ERR_NAK);

  // Edit: start (loads it), change a setting on the camera, store; the preset keeps it.
  zp::ZQC_Preset_Edit_Start_Req edit;
  edit.set_preset_id(ids[0]);
  ASSERT_EQ(Send(ZQCONTROL_PRESET_EDIT_START, edit).status, ZQ_OK);
  SimState::Get().Write([](SimStateData& d) { return d.camera.settings[2] = 9; });
  zp::ZQC_Preset_Set_Title_Icon_Req title;
  title.set_preset_icon(ot::PRESET_ICON_SNOW);
  ASSERT_EQ(Send(ZQCONTROL_PRESET_SET_TITLE_ICON, title).status, ZQ_OK);
  ASSERT_EQ(Send(ZQCONTROL_PRESET_EDIT_STORE).status, ZQ_OK);
  EXPECT_EQ(Send(ZQCONTROL_PRESET_EDIT_STORE).status, ZQ_ERR_NAK);  // no edit any more
  const ot::NotifyPresetStatus status = Presets();
  const ot::PresetGroup& video = status.preset_group_array(0);
  const ot::Preset* stored = nullptr;
  for (const ot::Preset& p : video.preset_array()) {
    if (p.id() == static_cast<int32_t>(ids[0])) stored = &p;
  }
  ASSERT_NE(stored, nullptr);
  EXPECT_TRUE(stored->user_defined());
  EXPECT_EQ(stored->icon(), ot::PRESET_ICON_SNOW);
  EXPECT_EQ(stored->title_number(), 1);
  EXPECT_EQ(stored->setting_array(0).id(), 2);
  EXPECT_EQ(stored->setting_array(0).value(), 9);

  // Predefined presets stay; custom ones go; the group fills up at four custom presets.
  zp::ZQC_Preset_Custom_Remove_Req remove;
  remove.set_preset_id(0);
  EXPECT_EQ(Send(ZQCONTROL_PRESET_CUSTOM_REMOVE, remove).status, ZQ_ERR_NAK);
  remove.set_preset_id(ids[0]);
  EXPECT_EQ(Send(ZQCONTROL_PRESET_CUSTOM_REMOVE, remove).status, ZQ_OK);
  EXPECT_EQ(Send(ZQCONTROL_PRESET_CUSTOM_REMOVE, remove).status, ZQ_ERR_NAK);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Send(ZQCONTROL_PRESET_CUSTOM_CREATE, create).status, ZQ_OK);
  EXPECT_EQ(Send(ZQCONTROL_PRESET_CUSTOM_CREATE, create).status, ZQ_ERR_NAK);
  EXPECT_FALSE(Presets().preset_group_array(0).can_add_preset());
  // A flat mode of another group, or a title past the end, is refused.
  create.set_group_id(1001);
  create.set_flat_mode(ot::FLAT_MODE_VIDEO);
  EXPECT_EQ(Send(ZQCONTROL_PRESET_CUSTOM_CREATE, create).status, ZQ_ERR_NAK);
  create.set_flat_mode(ot::FLAT_MODE_PHOTO);
  create.set_preset_name(ot::PRESET_TITLE_MAX);
  EXPECT_EQ(Send(ZQCONTROL_PRESET_CUSTOM_CREATE, create).status, ZQ_ERR_NAK);
}

TEST(SimPresets, FactoryResetRestoresAModifiedPreset) {
  zqsim::ResetCamera();
  zp::ZQC_Preset_Edit_Start_Req edit;
  edit.set_preset_id(1);
  ASSERT_EQ(Send(ZQCONTROL_PRESET_EDIT_START, edit).status, ZQ_OK);
  const int32_t before = Camera().settings[3];
  SimState::Get().Write([](SimStateData& d) { return d.camera.settings[3] = 8; });
  ASSERT_EQ(Send(ZQCONTROL_PRESET_EDIT_STORE).status, ZQ_OK);
  EXPECT_TRUE(Presets().preset_group_array(0).preset_array(1).is_modified());
  zp::ZQC_Preset_Factory_Reset_Req reset;
  reset.set_preset_id(1);
  ASSERT_EQ(Send(ZQCONTROL_PRESET_FACTORY_RESET, reset).status, ZQ_OK);
  EXPECT_FALSE(Presets().preset_group_array(0).preset_array(1).has_is_modified());
  EXPECT_EQ(Camera().settings[3], before);  // it was loaded, so the camera follows
}

TEST(SimPresets, ListsAndFlatModes) {
  zqsim::ResetCamera();
  Reply r = Send(ZQCONTROL_PRESET_LIST_GROUPS, 1500);
  zp::ZQC_Preset_Group_List_Resp groups;
  ASSERT_TRUE(groups.ParseFromString(r.bytes));
  ASSERT_EQ(groups.preset_groups_size(), 3);
  EXPECT_EQ(groups.preset_groups(2), 1002u);

  zp::ZQC_Preset_Switch_Flatmode_Req flat;
  flat.set_flat_mode(ot::FLAT_MODE_NIGHT_LAPSE_VIDEO);
  ASSERT_EQ(Send(ZQCONTROL_PRESET_SWITCH_FLATMODE, flat).status, ZQ_OK);
  EXPECT_EQ(Camera().mode, 2u);
  EXPECT_EQ(Camera().sub_mode, 1u);
  flat.set_flat_mode(ot::FLAT_MODE_PLAYBACK);
  EXPECT_EQ(Send(ZQCONTROL_PRESET_SWITCH_FLATMODE, flat).status, ZQ_ERR_NAK);

  // A reply buffer too small gets what fits; the length says how much.
  r = Send(ZQCONTROL_PRESET_GET_PRESETS, 10);
  EXPECT_EQ(r.bytes.size(), 10u);
}

}  // namespace
