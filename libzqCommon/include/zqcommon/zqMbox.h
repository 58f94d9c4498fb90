// Mailboxes: POSIX message queues carrying TLV messages (zqTlv.h) between the daemon and the
// camera's other processes.
//
// Names are the camera's queue names ("/to_zqnet"); every open and unlink passes them through
// zq_mq_name(), so host runs below different ZQ_ROOTs never share a queue while the names
// inside messages stay the camera's. Retry delays and time-outs go through zq_scaled_ms().
//
// Failures are logged with the debug facility (ZQ_DBG) and returned; only a failing blocking
// receive, which means the daemon passed a bad buffer or descriptor, is an assertion. The
// functions are reentrant; one zqMbox record must not be used by two threads at once.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMBOX_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMBOX_H_

#include <mqueue.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

// Room of a reply mailbox: the reply and one spare.
inline constexpr long ZQMSG_MAX_COUNT_SM = 2;

struct zqMbox {
  struct mq_attr attr;  // flags 0, maximum count, message size, current count
  mqd_t mqd;            // -1 when closed
  const char* name;     // camera name, borrowed from the caller (not copied)
};

// Opens or creates (O_CREAT, mode 0664) a queue for receiving. A failing open is retried
// 10 ms apart, 5 attempts in all, each failure logged. 0 or -1.
int zqMbox_rxopen_ext(const char* name, long max_count, long msg_size, zqMbox* mbox);
int zqMbox_rxopen(const char* name, long max_count, zqMbox* mbox);  // messages of ZQMSG_MAX

// Creates a queue for receiving that must not exist yet (O_CREAT | O_EXCL, mode 0664). While
// the name is in use it retries five times, 100, 200, 300, 400 and 500 ms apart, logging
// "Warning: Shared Mbox in use (retry)"; then logs "Error: Shared Mbox will not open" and
// returns -1. Any other failure returns -1 at once. 0 on success.
int zqMbox_rxopen_shared_ext(const char* name, long max_count, long msg_size, zqMbox* mbox);
int zqMbox_rxopen_shared(const char* name, long max_count, zqMbox* mbox);

// Opens an existing queue for sending. Sends never block: a queue that fills between the
// check and the send counts as full. -1 (logged) when the queue does not exist.
int zqMbox_txopen(const char* name, zqMbox* mbox);

// Closes the descriptor (the queue stays). 0, or -1 when it was not open.
int zqMbox_close(zqMbox* mbox);
// Removes the queue's name; logs "Mbox unlink fail" on error. 0 or -1.
int zqMbox_unlink(const char* name);
// Makes sure the queue exists: opens it for receiving, then closes it. 0 or -1.
int zqMbox_create(const char* name, long max_count);
int zqMbox_create_ext(const char* name, long max_count, long msg_size);

// Sends `len` bytes with priority 0. More than ZQMSG_MAX bytes is an assertion failure. A
// queue that already holds its maximum count drops the message: that is logged ("No Longer an
// ASSERT: Mailbox Full ...") and 0 returned, so the caller sees its own receive time-out.
// 0 when sent, -1 when the send failed.
int zqMbox_send(const void* msg, size_t len, zqMbox* mbox);

// Blocking receive; returns the message size. A failing receive is an assertion failure.
ssize_t snzqMbox_receive(void* buf, size_t size, zqMbox* mbox);

// Waits up to g_timedreceive seconds for a message, then receives it. -1 when none came in
// time (logged "%d seconds timeout expired") or the receive failed; else the message size.
ssize_t snzqMbox_timedreceive(void* buf, size_t size, zqMbox* mbox);

// The same wait with the caller's time-out in seconds (read from `timeout_seconds`), then the
// receive. `priority` may be nullptr.
ssize_t zq_mq_timedreceive(mqd_t mqd, void* buf, size_t size, unsigned* priority,
                           const int* timeout_seconds);

// The same wait in milliseconds of real time (already scaled), without the time-out log.
// Returns the message size, -1 on time-out or error (errno ETIMEDOUT on time-out).
ssize_t zqMbox_receive_within(mqd_t mqd, void* buf, size_t size, long timeout_ms);

// Sleeps between retries: `camera_ms` scaled by ZQ_TIME_SCALE (or the test hook below).
void zqMbox_retry_sleep(long camera_ms);

// Tests only: replaces the sleep between open retries (the argument is the scaled delay in
// ms); nullptr restores the real sleep.
using ZqMboxSleepFn = void (*)(long ms);
void zqMbox_set_sleep_for_tests(ZqMboxSleepFn fn);

// Owns an open mailbox: closes it when it goes, and unlinks it too when it was opened as a
// reply mailbox (OpenReply). Neither copyable nor movable (the record borrows the name).
class MboxHandle {
 public:
  MboxHandle() = default;
  ~MboxHandle() { Close(); }
  MboxHandle(const MboxHandle&) = delete;
  MboxHandle& operator=(const MboxHandle&) = delete;

  // zqMbox_rxopen; the queue stays when the handle goes.
  int OpenRx(const char* name, long max_count, long msg_size);
  // A reply mailbox, removed when the handle goes: `exclusive` creates it with
  // zqMbox_rxopen_shared (the name must be free), otherwise with zqMbox_rxopen.
  int OpenReply(const char* name, long max_count, bool exclusive);
  // zqMbox_txopen.
  int OpenTx(const char* name);
  // Closes (and unlinks a reply mailbox). Safe to call twice.
  void Close();

  bool is_open() const { return open_; }
  zqMbox* get() { return &mbox_; }
  mqd_t mqd() const { return mbox_.mqd; }

 private:
  int Adopt(int result, bool unlink_on_close);

  std::string name_;
  zqMbox mbox_ = {{}, static_cast<mqd_t>(-1), nullptr};
  bool open_ = false;
  bool unlink_ = false;
};

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMBOX_H_
