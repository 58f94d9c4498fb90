#include "threadpool/ThreadPoolLibMessageQueue.h"

#include <cerrno>

ThreadPoolLibMessageQueue::ThreadPoolLibMessageQueue() { sem_init(&available_, 0, 0); }

ThreadPoolLibMessageQueue::~ThreadPoolLibMessageQueue() { sem_destroy(&available_); }

uint32_t ThreadPoolLibMessageQueue::AddMessage(ThreadPoolLibThreadMessage* message) {
  ZqLock lock(mutex_);
  messages_.push_back(message);
  sem_post(&available_);
  return 0;
}

uint32_t ThreadPoolLibMessageQueue::WaitForMessage(ThreadPoolLibThreadMessage** message) {
  *message = nullptr;
  int rc;
  do {
    rc = sem_wait(&available_);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return 1;
  ZqLock lock(mutex_);
  if (messages_.empty()) return 1;
  *message = messages_.front();
  messages_.pop_front();
  return 0;
}
