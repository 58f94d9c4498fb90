// Messages carried by a thread pool's queue. A worker takes one message at a time: a quit
// message ends the worker, a process message is handed its own ProcessMessage.
#ifndef ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBTHREADMESSAGE_H_
#define ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBTHREADMESSAGE_H_

#include <cstdint>

inline constexpr uint32_t kThreadMessageQuit = 2;
inline constexpr uint32_t kThreadMessageProcess = 3;

class ThreadPoolLibThreadMessage {
 public:
  explicit ThreadPoolLibThreadMessage(uint32_t type) : type_(type) {}
  virtual ~ThreadPoolLibThreadMessage();
  ThreadPoolLibThreadMessage(const ThreadPoolLibThreadMessage&) = delete;
  ThreadPoolLibThreadMessage& operator=(const ThreadPoolLibThreadMessage&) = delete;

  uint32_t MessageType() const { return type_; }

 private:
  uint32_t type_;
};

// A unit of work. Who destroys it is up to the pool's user: the worker loop of the
// asynchronous reader, for example, leaves process messages to the thread that waits on them.
class ThreadPoolLibProcessMessage : public ThreadPoolLibThreadMessage {
 public:
  ThreadPoolLibProcessMessage() : ThreadPoolLibThreadMessage(kThreadMessageProcess) {}
  ~ThreadPoolLibProcessMessage() override;

  // Runs the work on the worker thread; the result code is the message type's own.
  virtual uint32_t ProcessMessage(void* context) = 0;
};

#endif  // ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBTHREADMESSAGE_H_
