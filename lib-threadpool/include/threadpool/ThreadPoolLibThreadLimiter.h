// How many threads the machine can run at once.
#ifndef ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBTHREADLIMITER_H_
#define ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBTHREADLIMITER_H_

#include <cstdint>

class ThreadPoolLibThreadLimiter {
 public:
  // The number of online processors (at least 1).
  static uint32_t GetProcessorCount();
};

#endif  // ZQ_LIB_THREADPOOL_INCLUDE_THREADPOOL_THREADPOOLLIBTHREADLIMITER_H_
