#include "zqcontrol/zqCameraCommands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "csi.h"
#include "zqcommon/zqErrors.h"
#include "zqcontrol/zqControlTestSupport.h"
#include "zqcontrol/zqControlUri.h"

namespace {

using zqctest::Journal;

struct Case {
  const char* path;
  const char* params;
  int32_t status;
  std::vector<std::string> sent;  // journal lines "command:param"
  bool marks;                     // the command was marked as coming from Wi-Fi
};

class ZqCameraCommands : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zqsim::ResetCamera());
    const ZqLock access(g_accessMutex);
    ASSERT_EQ(zqcontrol_uri_interface_open(), 0);
    int row = 0;
    ASSERT_EQ(add_custom_handlers(&row), 0);
  }
  void TearDown() override { zqcontrol_uri_interface_close(); }

  void Run(const Case& c) {
    SCOPED_TRACE(std::string(c.path) + "?" + c.params);
    const uint8_t zero = 0;
    ASSERT_EQ(csi_set(92, &zero, 1), 0);
    Journal();
    char response[4096] = {};
    const ZqLock access(g_accessMutex);
    EXPECT_EQ(zqcontrol_uri_handle_uri_param(c.path, c.params, response, sizeof response),
              c.status);
    EXPECT_EQ(Journal(), c.sent);
    EXPECT_EQ(zqctest::Status32(92), c.marks ? 1u : 0u);
  }
};

TEST_F(ZqCameraCommands, OneParameterCommands) {
  const Case cases[] = {
      // Any unsigned 32-bit number: its low byte goes.
      {"command/shutter", "p=4294967041", 0, {"3:01"}, true},
      {"command/shutter", "x=2&p=0", 0, {"3:00"}, true},  // the camera stops recording
      {"command/mode", "p=1", 0, {"4:01000000"}, true},
      {"command/set_mode", "p=2", 0, {"67:0200"}, true},
      {"command/timewarp_speed_ramp_active", "p=4294967295", 0, {"86:ffffffff"}, false},
      {"command/system/factory_reset", "p=-1", 0, {"38:ff"}, true},
      {"command/wireless/band/select", "b=1", 0, {"18:01000000"}, true},
      {"command/wireless/ap/control", "p=-2", 0, {"16:feffffff"}, true},
      {"command/set_camera_control_status", "p=2", 0, {"92:02"}, true},
  };
  for (const Case& c : cases) Run(c);
}

TEST_F(ZqCameraCommands, ParameterErrorsNeverReachTheService) {
  const char* bad[][2] = {
      // Each width's first value past its range, and each kind of value that does not read;
      // the query's hostile forms are the query fuzz target's.
      {"command/shutter", "p="},
      {"command/shutter", "p=4294967296"},  // more than 32 bits
      {"command/shutter", "p=-1"},
      {"command/shutter", "P=1"},
      {"command/set_mode", "p=65536"},
      {"command/timewarp_speed_ramp", "p=13"},
      {"command/system/factory_reset", "p=-129"},
      {"command/wireless/band/select", "p=1"},
      {"command/system/wired_usb", "p=2"},
      {"command/set_camera_control_status", "p=1"},
      {"command/sub_mode", "sub_mode=1"},
      {"command/sub_mode", "mode=1&sub_mode=y"},
      {"command/photo_timer", "delay=5"},
      {"command/digital_zoom", "range_pcnt=101"},
      {"command/button_set", "state=1&type=q"},
      {"command/liveview/exposure_mode", "mode=4"},
      {"command/liveview/exposure_mode", "mode=3&x=3&y=4"},
      {"command/setup/date_time", "p=%0e%0d%1d%0b%15%2c"},  // month 13
      {"command/setup/date_time", "p=%0e%0a%1d%0b%15%2c%00"},
      {"command/setup/date_time_dst", "p=%0e%0a%1d%0b%15%2c%10000%0"},  // zone beyond 16 bits
      {"command/setup/date_time_dst", "p=%0e%0a%1d%0b%15%2c%0%2"},      // flag is 0 or 1
      {"setting/91", ""},
      {"settings", ""},
  };
  for (const auto& b : bad) Run({b[0], b[1], ZQ_ERR_INVALID_PARAM, {}, false});
}

TEST_F(ZqCameraCommands, CommandsWithoutParameters) {
  const std::pair<const char*, int> bare[] = {
      {"command/storage/tag_moment", 7},
      {"command/wireless/rc/pair/cancel", 26},
      {"command/wireless/pair/cancel", 26},  // two paths, one command
  };
  for (const auto& [path, command] : bare) {
    Run({path, "ignored=1", 0, {std::to_string(command) + ":"}, true});
  }
  Run({"command/onscreen_shortcuts_reset", "", 0, {"84:"}, false});
  Run({"command/system/shutdown", "", 0, {"35:"}, true});
  // The camera now shuts down: it refuses what follows.
  Run({"command/storage/delete/all", "", ZQ_ERR_NAK_OFF, {"12::-103"}, true});
}

