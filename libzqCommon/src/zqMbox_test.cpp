#include "zqcommon/zqMbox.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"
#include "zqcommon/zqTlv.h"

namespace {

// Records the retry delays instead of sleeping; an optional action runs at a given retry.
struct SleepRecorder {
  static inline std::vector<long> delays;
  static inline size_t act_at = 0;
  static inline void (*action)() = nullptr;

  static void Sleep(long ms) {
    delays.push_back(ms);
    if (action != nullptr && delays.size() == act_at) action();
  }
};

class ZqMbox : public testing::Test {
 protected:
  void SetUp() override {
    SleepRecorder::delays.clear();
    SleepRecorder::action = nullptr;
    zqMbox_set_sleep_for_tests(SleepRecorder::Sleep);
    saved_timeout_ = g_timedreceive;
  }
  void TearDown() override {
    zqMbox_set_sleep_for_tests(nullptr);
    g_timedreceive = saved_timeout_;
    for (const char* name : {"/zqt_rx", "/zqt_full", "/zqt_shared", "/zqt_kept"}) {
      mq_unlink(zq_mq_name(name).c_str());
    }
  }

  // Runs `f` and returns what the debug facility wrote to standard error.
  template <typename F>
  static std::string Logged(F f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
  }

  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) {
      ++n;
    }
    return n;
  }

  uint32_t saved_timeout_ = 0;
};

TEST_F(ZqMbox, SendAndTimedReceiveRoundTrip) {
  zqMbox rx;
  ASSERT_EQ(zqMbox_rxopen("/zqt_rx", 3, &rx), 0);

  zqMbox tx;
  ASSERT_EQ(zqMbox_txopen("/zqt_rx", &tx), 0);
  const std::string msg = "twenty bytes of text";
  EXPECT_EQ(zqMbox_send(msg.data(), msg.size(), &tx), 0);
  char buf[ZQMSG_MAX];
  EXPECT_EQ(snzqMbox_timedreceive(buf, sizeof buf, &rx), static_cast<ssize_t>(msg.size()));
  EXPECT_EQ(std::string(buf, msg.size()), msg);
  EXPECT_EQ(zqMbox_send(msg.data(), 3, &tx), 0);
  EXPECT_EQ(snzqMbox_receive(buf, sizeof buf, &rx), 3);

  EXPECT_EQ(zqMbox_close(&tx), 0);
  EXPECT_EQ(zqMbox_close(&tx), -1);
  EXPECT_EQ(zqMbox_close(&rx), 0);
}

TEST_F(ZqMbox, NamesAreMappedPerRoot) {
  ASSERT_EQ(zqMbox_create("/zqt_kept", 2), 0);
  const mqd_t mapped = mq_open(zq_mq_name("/zqt_kept").c_str(), O_WRONLY);
  EXPECT_NE(mapped, static_cast<mqd_t>(-1));
  if (mapped != static_cast<mqd_t>(-1)) mq_close(mapped);
  if (!zq_root().empty()) {
    EXPECT_EQ(mq_open("/zqt_kept", O_WRONLY), static_cast<mqd_t>(-1));
  }
  EXPECT_EQ(zqMbox_unlink("/zqt_kept"), 0);
  zqMbox tx;
  EXPECT_EQ(zqMbox_txopen("/zqt_kept", &tx), -1);
}

TEST_F(ZqMbox, FullQueueDropsTheMessageAndSaysSo) {
  zqMbox rx;
  ASSERT_EQ(zqMbox_rxopen("/zqt_full", 2, &rx), 0);
  zqMbox tx;
  ASSERT_EQ(zqMbox_txopen("/zqt_full", &tx), 0);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(zqMbox_send("ab", 2, &tx), 0);
  const std::string log = Logged([&] { EXPECT_EQ(zqMbox_send("cd", 2, &tx), 0); });
  EXPECT_NE(log.find("No Longer an ASSERT: Mailbox Full: mbox=\"/zqt_full\" >= 2 messages"),
            std::string::npos)
      << log;
  struct mq_attr attr = {};
  mq_getattr(rx.mqd, &attr);
  EXPECT_EQ(attr.mq_curmsgs, 2);
  zqMbox_close(&tx);
  zqMbox_close(&rx);
}

