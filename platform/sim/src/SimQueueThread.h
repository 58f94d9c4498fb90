// A simulated camera process's thread: it owns a receive queue and waits on it and on a stop
// event, so that ServeStop() ends it at once even in the middle of a deliberate delay.
#ifndef ZQ_PLATFORM_SIM_SRC_SIMQUEUETHREAD_H_
#define ZQ_PLATFORM_SIM_SRC_SIMQUEUETHREAD_H_

#include <mqueue.h>

#include <functional>
#include <string>
#include <thread>

#include "zqcommon/zqUniqueFd.h"

namespace zqsim {

class SimQueueThread {
 public:
  // `name` is the camera's queue name; the host name gets the root's suffix.
  explicit SimQueueThread(std::string name) : name_(std::move(name)) {}
  ~SimQueueThread() { Stop(); }
  SimQueueThread(const SimQueueThread&) = delete;
  SimQueueThread& operator=(const SimQueueThread&) = delete;

  // Removes a stale queue of that name, creates it (`max_count` messages of `msg_size`
  // bytes) and runs `body(this)` on the thread. False with `*error` set when it cannot.
  bool Start(long max_count, long msg_size, std::function<void(SimQueueThread*)> body,
             std::string* error);
  // Asks the thread to end, waits for it, and removes the queue. Safe to call twice.
  void Stop();

  // On the thread: waits up to `ms` for a message (when `watch_queue`) or the stop event.
  // 1 when a message waits, 0 on time-out, -1 when asked to stop.
  int Wait(long ms, bool watch_queue);
  // On the thread: takes one waiting message into `buf`; its size, or -1.
  ssize_t Receive(void* buf, size_t size);

 private:
  std::string name_;
  mqd_t mqd_ = static_cast<mqd_t>(-1);
  UniqueFd stop_;
  std::thread thread_;
};

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_SRC_SIMQUEUETHREAD_H_
