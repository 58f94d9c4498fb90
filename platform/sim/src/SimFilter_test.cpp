// The simulated settings filter, and the control service's reply switch and zoom byte that the
// Open API's tests lean on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "zqBlacklistHandler.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqsim/SimCamera.h"
#include "zqsim/SimState.h"

namespace {

using zqsim::SimState;
using zqsim::SimStateData;

// A filter loaded for `model` and refreshed from the camera's status record.
class Filter {
 public:
  explicit Filter(int model) : model_(model) {
    handler_.storeCameraSettings(getCameraOptions(model));
    handler_.storeCameraOptions(getOptionIds(model));
    handler_.storeCameraFilters(getCameraFilters(model));
  }
  std::unique_ptr<BlacklistResponse> Ask(int32_t setting, int32_t option) {
    all_status_settings_t record;
    EXPECT_EQ(
        zqcontrol_send_command_param_response(ZQCONTROL_STATUS, nullptr, 0, &record, sizeof record),
        ZQ_OK);
    update_camera_settings(&record, model_, handler_.getSettingsState());
    update_camera_status(&record, model_, handler_.getStatusesState());
    return std::unique_ptr<BlacklistResponse>(handler_.isBlacklisted(setting, option, false));
  }

 private:
  int model_;
  BlacklistHandler handler_;
};

std::string Options(const BlacklistResponse& r) {
  std::string out;
  for (const auto& o : r.getOptions())
    out += std::to_string(o->getId()) + ":" + o->getName() + ":" + (o->isValid() ? "1" : "0") + " ";
  return out;
}

void SetSetting(int id, int value) {
  SimState::Get().Write([&](SimStateData& d) { return d.camera.settings[id] = value; });
}

TEST(SimFilter, VerdictsFollowModelRulesAndState) {
  zqsim::ResetCamera();
  Filter filter(58);
  SetSetting(2, 1);  // 4K
  EXPECT_EQ(filter.Ask(2, 9)->getErrCode(), OPEN_TAVRO_SETTING_OK);
  EXPECT_EQ(filter.Ask(99, 1)->getErrCode(), OPEN_TAVRO_SETTING_UNKNOWN);
  EXPECT_EQ(filter.Ask(24, 0)->getErrCode(), OPEN_TAVRO_SETTING_UNKNOWN);  // lens mode: 360 only

  // 240 fps needs 1080: refused at 4K with every option listed, the available ones valid.
  auto r = filter.Ask(3, 0);
  EXPECT_EQ(r->getErrCode(), OPEN_TAVRO_OPTION_UNAVAILABLE);
  EXPECT_EQ(Options(*r), "0:240:0 1:120:1 5:60:1 8:30:1 10:24:1 ");
  SetSetting(2, 9);
  EXPECT_EQ(filter.Ask(3, 0)->getErrCode(), OPEN_TAVRO_SETTING_OK);

  // Model 57 has no 240 fps: not supported, with what it supports.
  r = Filter(57).Ask(3, 0);
  EXPECT_EQ(r->getErrCode(), OPEN_TAVRO_OPTION_UNSUPPORTED);
  EXPECT_EQ(Options(*r), "1:120:1 5:60:1 8:30:1 10:24:1 ");
  EXPECT_EQ(Filter(57).Ask(3, 77)->getErrCode(), OPEN_TAVRO_OPTION_UNSUPPORTED);

  // While recording nothing may change.
  ASSERT_EQ(zqcontrol_send_command_param_response(ZQCONTROL_SHUTTER, "\1", 1, nullptr, 0), ZQ_OK);
  r = filter.Ask(2, 9);
  EXPECT_EQ(r->getErrCode(), OPEN_TAVRO_SETTING_BLOCKED);
  EXPECT_TRUE(r->getOptions().empty());
}

TEST(SimFilter, ForcedVerdictsWinUntilCleared) {
  zqsim::ResetCamera();
  Filter filter(58);
  SimState::Get().Write([](SimStateData& d) {
    zqsim::FilterVerdict& v = d.verdicts[3];
    v = {};
    v.used = 1;
    v.setting = 2;
    v.option = 9;
    v.code = 7;
    v.option_count = 2;
    v.options[0] = {1, 1, "4K"};
    v.options[1] = {4, 0, "2.7K"};
    return 0;
  });
  auto r = filter.Ask(2, 9);
  EXPECT_EQ(r->getErrCode(), 7);
  EXPECT_EQ(Options(*r), "1:4K:1 4:2.7K:0 ");
  EXPECT_EQ(filter.Ask(2, 4)->getErrCode(), OPEN_TAVRO_SETTING_OK);  // other pairs: the rules
  zqsim::ResetCamera();
  EXPECT_EQ(filter.Ask(2, 9)->getErrCode(), OPEN_TAVRO_SETTING_OK);
}

TEST(SimControl, StoredReplyAnswersWithoutActing) {
  zqsim::ResetCamera();
  const std::string reply("\x0a\x03\x08\xe8\x07", 5);
  {
    FILE* f = fopen(zqsim::ControlReplyPath(81).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(reply.data(), 1, reply.size(), f);
    fclose(f);
  }
  SimState::Get().Write([](SimStateData& d) { return d.faults[0] = {81, 0, 1, 1}; });
  char buf[8];
  memset(buf, 'x', sizeof buf);
  uint16_t len = 0;
  ASSERT_EQ(zqcontrol_send_command_param_response_ex(81, nullptr, 0, buf, sizeof buf, &len), ZQ_OK);
  EXPECT_EQ(std::string(buf, len), reply);
  EXPECT_EQ(std::string(buf + 5, 3), std::string(3, '\0'));  // the rest is zero
  ASSERT_EQ(zqcontrol_send_command_param_response_ex(81, nullptr, 0, buf, 2, &len), ZQ_OK);
  EXPECT_EQ(len, 2);  // as much as fits
  zqsim::ResetCamera();
  EXPECT_EQ(fopen(zqsim::ControlReplyPath(81).c_str(), "rb"), nullptr);  // reset removes it
}

TEST(SimControl, ZoomByteFollowsTheModelUnlessSet) {
  zqsim::ResetCamera();
  auto zoom = [] {
    uint8_t state[kZqcCameraStateSize] = {};
    EXPECT_EQ(zqcontrol_send_command_param_response(ZQCONTROL_CAMERA_STATE, nullptr, 0, state,
                                                    sizeof state),
              ZQ_OK);
    return state[kZqcZoomAvailableOffset];
  };
  const uint32_t fifty = 50;
  EXPECT_EQ(zoom(), 1);
  SimState::Get().Write([](SimStateData& d) { return d.camera.zoom_available = 0; });
  EXPECT_EQ(zoom(), 0);
  EXPECT_EQ(zqcontrol_send_command_param_response(ZQCONTROL_DIGITAL_ZOOM, &fifty, 4, nullptr, 0),
            ZQ_ERR_NAK);
  SimState::Get().Write([](SimStateData& d) {
    d.camera.zoom_available = zqsim::kZoomByModel;
    return d.identity.model_number = 22;  // two lenses
  });
  EXPECT_EQ(zoom(), 0);
}

}  // namespace