TEST_F(ZqMbox, TimedReceiveGivesUpAfterTheTimeout) {
  zqMbox rx;
  ASSERT_EQ(zqMbox_rxopen("/zqt_rx", 2, &rx), 0);
  char buf[ZQMSG_MAX];
  g_timedreceive = 0;
  std::string log = Logged([&] { EXPECT_EQ(snzqMbox_timedreceive(buf, sizeof buf, &rx), -1); });
  EXPECT_NE(log.find("[   msg_available:"), std::string::npos) << log;
  EXPECT_NE(log.find("0 seconds timeout expired"), std::string::npos) << log;

  const int zero = 0;
  EXPECT_EQ(zq_mq_timedreceive(rx.mqd, buf, sizeof buf, nullptr, &zero), -1);
  EXPECT_EQ(zqMbox_receive_within(rx.mqd, buf, sizeof buf, 0), -1);
  EXPECT_EQ(errno, ETIMEDOUT);
  zqMbox_close(&rx);
}

TEST_F(ZqMbox, OpenForReceiveRetriesFiveTimes) {
  zqMbox rx;
  // A message size of 0 is refused by the system: every attempt fails.
  const std::string log = Logged([&] { EXPECT_EQ(zqMbox_rxopen_ext("/zqt_rx", 2, 0, &rx), -1); });
  EXPECT_EQ(SleepRecorder::delays, (std::vector<long>{10, 10, 10, 10}));
  EXPECT_EQ(Count(log, "target Mbox=\"/zqt_rx\" errno=\"22\"  retry("), 5u) << log;
  EXPECT_NE(log.find("retry(5)"), std::string::npos);
  EXPECT_EQ(rx.mqd, static_cast<mqd_t>(-1));
}

TEST_F(ZqMbox, SharedOpenWaitsOneAndAHalfSecondsThenFails) {
  ASSERT_EQ(zqMbox_create("/zqt_shared", 2), 0);
  zqMbox rx;
  const std::string log =
      Logged([&] { EXPECT_EQ(zqMbox_rxopen_shared("/zqt_shared", 2, &rx), -1); });
  EXPECT_EQ(SleepRecorder::delays, (std::vector<long>{100, 200, 300, 400, 500}));
  EXPECT_EQ(Count(log, "Warning: Shared Mbox in use (retry)"), 5u) << log;
  EXPECT_EQ(Count(log, "Error: Shared Mbox will not open"), 1u) << log;
}

TEST_F(ZqMbox, SharedOpenSucceedsOnceTheNameIsFree) {
  ASSERT_EQ(zqMbox_create("/zqt_shared", 2), 0);
  SleepRecorder::act_at = 2;
  SleepRecorder::action = [] { mq_unlink(zq_mq_name("/zqt_shared").c_str()); };
  zqMbox rx;
  EXPECT_EQ(zqMbox_rxopen_shared("/zqt_shared", 2, &rx), 0);
  EXPECT_EQ(SleepRecorder::delays, (std::vector<long>{100, 200}));
  zqMbox_close(&rx);
}

TEST_F(ZqMbox, HandleRemovesReplyMailboxesOnly) {
  {
    MboxHandle reply;
    ASSERT_EQ(reply.OpenReply("/zqt_rx", 2, true), 0);
    EXPECT_TRUE(reply.is_open());
    MboxHandle kept;
    ASSERT_EQ(kept.OpenRx("/zqt_kept", 2, static_cast<long>(ZQMSG_MAX)), 0);
    MboxHandle again;
    EXPECT_EQ(again.OpenReply("/zqt_rx", 2, true), -1);  // the name is taken
    EXPECT_FALSE(again.is_open());
  }
  zqMbox tx;
  EXPECT_EQ(zqMbox_txopen("/zqt_rx", &tx), -1);
  ASSERT_EQ(zqMbox_txopen("/zqt_kept", &tx), 0);
  zqMbox_close(&tx);
}

TEST(ZqMboxDeathTest, OversizeSendIsAnAssertion) {
  zqMbox tx = {{}, static_cast<mqd_t>(-1), "/zqt_none"};
  static char big[ZQMSG_MAX + 1];
  EXPECT_DEATH(zqMbox_send(big, sizeof big, &tx),
               "ASSERT:zqMbox.cpp/zqMbox_send:[0-9]+:len <= ZQMSG_MAX");
}

}  // namespace
