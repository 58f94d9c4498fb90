// A FIFO of message pointers shared between producers and the pool's workers. A counting
// semaphore counts the queued messages, so a worker sleeps while the queue is empty.
// Thread safe. The queue does not own the messages it holds.
#ifndef ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBMESSAGEQUEUE_H_
#define ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBMESSAGEQUEUE_H_

#include <semaphore.h>

#include <cstdint>
#include <deque>

#include "threadpool/ThreadPoolLibThreadMessage.h"
#include "zqcommon/zqMutex.h"

class ThreadPoolLibMessageQueue {
 public:
  ThreadPoolLibMessageQueue();
  virtual ~ThreadPoolLibMessageQueue();
  ThreadPoolLibMessageQueue(const ThreadPoolLibMessageQueue&) = delete;
  ThreadPoolLibMessageQueue& operator=(const ThreadPoolLibMessageQueue&) = delete;

  // Appends `message` and wakes one waiting worker. Returns 0.
  uint32_t AddMessage(ThreadPoolLibThreadMessage* message);
  // Blocks until a message is queued and takes the oldest. Returns 0, or 1 when the wait
  // failed (the out-pointer is then null).
  uint32_t WaitForMessage(ThreadPoolLibThreadMessage** message);

 private:
  ZqMutex mutex_;
  std::deque<ThreadPoolLibThreadMessage*> messages_ GUARDED_BY(mutex_);
  sem_t available_;  // one count per queued message
};

#endif  // ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBMESSAGEQUEUE_H_
