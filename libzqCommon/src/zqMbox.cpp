#include "zqcommon/zqMbox.h"

#include <fcntl.h>
#include <sys/select.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "zqcommon/zqLog.h"
#include "zqcommon/zqMsgDebug.h"
#include "zqcommon/zqPaths.h"
#include "zqcommon/zqTlv.h"

namespace {

constexpr uint32_t kErrorVerbosity = 7;
constexpr mode_t kMboxMode = 0664;
constexpr int kRxOpenAttempts = 5;
constexpr long kRxOpenRetryMs = 10;
constexpr int kSharedRetries = 5;
constexpr long kSharedRetryStepMs = 100;  // 100, 200, ... 500 ms: 1.5 s in all

std::atomic<ZqMboxSleepFn> g_sleep{nullptr};

void SetClosed(zqMbox* mbox, const char* name) {
  memset(&mbox->attr, 0, sizeof mbox->attr);
  mbox->mqd = static_cast<mqd_t>(-1);
  mbox->name = name;
}

mqd_t OpenRx(const char* name, long max_count, long msg_size, int extra_flags) {
  struct mq_attr attr = {};
  attr.mq_flags = 0;
  attr.mq_maxmsg = max_count;
  attr.mq_msgsize = msg_size;
  const std::string real = zq_mq_name(name);
  return mq_open(real.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | extra_flags, kMboxMode, &attr);
}

void Attach(zqMbox* mbox, mqd_t mqd) {
  mbox->mqd = mqd;
  mq_getattr(mqd, &mbox->attr);
}

long RemainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<long>(left.count()) : 0;
}

