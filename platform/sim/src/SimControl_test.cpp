#include "zqsim/SimControl.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>

#include "csi.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimState.h"
#include "zqtest/TempDir.h"

namespace {

using zqsim::SimState;
using zqsim::SimStateData;

int32_t Send(uint32_t command, const std::string& param, void* response = nullptr,
             uint32_t size = 0, uint16_t* len = nullptr) {
  return zqcontrol_send_command_param_response_ex(
      command, param.data(), static_cast<uint32_t>(param.size()), response, size, len);
}

std::string U32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

uint32_t Recording() {
  uint32_t v = 0;
  uint32_t len = 0;
  EXPECT_EQ(csi_get(3, 4, &len, &v), ZQ_OK);
  return v;
}

zqsim::CameraState Camera() {
  return SimState::Get().Read([](const SimStateData& d) { return d.camera; });
}

TEST(SimControl, ShutterRecordsVideoAndTakesPhotos) {
  zqsim::ResetCamera();
  EXPECT_EQ(Send(ZQCONTROL_SHUTTER, std::string(1, '\1')), ZQ_OK);
  EXPECT_EQ(Recording(), 1u);
  // While recording the camera keeps its mode and settings.
  EXPECT_EQ(Send(ZQCONTROL_MODE, U32(1)), ZQ_ERR_NAK);
  EXPECT_EQ(Send(ZQCONTROL_SETTING, U32(2) + U32(9)), ZQ_ERR_NAK);
  // The keep-alive and webcam settings are taken while recording.
  EXPECT_EQ(Send(ZQCONTROL_SETTING, U32(91) + U32(66)), ZQ_OK);
  EXPECT_EQ(Camera().settings[91], 66);
  EXPECT_EQ(Send(ZQCONTROL_SETTING, U32(62) + U32(700001)), ZQ_OK);
  uint8_t busy = 0;
  EXPECT_EQ(Send(ZQCONTROL_BUSY, "", &busy, 1), ZQ_OK);
  EXPECT_EQ(busy, 1);
  EXPECT_EQ(Send(ZQCONTROL_SHUTTER, std::string(1, '\0')), ZQ_OK);
  EXPECT_EQ(Recording(), 0u);
  EXPECT_EQ(Camera().videos_taken, 1u);

  EXPECT_EQ(Send(ZQCONTROL_MODE, U32(1)), ZQ_OK);
  EXPECT_EQ(Send(ZQCONTROL_SHUTTER, std::string(1, '\1')), ZQ_OK);
  EXPECT_EQ(Recording(), 0u);  // a photo
  EXPECT_EQ(Camera().photos_taken, 1u);
  EXPECT_EQ(Send(ZQCONTROL_SHUTTER, std::string(1, '\2')), ZQ_ERR_NAK);
}

TEST(SimControl, ModesSettingsAndSizesAreChecked) {
  zqsim::ResetCamera();
  EXPECT_EQ(Send(ZQCONTROL_SHUTTER, U32(1)), ZQ_ERR_INVALID_PARAM);  // one byte, not four
  EXPECT_EQ(Send(ZQCONTROL_SUB_MODE, U32(1) + U32(2)), ZQ_OK);
  EXPECT_EQ(Camera().mode, 1u);
  EXPECT_EQ(Camera().sub_mode, 2u);
  EXPECT_EQ(Send(ZQCONTROL_SUB_MODE, U32(2) + U32(2)), ZQ_ERR_NAK);  // multi-shot has two
  EXPECT_EQ(Send(ZQCONTROL_SET_MODE, std::string("\2\0", 2)), ZQ_OK);
  EXPECT_EQ(Camera().mode, 2u);
  EXPECT_EQ(Camera().sub_mode, 0u);

  EXPECT_EQ(Send(ZQCONTROL_SETTING, U32(2) + U32(18)), ZQ_OK);  // 5.3K on model 58
  SimState::Get().Write([](SimStateData& d) { return d.identity.model_number = 57; });
  EXPECT_EQ(Send(ZQCONTROL_SETTING, U32(2) + U32(18)), ZQ_ERR_NAK);  // not on model 57
  EXPECT_EQ(Send(ZQCONTROL_SETTING, U32(2) + U32(9)), ZQ_OK);
  EXPECT_EQ(Camera().settings[2], 9);
  EXPECT_EQ(Send(ZQCONTROL_SETTING, U32(29) + U32(0)), ZQ_ERR_NAK);  // no such setting
  EXPECT_EQ(Send(ZQCONTROL_FACTORY_RESET, std::string(1, '\1')), ZQ_OK);
  EXPECT_EQ(Camera().settings[2], 1);
  EXPECT_EQ(Camera().mode, 0u);

  EXPECT_EQ(Send(ZQCONTROL_DIGITAL_ZOOM, U32(101)), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(Send(ZQCONTROL_DIGITAL_ZOOM, U32(60)), ZQ_OK);
  EXPECT_EQ(Camera().digital_zoom, 60u);
}

TEST(SimControl, ClockIsKeptAndRuns) {
  zqsim::ResetCamera();
  // 2014-10-29 11:21:44, zone -60 minutes, daylight saving.
  const uint8_t set[10] = {0xDE, 0x07, 10, 29, 11, 21, 44, 0xC4, 0xFF, 1};
  EXPECT_EQ(Send(ZQCONTROL_DATE_TIME, std::string(reinterpret_cast<const char*>(set), 10)), ZQ_OK);
  uint8_t now[10] = {};
  uint16_t len = 0;
  EXPECT_EQ(Send(ZQCONTROL_GET_DATE_TIME, "", now, sizeof now, &len), ZQ_OK);
  EXPECT_EQ(len, 10);
  EXPECT_EQ(memcmp(now, set, 5), 0);          // year to minute (a second may pass)
  EXPECT_EQ(memcmp(now + 7, set + 7, 3), 0);  // zone and flag as given
  uint8_t bad[10];
  memcpy(bad, set, 10);
  bad[2] = 2;
  bad[3] = 30;  // 30 February
  EXPECT_EQ(Send(ZQCONTROL_DATE_TIME, std::string(reinterpret_cast<const char*>(bad), 10)),
            ZQ_ERR_INVALID_PARAM);
}

TEST(SimControl, ShutdownRefusesEveryCommand) {
  zqsim::ResetCamera();
  EXPECT_EQ(Send(ZQCONTROL_SHUTDOWN, ""), ZQ_OK);
  EXPECT_EQ(Send(ZQCONTROL_SHUTTER, std::string(1, '\1')), ZQ_ERR_NAK_OFF);
  EXPECT_EQ(Send(ZQCONTROL_DELETE_ALL, ""), ZQ_ERR_NAK_OFF);
  uint8_t record[634];
  EXPECT_EQ(Send(ZQCONTROL_STATUS, "", record, sizeof record), ZQ_ERR_NAK_OFF);
  EXPECT_EQ(Recording(), 0u);
}

TEST(SimControl, DeleteLastAndDeleteAllChangeTheCard) {
  zqsim::ResetCamera();
  const std::string dir = zq_path("/tmp/fuse_d/DCIM/100TAVRO/");
  for (const char* name :
       {"ZQ010001.MP4", "ZQ010001.LRV", "ZQ010002.MP4", "ZQ010002.LRV", "ZQ010002.THM"}) {
    zqtest::WriteFile(dir + name, "x");
  }
  zqtest::WriteFile(zq_path("/tmp/fuse_d/DCIM/101TAVRO/TAVR0001.JPG"), "x");
  EXPECT_EQ(Send(ZQCONTROL_DELETE_LAST, ""), ZQ_OK);
  EXPECT_EQ(access((dir + "ZQ010002.MP4").c_str(), F_OK), 0);  // the newest is in 101TAVRO
  EXPECT_NE(access(zq_path("/tmp/fuse_d/DCIM/101TAVRO/TAVR0001.JPG").c_str(), F_OK), 0);
  EXPECT_EQ(Send(ZQCONTROL_DELETE_LAST, ""), ZQ_OK);
  for (const char* name : {"ZQ010002.MP4", "ZQ010002.LRV", "ZQ010002.THM"}) {
    EXPECT_NE(access((dir + name).c_str(), F_OK), 0) << name;
  }
  EXPECT_EQ(access((dir + "ZQ010001.LRV").c_str(), F_OK), 0);
  EXPECT_EQ(Send(ZQCONTROL_DELETE_ALL, ""), ZQ_OK);
  EXPECT_NE(access((dir + "ZQ010001.MP4").c_str(), F_OK), 0);
  EXPECT_EQ(Send(ZQCONTROL_DELETE_LAST, ""), ZQ_ERR_NAK);  // nothing left
}

}  // namespace
