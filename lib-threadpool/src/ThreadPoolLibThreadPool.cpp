#include "threadpool/ThreadPoolLibThreadPool.h"

#include <cstdio>
#include <cstdlib>

ThreadPoolLibThreadPool::ThreadPoolLibThreadPool(uint32_t threadCount)
    : threadCount_(threadCount > THREAD_POOL_MAX_THREADS ? THREAD_POOL_MAX_THREADS : threadCount) {
  if (!(0 < threadCount_ && threadCount_ <= THREAD_POOL_MAX_THREADS)) {
    fprintf(stderr, "%s:%d: precondition failed: %s\n", __FILE__, __LINE__,
            "0 < m_threadCount && m_threadCount <= THREAD_POOL_MAX_THREADS");
    abort();
  }
}

ThreadPoolLibThreadPool::~ThreadPoolLibThreadPool() { StopWorkerThreads(); }

uint32_t ThreadPoolLibThreadPool::StartWorkerThreads(WorkerProcedure procedure, void* argument) {
  for (uint32_t i = 0; i < threadCount_; ++i) {
    if (workers_[i].started) continue;
    workers_[i].started = pthread_create(&workers_[i].thread, nullptr, procedure, argument) == 0;
  }
  return 0;
}

uint32_t ThreadPoolLibThreadPool::StartedThreadCount() const {
  uint32_t n = 0;
  for (uint32_t i = 0; i < threadCount_; ++i) n += workers_[i].started ? 1 : 0;
  return n;
}

void ThreadPoolLibThreadPool::StopWorkerThreads() {
  uint32_t running = StartedThreadCount();
  // One quit message per worker: each worker takes exactly one and returns. The worker
  // destroys the quit message it takes.
  for (uint32_t i = 0; i < running; ++i) {
    AddMessage(new ThreadPoolLibThreadMessage(kThreadMessageQuit));
  }
  for (uint32_t i = 0; i < threadCount_; ++i) {
    if (!workers_[i].started) continue;
    pthread_join(workers_[i].thread, nullptr);
    workers_[i].started = false;
  }
}
