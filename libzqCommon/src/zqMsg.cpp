#include "zqcommon/zqMsg.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "zqcommon/zqLog.h"
#include "zqcommon/zqMbox.h"
#include "zqcommon/zqMsgDebug.h"
#include "zqcommon/zqMutex.h"
#include "zqcommon/zqPaths.h"

namespace {

constexpr uint32_t kErrorVerbosity = 7;
constexpr size_t kCmdLen = 2;
constexpr int kClaimRetries = 5;
constexpr long kClaimRetryStepMs = 100;

// Reply mailbox names held by exchanges of this process. A name in the set belongs to a
// running exchange; a queue of our own naming outside it is stale.
class ReplyNameClaim {
 public:
  // Waits (like an exclusive open: 100 to 500 ms, five times) for `name` to be free in this
  // process, then holds it.
  explicit ReplyNameClaim(const char* name) : name_(name) {
    for (int retry = 0;; ++retry) {
      {
        ZqLock lock(mu_);
        if (names().insert(name_).second) {
          held_ = true;
          return;
        }
      }
      if (retry == kClaimRetries) break;
      ZQ_DBG(kErrorVerbosity, "Warning: Shared Mbox in use (retry)\n");
      zqMbox_retry_sleep(kClaimRetryStepMs * (retry + 1));
    }
    ZQ_DBG(kErrorVerbosity, "Error: Shared Mbox will not open\n");
  }
  ~ReplyNameClaim() {
    if (!held_) return;
    ZqLock lock(mu_);
    names().erase(name_);
  }
  ReplyNameClaim(const ReplyNameClaim&) = delete;
  ReplyNameClaim& operator=(const ReplyNameClaim&) = delete;

  bool held() const { return held_; }

 private:
  static std::set<std::string>& names() REQUIRES(mu_) {
    static std::set<std::string> set;
    return set;
  }
  static inline ZqMutex mu_;

  std::string name_;
  bool held_ = false;
};

// Removes a queue of our naming that no exchange of ours holds.
void RemoveStale(const char* name) {
  const std::string real = zq_mq_name(name);
  if (mq_unlink(real.c_str()) == 0) {
    ZQ_DBG(kErrorVerbosity, "removed stale mailbox \"%s\"\n", name);
  }
}

void Finish(zqmsg* rec, const char* src, const char* dst) {
  uint8_t* buf = rec->msg;
  const size_t cap = rec->capacity;
  const bool fits = sntlv_add_bin(buf, cap, TLV_SRC, strlen(src), src) > 0 &&
                    sntlv_add_bin(buf, cap, TLV_DST, strlen(dst), dst) > 0 &&
                    sntlv_add_dat(buf, cap, TLV_END, 0, 0) > 0;
  ZQ_ASSERT(fits);
  rec->length = sntlv_msg_len(buf);
  ZQ_ASSERT(tlv_validate(buf) == 0);
}

void SetFailure(ZqmsgFailure* out, ZqmsgFailure why) {
  if (out != nullptr) *out = why;
}

// The first two bytes of the CMD value ("" when absent).
void CmdOf(const uint8_t* buf, char out[kCmdLen + 1]) {
  memset(out, 0, kCmdLen + 1);
  const uint8_t* tlv = tlv_find(buf, TLV_CMD);
  if (tlv == nullptr) return;
  const size_t n = tlv_value_len(tlv) < kCmdLen ? tlv_value_len(tlv) : kCmdLen;
  memcpy(out, tlv + kTlvElementHeaderSize, n);
}

// Receives into `rec` until a reply to `cmd` arrives or the time is up.
ZqmsgFailure Receive(zqmsg* rec, mqd_t mqd, const char cmd[kCmdLen + 1], int dump_index) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(zq_scaled_ms(g_timedreceive * 1000L));
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    // The reply is read into the whole record: the length field is checked against what
    // arrived, and nothing beyond the bytes received is ever read.
    memset(rec->msg, 0, sizeof rec->msg);
    const ssize_t n = zqMbox_receive_within(mqd, rec->msg, rec->capacity,
                                            left.count() > 0 ? static_cast<long>(left.count()) : 0);
    if (n < 0) {
      if (errno == ETIMEDOUT) {
        ZQ_DBG(kErrorVerbosity, "%d seconds timeout expired\n", static_cast<int>(g_timedreceive));
      } else {
        ZQ_DBG(kErrorVerbosity, "DMSGERR: receive failed, errno=\"%d\"\n", errno);
      }
      rec->length = 0;
      return ZqmsgFailure::kTimeout;
    }
    const size_t got = static_cast<size_t>(n);
    rec->length = static_cast<uint32_t>(got);
    hexprint(dump_index + 1, rec->msg, got);
    const bool framed = got >= kTlvHeaderSize && sntlv_msg_len(rec->msg) == got;
    const int valid = framed ? tlv_validate(rec->msg) : kTlvBadFrame;
    if (valid != 0) {
      ZQ_DBG(kErrorVerbosity, "DMSGERR: reply of %zd bytes to %.2s is invalid (%d)\n", n, cmd,
             valid);
      if ((g_debug_level & 0xFF) > kErrorVerbosity) snhexdump("ERROR", rec->msg, got);
      return ZqmsgFailure::kBadReply;
    }
    char reply_cmd[kCmdLen + 1];
    CmdOf(rec->msg, reply_cmd);
    if (memcmp(reply_cmd, cmd, kCmdLen) == 0) return ZqmsgFailure::kNone;
    // A late answer to an earlier exchange that used the same reply name.
    ZQ_DBG(kErrorVerbosity, "DMSGERR: dropped a reply to %.2s while waiting for %.2s\n", reply_cmd,
           cmd);
  }
}

}  // namespace

