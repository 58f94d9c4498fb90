// The system commands: program commands and their checks, the streaming program started and
// stopped for real (a stand-in script below the test root), analytics files, beacon values and
// the mobile-offload state, against the simulated camera of the test root.
#include "zqcontrolapi/zqSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "csi.h"
#include "zqSimTestSupport.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimState.h"

using namespace std::string_literals;

namespace {

TEST(ZqSystem, ProgramCommandsAreCheckedBeforeAnythingRuns) {
  std::vector<ZqProgramCommand> cmds;
  ASSERT_EQ(zq_execute_parse("p1=zqStream&a1=1%202&c1=start&p2=zqStream&c2=stop&c3=start", &cmds),
            ZQ_OK);
  ASSERT_EQ(cmds.size(), 2u);  // the list ends at the first missing program
  EXPECT_EQ(cmds[0].arguments, "1%202");
  EXPECT_EQ(cmds[0].op, ZqProgramOp::kStart);
  EXPECT_EQ(cmds[1].op, ZqProgramOp::kStop);

  std::string sixteen;
  for (int i = 1; i <= 16; ++i) {
    sixteen += "p" + std::to_string(i) + "=zqStream&c" + std::to_string(i) + "=stop&";
  }
  ASSERT_EQ(zq_execute_parse(sixteen.c_str(), &cmds), ZQ_OK);
  EXPECT_EQ(cmds.size(), 15u);

  const char* const refused[] = {
      "",                                 // no program
      "p1=zqStream",                      // no command
      "p1=zqStream&c1=launch",            // unknown command
      "p1=zqStream&a1=1&c1=start&a1=>",   // repeated
      "p1=zqStream&c1=stop&p2=&c2=stop",  // an empty second name
  };
  for (const char* q : refused) {
    SCOPED_TRACE(q);
    EXPECT_EQ(zq_execute_parse(q, &cmds), ZQ_ERR_INVALID_PARAM);
    EXPECT_EQ(zq_execute(q, "1.2.3.4"), ZQ_ERR_INVALID_PARAM);
  }
}

TEST(ZqSystem, StartArgumentsAreDigitsAndAFewLetters) {
  struct Case {
    std::string raw;
    bool allowed;
    std::vector<std::string> argv;
  };
  const std::vector<Case> cases = {
      {"-p 8554 -d 1", true, {"-p", "8554", "-d", "1"}},
      {"\"-s\"%20%202", true, {"-s", "2"}},  // quotes go, then the text is decoded
      {"%22-s%22", false, {}},               // so a quote given encoded stays
      {"metadata_enable -p 1", true, {"metadata_enable", "-p", "1"}},
      {"metadata_enable metadata_enable", false, {}},  // only the first one is taken out
      {"1%3B2", false, {}},                            // ";" once decoded
      {std::string(1025, '1'), false, {}},
      {std::string(1024, '1'), true, {std::string(1024, '1')}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.raw.substr(0, 40));
    const std::string decoded = zq_program_arguments(c.raw);
    EXPECT_EQ(zq_program_arguments_allowed(decoded), c.allowed);
    if (!c.allowed) continue;
    EXPECT_EQ(zq_program_argv(decoded), c.argv);
  }
}

// Waits (up to 10 s) for one line written into the FIFO at `path`; "" when none came. The
// writer's open blocks until this reader is there.
std::string ReadFifoLine(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return "";
  std::string line;
  struct pollfd p = {fd, POLLIN, 0};
  while (line.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
    char buf[256];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) line.append(buf, static_cast<size_t>(n));
    if (n == 0 && (p.revents & POLLHUP) != 0) break;  // a writer came and went
  }
  close(fd);
  return line;
}

// Whether the process ends within 10 s (watched through a pidfd: no polling of /proc).
bool Ends(pid_t pid) {
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) return errno == ESRCH;
  struct pollfd p = {fd, POLLIN, 0};
  const bool ended = poll(&p, 1, 10000) == 1;
  close(fd);
  return ended;
}

