#include "zqcommon/zqMsg.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zqcommon/zqLog.h"
#include "zqcommon/zqMbox.h"
#include "zqcommon/zqPaths.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kNet[] = "/zqt_net";

std::string Value(const uint8_t* msg, uint8_t type) {
  const uint8_t* tlv = tlv_find(msg, type);
  if (tlv == nullptr) return "<none>";
  return std::string(reinterpret_cast<const char*>(tlv + 4), tlv_value_len(tlv));
}

// A response to `request`: category 3, its CMD and CMDARG, `rsparg` (none when nullptr),
// then SRC/DST swapped.
Bytes Response(const uint8_t* request, const std::string* rsparg, const char* cmd = nullptr) {
  Bytes b(ZQMSG_MAX + 4);
  uint8_t* m = b.data();
  sntlv_msg_init(m, ZQMSG_MAX, CAT_CGI_MK_RSP);
  const std::string c = cmd != nullptr ? cmd : Value(request, TLV_CMD);
  const std::string arg = Value(request, TLV_CMDARG);
  const std::string src = Value(request, TLV_SRC);
  const std::string dst = Value(request, TLV_DST);
  sntlv_add_bin(m, ZQMSG_MAX, TLV_CMD, c.size(), c.data());
  sntlv_add_bin(m, ZQMSG_MAX, TLV_CMDARG, arg.size(), arg.data());
  if (rsparg != nullptr) sntlv_add_bin(m, ZQMSG_MAX, TLV_RSPARG, rsparg->size(), rsparg->data());
  sntlv_add_bin(m, ZQMSG_MAX, TLV_SRC, dst.size(), dst.data());
  sntlv_add_bin(m, ZQMSG_MAX, TLV_DST, src.size(), src.data());
  sntlv_add_dat(m, ZQMSG_MAX, TLV_END, 0, 0);
  b.resize(sntlv_msg_len(m));
  return b;
}

void SendTo(const std::string& name, const Bytes& bytes) {
  zqMbox tx;
  ASSERT_EQ(zqMbox_txopen(name.c_str(), &tx), 0) << name;
  EXPECT_EQ(zqMbox_send(bytes.data(), bytes.size(), &tx), 0);
  zqMbox_close(&tx);
}

// Plays the network service: takes one message from kNet and answers with what `answer`
// returns for it (one or more messages; none stays silent).
class Peer {
 public:
  using Answer = std::function<std::vector<Bytes>(const Bytes& request)>;

  explicit Peer(Answer answer) : answer_(std::move(answer)) {
    EXPECT_EQ(rx_.OpenRx(kNet, 4, static_cast<long>(ZQMSG_MAX)), 0);
    thread_ = std::thread([this] { Run(); });
  }
  ~Peer() {
    Finish();
    rx_.Close();
    zqMbox_unlink(kNet);
  }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

 private:
  void Run() {
    uint8_t buf[ZQMSG_MAX];
    const ssize_t n = zqMbox_receive_within(rx_.mqd(), buf, sizeof buf, 10000);
    if (n <= 0) return;
    const std::string src = Value(buf, TLV_SRC);
    for (const Bytes& reply : answer_(Bytes(buf, buf + n))) SendTo(src, reply);
  }

  void Finish() {
    if (thread_.joinable()) thread_.join();
  }

  Answer answer_;
  MboxHandle rx_;
  std::thread thread_;
};

class ZqMsg : public testing::Test {
 protected:
  void SetUp() override {
    saved_timeout_ = g_timedreceive;
    g_timedreceive = 10;  // real seconds: a peer that answers never makes the test wait
    ASSERT_TRUE(zqmsg_reply_name(reply_, sizeof reply_, "/to_kxpair"));
    zqMbox_set_sleep_for_tests([](long) {});
  }
  void TearDown() override {
    g_timedreceive = saved_timeout_;
    zqMbox_set_sleep_for_tests(nullptr);
    mq_unlink(zq_mq_name(kNet).c_str());
    mq_unlink(zq_mq_name(reply_).c_str());
  }

  static bool QueueExists(const char* name) {
    const mqd_t q = mq_open(zq_mq_name(name).c_str(), O_WRONLY);
    if (q == static_cast<mqd_t>(-1)) return false;
    mq_close(q);
    return true;
  }

