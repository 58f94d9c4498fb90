#include "threadpool/ThreadPoolLibThreadPool.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Records the order in which work ran and on which thread.
struct Log {
  std::mutex mutex;
  std::condition_variable done;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
};

class RecordMessage : public ThreadPoolLibProcessMessage {
 public:
  RecordMessage(Log* log, int id) : log_(log), id_(id) {}
  uint32_t ProcessMessage(void*) override {
    std::lock_guard<std::mutex> lock(log_->mutex);
    log_->order.push_back(id_);
    log_->threads.push_back(std::this_thread::get_id());
    log_->done.notify_all();
    return 0;
  }

 private:
  Log* log_;
  int id_;
};

// The usual worker loop: process messages are destroyed after running, a quit message ends
// the thread.
void* Worker(void* arg) {
  auto* pool = static_cast<ThreadPoolLibThreadPool*>(arg);
  while (true) {
    ThreadPoolLibThreadMessage* m = nullptr;
    if (pool->WaitForMessage(&m) != 0) return nullptr;
    if (m->MessageType() == kThreadMessageQuit) {
      delete m;
      return nullptr;
    }
    static_cast<ThreadPoolLibProcessMessage*>(m)->ProcessMessage(m);
    delete m;
  }
}

TEST(ThreadPoolLibThreadPool, OneWorkerRunsMessagesInOrderOffTheCallingThread) {
  Log log;
  {
    ThreadPoolLibThreadPool pool(1);
    EXPECT_EQ(pool.StartWorkerThreads(&Worker, &pool), 0u);
    EXPECT_EQ(pool.StartedThreadCount(), 1u);
    for (int i = 0; i < 50; ++i) pool.AddMessage(new RecordMessage(&log, i));
    std::unique_lock<std::mutex> lock(log.mutex);
    log.done.wait(lock, [&] { return log.order.size() == 50; });
  }  // the destructor sends the quit message and joins
  for (int i = 0; i < 50; ++i) EXPECT_EQ(log.order[i], i);
  for (auto id : log.threads) EXPECT_NE(id, std::this_thread::get_id());
}

TEST(ThreadPoolLibThreadPool, ThreadCountIsCappedAndEveryWorkerQuits) {
  Log log;
  {
    ThreadPoolLibThreadPool pool(40);
    EXPECT_EQ(pool.ThreadCount(), THREAD_POOL_MAX_THREADS);
    pool.StartWorkerThreads(&Worker, &pool);
    EXPECT_EQ(pool.StartedThreadCount(), 32u);
    for (int i = 0; i < 100; ++i) pool.AddMessage(new RecordMessage(&log, i));
    std::unique_lock<std::mutex> lock(log.mutex);
    log.done.wait(lock, [&] { return log.order.size() == 100; });
  }
}

TEST(ThreadPoolLibThreadPool, PoolWithoutStartedThreadsDestroysCleanly) {
  ThreadPoolLibThreadPool pool(3);
  EXPECT_EQ(pool.StartedThreadCount(), 0u);
}

TEST(ThreadPoolLibThreadPoolDeathTest, ZeroThreadsIsAProgrammingError) {
  EXPECT_DEATH(ThreadPoolLibThreadPool pool(0), "0 < m_threadCount");
}

}  // namespace