class ZqExecute : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zqsimtest::kFastTimeouts);
    ASSERT_TRUE(zqsim::ResetCamera());
    bin_ = zq_path("/usr/local/tavro/bin");
    ASSERT_EQ(system(("mkdir -p " + bin_).c_str()), 0);
    fifo_ = bin_ + "/started.fifo";
    unlink(fifo_.c_str());
    ASSERT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
    // The stand-in reports its pid, client and arguments, then runs until stopped.
    zqtest::WriteFile(bin_ + "/zqStream", "#!/bin/sh\necho \"$$ $REMOTE_ADDR $*\" > " + fifo_ +
                                              "\nwhile :; do sleep 1; done\n");
    ASSERT_EQ(chmod((bin_ + "/zqStream").c_str(), 0755), 0);
  }
  void TearDown() override {
    zq_program_stop(kZqStreamProgram);
    unlink(fifo_.c_str());
  }
  std::string bin_;
  std::string fifo_;
};

TEST_F(ZqExecute, StartsTheStreamingProgramAndStopsIt) {
  ASSERT_EQ(zq_execute("p1=zqStream&a1=-p%208554&c1=start", "10.5.5.9"), ZQ_OK);
  const std::string line = ReadFifoLine(fifo_);
  ASSERT_NE(line, "");
  const pid_t first = static_cast<pid_t>(atoi(line.c_str()));
  EXPECT_EQ(line.substr(line.find(' ')), " 10.5.5.9 -p 8554\n");

  // A restart stops the running one first.
  ASSERT_EQ(zq_execute("p1=zqStream&a1=1&c1=restart", "10.5.5.9"), ZQ_OK);
  EXPECT_TRUE(Ends(first));
  const std::string again = ReadFifoLine(fifo_);
  ASSERT_NE(again, "");
  const pid_t second = static_cast<pid_t>(atoi(again.c_str()));
  EXPECT_NE(second, first);

  ASSERT_EQ(zq_execute("p1=zqStream&c1=stop", ""), ZQ_OK);
  EXPECT_TRUE(Ends(second));
}

TEST_F(ZqExecute, RefusesWhatItMayNotRun) {
  // Not ready: 503, and nothing starts.
  zqsim::SimState::Get().Write([](zqsim::SimStateData& d) { return d.camera.ready = 0; });
  EXPECT_EQ(zq_execute("p1=zqStream&a1=1&c1=start", ""), kZqExecuteNotReady);
  zqsim::SimState::Get().Write([](zqsim::SimStateData& d) { return d.camera.ready = 1; });
  // Arguments outside the set, programs off the whitelist or missing.
  EXPECT_EQ(zq_execute("p1=zqStream&a1=-x&c1=start", ""), ZQ_ERR_INVALID_PARAM);
  zqtest::WriteFile(bin_ + "/other", "#!/bin/sh\n");
  EXPECT_EQ(zq_execute("p1=other&c1=start", ""), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(zq_execute("p1=missing&c1=start", ""), ZQ_ERR);
  EXPECT_EQ(zq_execute(("p1=" + std::string(40, 'z') + "&c1=stop").c_str(), ""), ZQ_ERR);
  // No program came to write into the FIFO: a read end finds no writer (end of file).
  const int fd = open(fifo_.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  char c;
  EXPECT_EQ(read(fd, &c, 1), 0);
  close(fd);
}

TEST(ZqAnalytics, FilesAreListedByName) {
  ASSERT_TRUE(zqsim::ResetCamera());
  const std::string dir = zq_path(kZqAnalyticsDir);
  ASSERT_EQ(system(("rm -rf " + dir).c_str()), 0);
  std::vector<ZqAnalyticsFile> files;
  uint64_t total = 1;
  ASSERT_EQ(zq_analytics_list(&files, &total), ZQ_OK);  // no folder
  EXPECT_TRUE(files.empty());
  EXPECT_EQ(total, 0u);

  ASSERT_EQ(system(("mkdir -p " + dir).c_str()), 0);
  zqtest::WriteFile(dir + "DA000002.bin", "22");
  zqtest::WriteFile(dir + "data_analytics.bin", "current");
  zqtest::WriteFile(dir + "DA000001.bin", "1");
  for (const char* other : {"DA.txt", "notes.bin", "Data_analytics.bin", "DA1.bi"}) {
    zqtest::WriteFile(dir + other, "x");
  }
  ASSERT_EQ(zq_analytics_list(&files, &total), ZQ_OK);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].path, dir + "DA000001.bin");
  EXPECT_EQ(files[2].path, dir + "data_analytics.bin");
  EXPECT_EQ(total, 10u);
}

