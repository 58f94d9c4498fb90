#include "threadpool/ThreadPoolLibThreadLimiter.h"

#include <unistd.h>

uint32_t ThreadPoolLibThreadLimiter::GetProcessorCount() {
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<uint32_t>(n) : 1;
}
