// Webcam mode: command words, bodies and queries, and the exchanges with the simulated webcam
// process running in this process in each of its modes.
#include "zqwebcam/zqWebcam.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <mqueue.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "csi.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimState.h"
#include "zqsim/SimWebcam.h"
#include "zqtest/TempDir.h"

namespace {

// The process's webcam mutex, as the daemon has one.
ZqMutex g_webcamMutex;

// Time-outs of this binary run a hundred times faster (read once, at first use): the 10 s
// reply wait is 100 ms.
const bool kFast = (setenv("ZQ_TIME_SCALE", "0.01", 1), true);

TEST(ZqWebcam, LegacyNamesAreExact) {
  for (const char* name : {"START/", "STAR", "", "STATUS2"}) {
    EXPECT_FALSE(zq_webcam_legacy_op(name)) << name;
  }
}

TEST(ZqWebcam, StartWordsCarryResolutionAndFieldOfView) {
  struct Case {
    const char* query;
    bool ltp;
    bool ok;
    uint32_t word;
  };
  const Case cases[] = {
      {"res=1080&fov=2", false, true, 0x312},
      {"", true, true, 0x3},
      {nullptr, false, true, 0x2},
      {"res=7&fov=0", true, true, 0x123},
      {"res=1080&fov=9", false, true, 0x12},  // another fov adds nothing
      {"res=480", false, false, 0},
      {"res=1080x", false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query != nullptr ? c.query : "(none)");
    uint32_t word = 0xdead;
    ASSERT_EQ(zq_webcam_start_word(c.query, c.ltp, &word), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(word, c.word);
  }
}

TEST(ZqWebcam, RepliesAndBodies) {
  ZqWebcamReply r;
  const uint8_t bytes[] = {0xfe, 0xff, 0xff, 0xff, 0x09, 0, 0, 0};
  ASSERT_TRUE(zq_webcam_reply_parse(bytes, &r));
  EXPECT_EQ(r.status, -2);
  EXPECT_EQ(r.error, 9);
  EXPECT_FALSE(zq_webcam_reply_parse(std::span(bytes, 7), &r));

  EXPECT_EQ(zq_webcam_status_body(-1, 5), "{\n\t\"status\": -1,\n\t\"error\": 5\n}\n\n");
  EXPECT_EQ(zq_webcam_status_answer({2, 0}), (ZqWebcamAnswer{200, zq_webcam_status_body(2, 0)}));
  EXPECT_EQ(zq_webcam_status_answer({2, 3}).code, 500);
  const ZqWebcamAnswer v = zq_webcam_version();
  EXPECT_EQ(v.body,
            "{\n\t\"version\": 4,\n\t\"usb_3_1_compatible\": true,\n\t\"orbex_lens_support\": "
            "false\n}\n\n");
}

TEST(ZqWebcam, CheckedQueriesTakeBothValuesInEitherOrder) {
  struct Case {
    const char* query;
    bool ok;
    uint32_t res, fov;
  };
  const Case cases[] = {
      {"res=12&fov=4", true, 12, 4}, {"fov=9&res=7", true, 7, 9},      {"res=12", false, 0, 0},
      {"res=12&res=4", false, 0, 0}, {"res=1&fov=2&x=3", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    uint32_t res = 0, fov = 0;
    ASSERT_EQ(zq_webcam_checked_query(c.query, &res, &fov), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(res, c.res);
    EXPECT_EQ(fov, c.fov);
  }
}

TEST(ZqWebcam, UnsupportedBodiesListTheOptionsOfEachRefusedValue) {
  const std::vector<ZqWebcamOption> fovs = {{0, "Wide"}, {4, "Linear"}};
  const std::vector<ZqWebcamOption> res = {{12, "1080p"}};
  EXPECT_EQ(zq_webcam_unsupported_body(nullptr, &fovs, 4096),
            "{\n\t\"status\": 0,\n\t\"error\": 6,\n\t\"supported_settings\": ["
            "\n\t\t{\n\t\t\t\"display_name\": \"FOV\",\n\t\t\t\"supported_options\": ["
            "\n\t\t\t\t{\"display_name\": \"Wide\", \"id\": 0},"
            "\n\t\t\t\t{\"display_name\": \"Linear\", \"id\": 4}"
            "\n\t\t\t]\n\t\t}"
            "\n\t]\n}\n");
  const auto both = nlohmann::json::parse(zq_webcam_unsupported_body(&res, &fovs, 4096));
  ASSERT_EQ(both["supported_settings"].size(), 2u);
  EXPECT_EQ(both["supported_settings"][0]["display_name"], "Res");
  EXPECT_EQ(both["supported_settings"][0]["supported_options"][0]["id"], 12);
  EXPECT_EQ(both["supported_settings"][1]["display_name"], "FOV");
  // A body that does not fit is not made.
  const std::vector<ZqWebcamOption> many(200, {1, "a long option name"});
  EXPECT_EQ(zq_webcam_unsupported_body(&many, nullptr, 4096), "");
}

// The JSON lines of a journal file since the last call (the file is emptied).
std::vector<nlohmann::json> TakeLines(const std::string& path) {
  std::istringstream lines(zqtest::ReadFile(path));
  std::vector<nlohmann::json> out;
  for (std::string line; std::getline(lines, line);) out.push_back(nlohmann::json::parse(line));
  zqtest::WriteFile(path, "");
  return out;
}

// The command words the webcam process received, and whether it replied.
std::vector<std::pair<uint32_t, bool>> TakeWebcamLog() {
  std::vector<std::pair<uint32_t, bool>> out;
  for (const auto& j : TakeLines(zqsim::SimState::Get().dir() + "/webcam.log")) {
    out.emplace_back(j["word"].get<uint32_t>(), j["replied"].get<bool>());
  }
  return out;
}

// The daemon's status writes: "id:value-hex".
std::vector<std::string> TakeStatusWrites() {
  std::vector<std::string> out;
  for (const auto& j : TakeLines(zqsim::StatusJournalPath())) {
    out.push_back(std::to_string(j["id"].get<int>()) + ":" + j["value"].get<std::string>());
  }
  return out;
}

bool ReplyQueueExists() {
  const mqd_t q = mq_open(zq_mq_name(kZqWebcamReplyQueue).c_str(), O_RDONLY | O_NONBLOCK);
  if (q == static_cast<mqd_t>(-1)) return errno != ENOENT;
  mq_close(q);
  return true;
}

void Mode(std::vector<std::string> args) {
  args.insert(args.begin(), "mode");
  ASSERT_EQ(zqsim::WebcamCommand(args), 0);
}

const ZqWebcamStatusWrite kWrite = [](int32_t id, const void* value, uint32_t size) {
  return csi_set(id, value, size);
};

class ZqWebcamProcess : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(kFast);
    std::string error;
    ASSERT_TRUE(zqsim::WebcamStart(&error)) << error;
  }
  static void TearDownTestSuite() { zqsim::WebcamStop(); }
  void SetUp() override {
    ASSERT_TRUE(zqsim::ResetCamera());
    zqsim::WebcamReset();
  }
  void TearDown() override { EXPECT_FALSE(ReplyQueueExists()); }
};

TEST_F(ZqWebcamProcess, SlowAndFailingProcesses) {
  ZqWebcamLock lock(g_webcamMutex);
  const ZqWebcamAnswer none{500, zq_webcam_status_body(-1, 5)};
  // No reply in time is the end-to-end test's; the process's other modes are here.
  Mode({"error", "9"});
  EXPECT_EQ(zq_webcam_simple(lock, kZqWebcamExit, kWrite),
            (ZqWebcamAnswer{500, zq_webcam_status_body(1, 9)}));
  Mode({"slow", "1000"});
  EXPECT_EQ(zq_webcam_simple(lock, kZqWebcamStatus, kWrite).code, 200);

  // A status write that fails reaches nobody and is answered at once.
  ASSERT_EQ(zqsim::SimState::Get().Write(
                [](zqsim::SimStateData& d) { return d.status_faults[141] = ZQ_ERR; }),
            ZQ_ERR);
  TakeWebcamLog();
  EXPECT_EQ(zq_webcam_simple(lock, kZqWebcamStop, kWrite), none);
  EXPECT_EQ(TakeWebcamLog(), (std::vector<std::pair<uint32_t, bool>>{}));
}

TEST_F(ZqWebcamProcess, StaleRepliesAreDrainedBeforeTheCommand) {
  ZqWebcamLock lock(g_webcamMutex);
  {
    // A queue left behind holding an old answer.
    struct mq_attr attr = {};
    attr.mq_maxmsg = 5;
    attr.mq_msgsize = 8;
    const mqd_t q =
        mq_open(zq_mq_name(kZqWebcamReplyQueue).c_str(), O_CREAT | O_WRONLY, 0600, &attr);
    ASSERT_NE(q, static_cast<mqd_t>(-1));
    const uint8_t stale[8] = {9, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(mq_send(q, reinterpret_cast<const char*>(stale), 8, 0), 0);
    mq_close(q);
  }
  EXPECT_EQ(zq_webcam_simple(lock, kZqWebcamStatus, kWrite).body, zq_webcam_status_body(1, 0));
}

// The settings sent through the control service: "id=value".
struct Settings {
  std::vector<std::string> sent;
  ZqWebcamSendSetting fn() {
    return [this](int32_t id, int32_t value) {
      sent.push_back(std::to_string(id) + "=" + std::to_string(value));
      return ZQ_OK;
    };
  }
};

TEST_F(ZqWebcamProcess, SettingsCheckTheBitrateAndRestartAStreamForAFieldOfView) {
  ZqWebcamLock lock(g_webcamMutex);
  Settings s;
  EXPECT_EQ(zq_webcam_settings(lock, "bitrate=700000", kWrite, s.fn()),
            (ZqWebcamAnswer{500, zq_webcam_status_body(1, 6)}));
  EXPECT_EQ(zq_webcam_settings(lock, "bitrate=6000001", kWrite, s.fn()).code, 500);
  EXPECT_EQ(s.sent, std::vector<std::string>{});
  EXPECT_EQ(zq_webcam_settings(lock, "bitrate=700001", kWrite, s.fn()).code, 200);
  EXPECT_EQ(s.sent, std::vector<std::string>{"62=700001"});
  TakeWebcamLog();

  // Not streaming: the setting only.
  s.sent.clear();
  EXPECT_EQ(zq_webcam_settings(lock, "fov=3", kWrite, s.fn()).body, zq_webcam_status_body(1, 0));
  EXPECT_EQ(s.sent, std::vector<std::string>{"43=3"});
  EXPECT_EQ(TakeWebcamLog(), (std::vector<std::pair<uint32_t, bool>>{{7, true}, {7, true}}));

  // Streaming: stop, set, start again; a value of 21 or more is not sent.
  zq_webcam_start(lock, "", "", false, kWrite);
  TakeWebcamLog();
  s.sent.clear();
  EXPECT_EQ(zq_webcam_settings(lock, "fov=4", kWrite, s.fn()).body, zq_webcam_status_body(2, 0));
  EXPECT_EQ(s.sent, std::vector<std::string>{"43=4"});
  EXPECT_EQ(TakeWebcamLog(),
            (std::vector<std::pair<uint32_t, bool>>{{7, true}, {6, true}, {2, true}, {7, true}}));
  s.sent.clear();
  zq_webcam_settings(lock, "fov=21", kWrite, s.fn());
  EXPECT_EQ(s.sent, std::vector<std::string>{});

  // A silent process: the settings still go out; the answer says no reply came.
  Mode({"silent"});
  EXPECT_EQ(zq_webcam_settings(lock, "fov=2", kWrite, s.fn()).body, zq_webcam_status_body(-1, 0));
  EXPECT_EQ(s.sent, std::vector<std::string>{"43=2"});
}

TEST_F(ZqWebcamProcess, CheckedStartAsksTheSettingsFilter) {
  ZqWebcamLock lock(g_webcamMutex);
  std::vector<std::string> asked;
  ZqWebcamFilter filter;
  filter.supported = [&](int32_t setting, uint32_t option) {
    asked.push_back(std::to_string(setting) + ":" + std::to_string(option));
    return setting == 47 ? option == 12 : option <= 4;
  };
  filter.options = [](int32_t setting) {
    return setting == 47 ? std::vector<ZqWebcamOption>{{12, "1080"}}
                         : std::vector<ZqWebcamOption>{{0, "Wide"}, {4, "Linear"}};
  };
  EXPECT_EQ(zq_webcam_checked_start(lock, "", "", nullptr, kWrite),
            (ZqWebcamAnswer{500, "{\n\t\"status\": 0,\n\t\"error\": 7\n}\n"}));
  EXPECT_EQ(zq_webcam_checked_start(lock, "res=12", "", &filter, kWrite),
            (ZqWebcamAnswer{400, "{\n\t\"status\": 0,\n\t\"error\": 6\n}\n"}));
  const ZqWebcamAnswer refused = zq_webcam_checked_start(lock, "fov=9&res=12", "", &filter, kWrite);
  EXPECT_EQ(refused.code, 400);
  const auto doc = nlohmann::json::parse(refused.body);
  ASSERT_EQ(doc["supported_settings"].size(), 1u);
  EXPECT_EQ(doc["supported_settings"][0]["display_name"], "FOV");
  EXPECT_EQ(TakeStatusWrites(), std::vector<std::string>{});  // nothing was sent

  EXPECT_EQ(zq_webcam_checked_start(lock, "res=12&fov=4", "1.2.3.4", &filter, kWrite).body,
            zq_webcam_status_body(2, 0));
  EXPECT_EQ(TakeWebcamLog(), (std::vector<std::pair<uint32_t, bool>>{{0x212, true}}));
  EXPECT_EQ(zq_webcam_checked_start(lock, "", "", &filter, kWrite).code, 200);
  EXPECT_EQ(asked, (std::vector<std::string>{"47:12", "43:9", "47:12", "43:4"}));
}

}  // namespace