// 1 when a message is waiting on `mqd`, 0 when `timeout_ms` passed first, -1 on error.
int msg_available(mqd_t mqd, long timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(mqd, &readable);
    const long left = RemainingMs(deadline);
    struct timeval tv = {left / 1000, static_cast<suseconds_t>((left % 1000) * 1000)};
    const int n = select(mqd + 1, &readable, nullptr, nullptr, &tv);
    if (n > 0) return 1;
    if (n == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

void LogTimeout(int seconds) {
  // Tagged with the waiting function, as every line of this facility is.
  zqDebugLog(kErrorVerbosity, "msg_available", __LINE__, "%d seconds timeout expired\n", seconds);
}

}  // namespace

void zqMbox_set_sleep_for_tests(ZqMboxSleepFn fn) { g_sleep.store(fn); }

void zqMbox_retry_sleep(long camera_ms) {
  const long ms = zq_scaled_ms(camera_ms);
  if (ZqMboxSleepFn fn = g_sleep.load(); fn != nullptr) {
    fn(ms);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int zqMbox_rxopen_ext(const char* name, long max_count, long msg_size, zqMbox* mbox) {
  SetClosed(mbox, name);
  for (int attempt = 1; attempt <= kRxOpenAttempts; ++attempt) {
    const mqd_t mqd = OpenRx(name, max_count, msg_size, 0);
    if (mqd != static_cast<mqd_t>(-1)) {
      Attach(mbox, mqd);
      return 0;
    }
    ZQ_DBG(kErrorVerbosity, "target Mbox=\"%s\" errno=\"%d\"  retry(%d)\n", name, errno, attempt);
    if (attempt < kRxOpenAttempts) zqMbox_retry_sleep(kRxOpenRetryMs);
  }
  return -1;
}

int zqMbox_rxopen(const char* name, long max_count, zqMbox* mbox) {
  return zqMbox_rxopen_ext(name, max_count, static_cast<long>(ZQMSG_MAX), mbox);
}

int zqMbox_rxopen_shared_ext(const char* name, long max_count, long msg_size, zqMbox* mbox) {
  SetClosed(mbox, name);
  for (int retry = 0;; ++retry) {
    const mqd_t mqd = OpenRx(name, max_count, msg_size, O_EXCL);
    if (mqd != static_cast<mqd_t>(-1)) {
      Attach(mbox, mqd);
      return 0;
    }
    if (errno != EEXIST) {
      ZQ_DBG(kErrorVerbosity, "target Mbox=\"%s\" errno=\"%d\"\n", name, errno);
      return -1;
    }
    if (retry == kSharedRetries) break;
    ZQ_DBG(kErrorVerbosity, "Warning: Shared Mbox in use (retry)\n");
    zqMbox_retry_sleep(kSharedRetryStepMs * (retry + 1));
  }
  ZQ_DBG(kErrorVerbosity, "Error: Shared Mbox will not open\n");
  return -1;
}

int zqMbox_rxopen_shared(const char* name, long max_count, zqMbox* mbox) {
  return zqMbox_rxopen_shared_ext(name, max_count, static_cast<long>(ZQMSG_MAX), mbox);
}

int zqMbox_txopen(const char* name, zqMbox* mbox) {
  SetClosed(mbox, name);
  const std::string real = zq_mq_name(name);
  const mqd_t mqd = mq_open(real.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (mqd == static_cast<mqd_t>(-1)) {
    ZQ_DBG(kErrorVerbosity, "Mbox \"%s\" will not open for sending, errno=\"%d\"\n", name, errno);
    return -1;
  }
  Attach(mbox, mqd);
  return 0;
}

int zqMbox_close(zqMbox* mbox) {
  if (mbox->mqd == static_cast<mqd_t>(-1)) return -1;
  const int rc = mq_close(mbox->mqd);
  mbox->mqd = static_cast<mqd_t>(-1);
  return rc == 0 ? 0 : -1;
}

int zqMbox_unlink(const char* name) {
  const std::string real = zq_mq_name(name);
  if (mq_unlink(real.c_str()) != 0) {
    ZQ_DBG(kErrorVerbosity, "Mbox unlink fail: \"%s\" errno=\"%d\"\n", name, errno);
    return -1;
  }
  return 0;
}

int zqMbox_create_ext(const char* name, long max_count, long msg_size) {
  zqMbox mbox;
  if (zqMbox_rxopen_ext(name, max_count, msg_size, &mbox) != 0) return -1;
  zqMbox_close(&mbox);
  return 0;
}

int zqMbox_create(const char* name, long max_count) {
  return zqMbox_create_ext(name, max_count, static_cast<long>(ZQMSG_MAX));
}

int zqMbox_send(const void* msg, size_t len, zqMbox* mbox) {
  ZQ_ASSERT(len <= ZQMSG_MAX);
  struct mq_attr attr = {};
  if (mq_getattr(mbox->mqd, &attr) != 0) {
    ZQ_DBG(kErrorVerbosity, "Mbox \"%s\": no attributes, errno=\"%d\"\n", mbox->name, errno);
    return -1;
  }
  mbox->attr = attr;
  bool full = attr.mq_curmsgs >= attr.mq_maxmsg;
  if (!full && mq_send(mbox->mqd, static_cast<const char*>(msg), len, 0) != 0) {
    if (errno != EAGAIN) {
      ZQ_DBG(kErrorVerbosity, "Mbox \"%s\": send failed, errno=\"%d\"\n", mbox->name, errno);
      return -1;
    }
    full = true;  // filled up since the check
  }
  if (full) {
    ZQ_DBG(kErrorVerbosity, "No Longer an ASSERT: Mailbox Full: mbox=\"%s\" >= %ld messages\n",
           mbox->name, static_cast<long>(attr.mq_maxmsg));
  }
  return 0;
}

ssize_t snzqMbox_receive(void* buf, size_t size, zqMbox* mbox) {
  ssize_t n;
  do {
    n = mq_receive(mbox->mqd, static_cast<char*>(buf), size, nullptr);
  } while (n < 0 && errno == EINTR);
  ZQ_ASSERT(n >= 0);
  return n;
}

ssize_t zqMbox_receive_within(mqd_t mqd, void* buf, size_t size, long timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const int ready = msg_available(mqd, RemainingMs(deadline));
    if (ready < 0) return -1;
    if (ready == 0) {
      errno = ETIMEDOUT;
      return -1;
    }
    // Never block here: if the message is gone after all, wait again for what time is left.
    struct timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    const ssize_t n = mq_timedreceive(mqd, static_cast<char*>(buf), size, nullptr, &now);
    if (n >= 0) return n;
    if (errno != ETIMEDOUT && errno != EAGAIN && errno != EINTR) return -1;
  }
}

ssize_t zq_mq_timedreceive(mqd_t mqd, void* buf, size_t size, unsigned* priority,
                           const int* timeout_seconds) {
  const int seconds = *timeout_seconds;
  const long ms = zq_scaled_ms(static_cast<long>(seconds) * 1000);
  const int ready = msg_available(mqd, ms);
  if (ready == 0) LogTimeout(seconds);
  if (ready <= 0) return -1;
  struct timespec now = {};
  clock_gettime(CLOCK_REALTIME, &now);
  return mq_timedreceive(mqd, static_cast<char*>(buf), size, priority, &now);
}

ssize_t snzqMbox_timedreceive(void* buf, size_t size, zqMbox* mbox) {
  const int seconds = static_cast<int>(g_timedreceive);
  const ssize_t n =
      zqMbox_receive_within(mbox->mqd, buf, size, zq_scaled_ms(static_cast<long>(seconds) * 1000));
  if (n < 0 && errno == ETIMEDOUT) LogTimeout(seconds);
  return n;
}

int MboxHandle::Adopt(int result, bool unlink_on_close) {
  if (result != 0) {
    SetClosed(&mbox_, nullptr);
    name_.clear();
    return result;
  }
  open_ = true;
  unlink_ = unlink_on_close;
  return 0;
}

int MboxHandle::OpenRx(const char* name, long max_count, long msg_size) {
  Close();
  name_ = name;
  return Adopt(zqMbox_rxopen_ext(name_.c_str(), max_count, msg_size, &mbox_), false);
}

int MboxHandle::OpenReply(const char* name, long max_count, bool exclusive) {
  Close();
  name_ = name;
  const int rc = exclusive ? zqMbox_rxopen_shared(name_.c_str(), max_count, &mbox_)
                           : zqMbox_rxopen(name_.c_str(), max_count, &mbox_);
  return Adopt(rc, true);
}

int MboxHandle::OpenTx(const char* name) {
  Close();
  name_ = name;
  return Adopt(zqMbox_txopen(name_.c_str(), &mbox_), false);
}

void MboxHandle::Close() {
  if (!open_) return;
  zqMbox_close(&mbox_);
  if (unlink_) zqMbox_unlink(name_.c_str());
  open_ = false;
  unlink_ = false;
}
