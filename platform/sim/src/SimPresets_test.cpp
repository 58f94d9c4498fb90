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
  // Dual-lens groups are not on a one-lens model.
  EXPECT_EQ(SetMode(1003), ZQ_ERR_NAK);
}

}  // namespace