  // An exchange of "XY" that must fail: its reason and what it logged.
  struct Failed {
    ZqmsgFailure why = ZqmsgFailure::kNone;
    std::string log;
  };
  Failed ExchangeFails(const char* dst, bool exclusive = true) {
    zqmsg rec;
    zqmsg_build(&rec, "XY", "\x01", 1, CAT_CGI_MK);
    Failed f;
    testing::internal::CaptureStderr();
    EXPECT_EQ(zqmsg_exchange(&rec, reply_, dst, nullptr, 0, exclusive, &f.why), -1);
    f.log = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(QueueExists(reply_));
    return f;
  }

  char reply_[20] = {};
  uint32_t saved_timeout_ = 0;
};

TEST_F(ZqMsg, BuildWritesCommandAndArgument) {
  zqmsg rec;
  const uint8_t arg[] = {0x00, 0x01};
  EXPECT_EQ(zqmsg_build(&rec, "KX", arg, sizeof arg, CAT_CGI_MK), 16);
  const Bytes expected = {0x00, 0x10, 0x00, 0x02, 0, 0, 2, 'A', 'K', 'X', 0, 0, 2, 'B', 0, 1};
  EXPECT_EQ(Bytes(rec.msg, rec.msg + 16), expected);

  // A one-letter command goes with its terminating zero; an empty argument is still there.
  EXPECT_EQ(zqmsg_build(&rec, "X", nullptr, 0, CAT_CGI_MK), 14);
  EXPECT_EQ(Value(rec.msg, TLV_CMD), std::string("X\0", 2));
  EXPECT_EQ(Value(rec.msg, TLV_CMDARG), "");

  static const uint8_t big[ZQMSG_MAX] = {};
  EXPECT_EQ(zqmsg_build(&rec, "XY", big, sizeof big, CAT_CGI_MK), -1);

  char name[12];
  EXPECT_FALSE(zqmsg_reply_name(name, sizeof name, "/to_kxpair"));  // no room for the pid
  EXPECT_EQ(std::string(reply_), "/to_kxpair" + std::to_string(getpid()));
}

// The validation errors themselves are the TLV tests'; here one broken reply: the length field
// claims more than arrived.
TEST_F(ZqMsg, BadReplyFailsTheExchangeWithoutAborting) {
  const std::string rsparg(1, '\0');
  Peer peer([&](const Bytes& req) {
    Bytes b = Response(req.data(), &rsparg);
    b.resize(b.size() - 3);
    return std::vector<Bytes>{b};
  });
  const Failed f = ExchangeFails(kNet);
  EXPECT_EQ(f.why, ZqmsgFailure::kBadReply);
  EXPECT_NE(f.log.find("DMSGERR"), std::string::npos) << f.log;
  EXPECT_NE(f.log.find("ERROR      00000000  "), std::string::npos) << f.log;
}

TEST_F(ZqMsg, FullDestinationEndsInTheTimeoutNotInASendError) {
  ASSERT_EQ(zqMbox_create(kNet, 1), 0);
  SendTo(kNet, Bytes{1, 2, 3});
  g_timedreceive = 0;
  const Failed f = ExchangeFails(kNet);
  EXPECT_EQ(f.why, ZqmsgFailure::kTimeout);
  EXPECT_NE(f.log.find("Mailbox Full: mbox=\"/zqt_net\" >= 1 messages"), std::string::npos)
      << f.log;
  EXPECT_NE(f.log.find("0 seconds timeout expired"), std::string::npos) << f.log;
}

TEST_F(ZqMsg, MissingDestinationFailsWithoutAborting) {
  EXPECT_EQ(ExchangeFails("/zqt_nobody", false).why, ZqmsgFailure::kTxOpen);
  zqmsg rec;
  zqmsg_build(&rec, "XY", "\x01", 1, CAT_CGI_MK);
  EXPECT_EQ(zqmsg_send(&rec, reply_, "/zqt_nobody", nullptr, 0), -1);
}