int zqmsg_build(zqmsg* rec, const char* cmd, const void* arg, size_t arg_len, uint8_t category) {
  uint8_t* buf = rec->msg;
  sntlv_msg_init(buf, rec->capacity, category);
  // Two bytes of the command: a one-letter command goes with its terminating zero.
  const char code[kCmdLen] = {cmd[0], cmd[0] != '\0' ? cmd[1] : '\0'};
  sntlv_add_bin(buf, rec->capacity, TLV_CMD, kCmdLen, code);
  const int added = sntlv_add_bin(buf, rec->capacity, TLV_CMDARG, arg_len, arg);
  rec->length = sntlv_msg_len(buf);
  return added > 0 ? static_cast<int>(rec->length) : -1;
}

bool zqmsg_reply_name(char* out, size_t size, const char* prefix) {
  const int n = snprintf(out, size, "%s%d", prefix, static_cast<int>(getpid()));
  return n > 0 && static_cast<size_t>(n) < size;
}

int zqmsg_send(zqmsg* rec, const char* src, const char* dst, const char* via, int dump_index) {
  Finish(rec, src, dst);
  MboxHandle tx;
  if (tx.OpenTx(via != nullptr ? via : dst) != 0) return -1;
  hexprint(dump_index, rec->msg, rec->length);
  return zqMbox_send(rec->msg, rec->length, tx.get());
}

int zqmsg_exchange(zqmsg* rec, const char* src, const char* dst, const char* via, int dump_index,
                   bool exclusive, ZqmsgFailure* failure) {
  SetFailure(failure, ZqmsgFailure::kNone);
  Finish(rec, src, dst);
  char cmd[kCmdLen + 1];
  CmdOf(rec->msg, cmd);

  ReplyNameClaim claim(src);
  if (!claim.held()) {
    SetFailure(failure, ZqmsgFailure::kRxOpen);
    return -1;
  }
  RemoveStale(src);
  MboxHandle reply;
  if (reply.OpenReply(src, ZQMSG_MAX_COUNT_SM, exclusive) != 0) {
    SetFailure(failure, ZqmsgFailure::kRxOpen);
    return -1;
  }
  {
    MboxHandle tx;
    if (tx.OpenTx(via != nullptr ? via : dst) != 0) {
      SetFailure(failure, ZqmsgFailure::kTxOpen);
      return -1;
    }
    hexprint(dump_index, rec->msg, rec->length);
    if (zqMbox_send(rec->msg, rec->length, tx.get()) != 0) {
      SetFailure(failure, ZqmsgFailure::kTxOpen);
      return -1;
    }
  }
  const ZqmsgFailure why = Receive(rec, reply.mqd(), cmd, dump_index);
  if (why != ZqmsgFailure::kNone) {
    SetFailure(failure, why);
    return -1;
  }
  return static_cast<int>(rec->length);
}

int zqmsg_send_timedreceive(zqmsg* rec, const char* src, const char* dst, const char* via,
                            int dump_index) {
  return zqmsg_exchange(rec, src, dst, via, dump_index, true, nullptr);
}

bool zqmsg_response(const zqmsg* rec, const uint8_t** value, size_t* len) {
  const uint8_t* tlv = tlv_find(rec->msg, TLV_RSPARG);
  if (tlv == nullptr) return false;
  *value = tlv + kTlvElementHeaderSize;
  *len = tlv_value_len(tlv);
  return true;
}