TEST_F(ZqCameraCommands, RecordsOfTheCompoundCommands) {
  const Case cases[] = {
      {"command/sub_mode", "mode=1&sub_mode=", 0, {"4:01000000"}, true},
      {"command/sub_mode", "sub_mode=2&mode=1", 0, {"5:0100000002000000"}, true},
      {"command/photo_timer", "delay=10", 0, {"66:0a000000"}, true},
      {"command/digital_zoom", "range_pcnt=100", 0, {"61:64000000"}, true},
      {"command/button_set", "type=3&state=1", 0, {"88:0300000001000000"}, false},
      {"command/liveview/exposure_mode",
       "mode=0&x=9",
       0,
       {"51:00000000000000000000000000000000"},
       true},
      {"command/liveview/exposure_mode",
       "mode=3&x=10&y=20&lens=1",
       0,
       {"51:030000000a0000001400000001000000"},
       true},
      // 2014-10-29 11:21:44, no zone given (32767), no daylight saving.
      {"command/setup/date_time", "p=%0e%0a%1d%0b%15%2c", 0, {"6:de070a1d0b152cff7f00"}, true},
      // 2023-04-05 10:20:30, zone -60 minutes, daylight saving.
      {"command/setup/date_time_dst",
       "p=%17%4%5%a%14%1e%ffc4%1",
       0,
       {"6:e70704050a141ec4ff01"},
       true},
      {"setting/91/66", "", 0, {"30:5b00000042000000"}, true},
      {"setting/2/-5", "ignored", ZQ_ERR_NAK, {"30:02000000fbffffff:-101"}, true},
      {"notifications", "a=1&b", 0, {"43:613d31266200"}, true},
      {"notifications", "", 0, {"43:00"}, true},
  };
  for (const Case& c : cases) Run(c);
}

TEST_F(ZqCameraCommands, UnsupportedAndLaterCommands) {
  for (const char* path : {"command/set_preset", "command/system/logs_clear",
                           "command/system/logs_prepare", "command/system/logs_list"}) {
    Run({path, "", ZQ_ERR, {}, false});
  }
  // Commands that need the request itself (method, body, TLS) or answer with bodies of their
  // own are answering commands: asked without a request, through the plain command call, they
  // answer "not supported" and send nothing.
  for (const char* path : {"command/storage/delete/list", "command/transcode/video_to_video",
                           "command/transcode/photo_to_video", "execute", "analytics/get",
                           "command/wirelessOffload/start"}) {
    Run({path, "p=1", ZQ_ERR_NOT_SUPPORTED, {}, false});
  }
  Run({"no/such/command", "", ZQ_ERR_NOT_SUPPORTED, {}, false});
}

// The wireless, storage and system rows reach their commands (whose own tests are the
// library's); a refused parameter sends nothing.
TEST_F(ZqCameraCommands, FamilyRowsReachTheirCommands) {
  const std::string long_name = "ssid=" + std::string(33, 'n');
  const Case cases[] = {
      {"command/wireless/ssid/scan", "p=1", 0, {"19:01"}, true},
      {"command/wireless/ssid/save", long_name.c_str(), ZQ_ERR_INVALID_PARAM, {}, false},
      {"command/wireless/ssid/select", "ssid=home", ZQ_ERR_INVALID_PARAM, {}, false},
      {"command/wireless/ssid/delete",
       "ssid=home",
       0,
       {"23:686f6d65" + std::string(208, '0')},
       true},
      {"command/transcode/status", "id=x", ZQ_ERR_INVALID_PARAM, {}, false},
      {"command/storage/tag_moment/playback", "tag_enable=1", ZQ_ERR_INVALID_PARAM, {}, false},
      {"debug/server_level", "p=5", 0, {"42:05000000"}, true},
      {"debug/server_level", "p=-5", ZQ_ERR_INVALID_PARAM, {}, false},
      {"analytics/clear", "", 0, {"40:"}, false},
      {"command/system/notify_event", "p=2", 0, {}, true},
      {"command/mobile_offload/clear_new_media_flag", "", 0, {}, true},
  };
  for (const Case& c : cases) Run(c);
}

TEST_F(ZqCameraCommands, ClientInfoSetsTheStatusValue) {
  Run({"command/set_client_info", "", 0, {}, true});
  EXPECT_EQ(zqctest::Status32(87), 374u);
}

TEST_F(ZqCameraCommands, SharedOperations) {
  Journal();
  EXPECT_EQ(send_setting(91, 66), 0);
  EXPECT_EQ(send_digital_zoom(101), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(send_digital_zoom(0), 0);
  EXPECT_EQ(Journal(), (std::vector<std::string>{"30:5b00000042000000", "61:00000000"}));
}

// What the document reports is proven end to end; here the buffer it must fit, and the small
// document of a camera shutting down, which fits even where the whole one does not.
TEST_F(ZqCameraCommands, StatusDocumentFitsItsBuffer) {
  char response[4096];
  EXPECT_EQ(handle_settings_status(nullptr, response, 64), ZQ_ERR);
  ASSERT_EQ(handle_shutdown(nullptr, response, sizeof response), 0);
  ASSERT_EQ(handle_settings_status(nullptr, response, 64), 0);
  EXPECT_STREQ(response, "{\n    \"state\":{\n        \"shutdown_pending\":true\n    }\n}\n");
  EXPECT_EQ(handle_settings_status(nullptr, response, 16), 0);  // still a success
}

}  // namespace
