// Utilities over whole MP4 files, and the process-wide file access lock.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64FILEUTILITIES_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64FILEUTILITIES_H_

#include "threadpool/ThreadPoolLibThreadPool.h"

class QuickTime64FileUtilities {
 public:
  // Initialises `lock` as a mutex: false for a null pointer or a failed initialisation.
  static bool InitializeQuickTime64FileUtilitiesLock(THREAD_POOL_LIB_LOCK* lock);

  static constexpr const char* kTavroString = "Tavro";

  // Serialises file access across the process; initialised once at start-up, with the
  // outcome in haveFileAccessLock.
  static THREAD_POOL_LIB_LOCK fileAccessLock;
  static bool haveFileAccessLock;
};

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64FILEUTILITIES_H_