TEST(ZqSystemStatus, NotifyEventClearsThePauseOnlyForAWakeUp) {
  struct Case {
    const char* query;
    int32_t status;
    bool clears;
  };
  const Case cases[] = {
      {"p=3", ZQ_OK, false},
      {"p=x", ZQ_ERR_INVALID_PARAM, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    ASSERT_TRUE(zqsim::ResetCamera());
    const uint32_t paused = 1;
    ASSERT_EQ(csi_set(38, &paused, 4), ZQ_OK);
    EXPECT_EQ(zq_notify_event(c.query), c.status);
    EXPECT_EQ(zqsimtest::StatusBytes(38), c.clears ? std::string(4, '\0') : "\x01\0\0\0"s);
  }
}

TEST(ZqSystemStatus, BeaconValuesRoundTrip) {
  ASSERT_TRUE(zqsim::ResetCamera());
  std::string body;
  ASSERT_EQ(zq_set_beacon("uuid=ab%22cd&major=7&minor=65535"), ZQ_OK);
  ASSERT_EQ(zq_get_beacon(&body), ZQ_OK);
  EXPECT_EQ(body, "{\"uuid\":\"ab\\\"cd\",\"major\":7,\"minor\":65535}");
  // A bad value stores nothing, not even the good ones before it.
  EXPECT_EQ(zq_set_beacon("uuid=zz&major=x&minor=1"), ZQ_ERR_INVALID_PARAM);
  ASSERT_EQ(zq_get_beacon(&body), ZQ_OK);
  EXPECT_EQ(nlohmann::json::parse(body)["uuid"], "ab\"cd");
  // Long ids are cut to what the status holds, and read back one shorter.
  ASSERT_EQ(zq_set_beacon(("uuid=" + std::string(1500, 'u')).c_str()), ZQ_OK);
  ASSERT_EQ(zq_get_beacon(&body), ZQ_OK);
  EXPECT_EQ(nlohmann::json::parse(body)["uuid"].get<std::string>().size(), 1399u);

  EXPECT_EQ(zq_enable_beacon("p=1"), ZQ_OK);
  EXPECT_EQ(zqsimtest::StatusBytes(33), "\x01\0\0\0"s);
  zqsim::SimState::Get().Write([](zqsim::SimStateData& d) { return d.status_faults[33] = -5; });
  EXPECT_EQ(zq_enable_beacon("p=0"), ZQ_ERR);
}

TEST(ZqSystemStatus, OffloadStateReportsItsFlagsAndHidesOffloadWhileBusy) {
  ZqOffloadState s;
  s.flags = 0x2f;  // offload, new media, battery, card, paused
  s.boot_bt = 1, s.boot_rc = 2, s.boot_ap = 3, s.wakeup_reason = 4, s.activity = 5;
  EXPECT_EQ(zq_offload_state_body(s),
            "{\"mobile_offload_state\":1,\"new_media\":1,\"battery_ok\":1,\"sd_card_ok\":1,"
            "\"camera_busy\":false,\"paused\":true,\"cnt_this_boot_bt\":1,\"cnt_this_boot_rc\":2,"
            "\"cnt_this_boot_ap\":3,\"wakeup_reason\":4,\"st_activity\":5}");

  ASSERT_TRUE(zqsim::ResetCamera());
  const uint32_t flags = 1;
  const uint32_t busy = 1;
  ASSERT_EQ(csi_set(34, &flags, 4), ZQ_OK);
  ASSERT_EQ(csi_set(39, &busy, 4), ZQ_OK);
  std::string body;
  ASSERT_EQ(zq_offload_state(&body), ZQ_OK);
  const auto doc = nlohmann::json::parse(body);
  EXPECT_EQ(doc["mobile_offload_state"], 0);
  EXPECT_EQ(doc["camera_busy"], true);

  EXPECT_EQ(zq_clear_new_media_flag(), ZQ_OK);
  EXPECT_EQ(zqsimtest::StatusBytes(128), std::string(4, '\0'));
  EXPECT_EQ(zq_wireless_offload("start", false), kZqStatusNotFound);
  EXPECT_EQ(zq_wireless_offload("pause", true), ZQ_ERR);
}

}  // namespace
