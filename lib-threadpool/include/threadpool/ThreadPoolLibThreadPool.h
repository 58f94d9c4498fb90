// A fixed set of worker threads that take their work from the pool's own message queue.
//
// The pool starts no thread by itself: the owner calls StartWorkerThreads with the worker
// procedure, which loops on WaitForMessage until it takes a quit message. The destructor
// queues one quit message per thread and joins every started thread, so a worker procedure
// must return when it takes a quit message.
#ifndef ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBTHREADPOOL_H_
#define ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBTHREADPOOL_H_

#include <pthread.h>

#include <cstdint>

#include "threadpool/ThreadPoolLibMessageQueue.h"

inline constexpr uint32_t THREAD_POOL_MAX_THREADS = 32;

// The lock type of the pool's users (a process-wide mutex of the MP4 utilities, for one).
using THREAD_POOL_LIB_LOCK = pthread_mutex_t;

class ThreadPoolLibThreadPool : public ThreadPoolLibMessageQueue {
 public:
  using WorkerProcedure = void* (*)(void*);

  // `threadCount` above THREAD_POOL_MAX_THREADS is taken as the maximum; below 1 is a
  // programming error (logged, then abort).
  explicit ThreadPoolLibThreadPool(uint32_t threadCount);
  ~ThreadPoolLibThreadPool() override;

  // Starts the workers, each running procedure(argument). A thread that cannot be created is
  // left unstarted. Returns 0.
  uint32_t StartWorkerThreads(WorkerProcedure procedure, void* argument);

  uint32_t ThreadCount() const { return threadCount_; }
  uint32_t StartedThreadCount() const;

 protected:
  // Queues the quit messages and joins the workers; safe to call more than once. A derived
  // class whose worker uses its members calls this from its own destructor.
  void StopWorkerThreads();

 private:
  struct Worker {
    pthread_t thread{};
    bool started = false;
  };

  uint32_t threadCount_;
  Worker workers_[THREAD_POOL_MAX_THREADS];
};

#endif  // ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBTHREADPOOL_H_
