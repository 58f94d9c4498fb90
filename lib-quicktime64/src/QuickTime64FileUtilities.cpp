#include "quicktime64/QuickTime64FileUtilities.h"

THREAD_POOL_LIB_LOCK QuickTime64FileUtilities::fileAccessLock = PTHREAD_MUTEX_INITIALIZER;
// Initialised once, while the program starts, before any request can use the utilities.
bool QuickTime64FileUtilities::haveFileAccessLock =
    QuickTime64FileUtilities::InitializeQuickTime64FileUtilitiesLock(
        &QuickTime64FileUtilities::fileAccessLock);

bool QuickTime64FileUtilities::InitializeQuickTime64FileUtilitiesLock(THREAD_POOL_LIB_LOCK* lock) {
  if (lock == nullptr) return false;
  return pthread_mutex_init(lock, nullptr) == 0;
}