TEST_F(ZqMsg, StaleReplyMailboxIsReplaced) {
  // Left by an earlier process with our id, holding an old answer to the same command.
  ASSERT_EQ(zqMbox_create(reply_, 2), 0);
  const std::string stale_value("\x00stale", 6);
  const std::string fresh_value(
      "\x00"
      "fresh",
      6);
  zqmsg old;
  zqmsg_build(&old, "XY", "\x01", 1, CAT_CGI_MK);
  sntlv_add_bin(old.msg, old.capacity, TLV_SRC, strlen(reply_), reply_);
  sntlv_add_bin(old.msg, old.capacity, TLV_DST, 4, "/old");
  sntlv_add_dat(old.msg, old.capacity, TLV_END, 0, 0);
  SendTo(reply_, Response(old.msg, &stale_value));
  Peer peer(
      [&](const Bytes& req) { return std::vector<Bytes>{Response(req.data(), &fresh_value)}; });
  zqmsg rec;
  zqmsg_build(&rec, "XY", "\x01", 1, CAT_CGI_MK);
  ASSERT_GT(zqmsg_send_timedreceive(&rec, reply_, kNet, nullptr, 0), 0);
  const uint8_t* value = nullptr;
  size_t len = 0;
  ASSERT_TRUE(zqmsg_response(&rec, &value, &len));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(value), len), fresh_value);
}

TEST_F(ZqMsg, LateReplyToAnotherCommandIsSkipped) {
  const std::string late("\x01late", 5);
  const std::string right("\x00ok", 3);
  Peer peer([&](const Bytes& req) {
    return std::vector<Bytes>{Response(req.data(), &late, "ZZ"), Response(req.data(), &right)};
  });
  zqmsg rec;
  zqmsg_build(&rec, "XY", "\x01", 1, CAT_CGI_MK);
  testing::internal::CaptureStderr();
  const int n = zqmsg_send_timedreceive(&rec, reply_, kNet, nullptr, 0);
  const std::string log = testing::internal::GetCapturedStderr();
  ASSERT_GT(n, 0);
  EXPECT_NE(log.find("dropped a reply to ZZ while waiting for XY"), std::string::npos) << log;
  const uint8_t* value = nullptr;
  size_t len = 0;
  ASSERT_TRUE(zqmsg_response(&rec, &value, &len));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(value), len), right);
}

TEST_F(ZqMsg, OverlappingExchangesOfOneProcessDoNotShareTheMailbox) {
  // The first exchange holds the reply name until its peer answers; a second one with the
  // same name meanwhile gives up after the exclusive-open retries.
  std::mutex mu;
  std::condition_variable cv;
  bool received = false;
  bool release = false;
  const std::string rsparg(1, '\0');
  Peer peer([&](const Bytes& req) {
    std::unique_lock<std::mutex> lock(mu);
    received = true;
    cv.notify_all();
    cv.wait(lock, [&] { return release; });
    return std::vector<Bytes>{Response(req.data(), &rsparg)};
  });
  int first = 0;
  std::thread t([&] {
    zqmsg rec;
    zqmsg_build(&rec, "AA", "\x01", 1, CAT_CGI_MK);
    first = zqmsg_send_timedreceive(&rec, reply_, kNet, nullptr, 0);
  });
  {
    std::unique_lock<std::mutex> lock(mu);
    cv.wait(lock, [&] { return received; });
  }
  zqmsg rec;
  zqmsg_build(&rec, "BB", "\x01", 1, CAT_CGI_MK);
  ZqmsgFailure why = ZqmsgFailure::kNone;
  EXPECT_EQ(zqmsg_exchange(&rec, reply_, kNet, nullptr, 0, true, &why), -1);
  EXPECT_EQ(why, ZqmsgFailure::kRxOpen);
  {
    std::lock_guard<std::mutex> lock(mu);
    release = true;
  }
  cv.notify_all();
  t.join();
  EXPECT_GT(first, 0);
}

TEST(ZqMsgDeathTest, InvalidOwnMessageIsAnAssertion) {
  zqmsg rec;
  sntlv_msg_init(rec.msg, rec.capacity, CAT_CGI_MK);
  sntlv_add_bin(rec.msg, rec.capacity, TLV_CMD, 2, "XY");  // no CMDARG
  EXPECT_DEATH(zqmsg_send(&rec, "/zqt_src", "/zqt_nobody", nullptr, 0),
               "ASSERT:zqMsg.cpp/Finish:[0-9]+:tlv_validate");
}

}  // namespace
