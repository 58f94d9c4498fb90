#include "zqcommon/zqMutex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// Whether another thread could take `mu` right now.
bool FreeElsewhere(ZqMutex& mu) {
  bool taken = false;
  std::thread([&] {
    if (mu.TryLock()) {
      taken = true;
      mu.Unlock();
    }
  }).join();
  return taken;
}

TEST(ZqMutex, LockTryLockAndScopedUnlock) {
  ZqMutex mu;
  EXPECT_TRUE(FreeElsewhere(mu));
  {
    ZqLock lock(mu);
    EXPECT_FALSE(FreeElsewhere(mu));
    lock.Unlock();
    EXPECT_TRUE(FreeElsewhere(mu));
    lock.Lock();
    EXPECT_FALSE(FreeElsewhere(mu));
  }
  EXPECT_TRUE(FreeElsewhere(mu));

  if (!mu.TryLock()) {
    ADD_FAILURE() << "a free mutex could not be taken";
    return;
  }
  {
    ZqLock adopted(mu, std::adopt_lock);
    EXPECT_FALSE(FreeElsewhere(mu));
  }
  EXPECT_TRUE(FreeElsewhere(mu));  // the adopting lock released it
}

struct Shared {
  ZqMutex mu;
  ZqCondVar cv;
  bool ready GUARDED_BY(mu) = false;
};

// A waiter lets the mutex go while it sleeps (else the notifier could never set the flag) and
// holds it again when it returns; the lock then releases it once, at its end.
TEST(ZqCondVar, WaitReleasesTheMutexAndTakesItBack) {
  Shared s;
  std::thread notifier([&] {
    ZqLock lock(s.mu);
    s.ready = true;
    s.cv.NotifyAll();
  });
  {
    ZqLock lock(s.mu);
    while (!s.ready) s.cv.Wait(s.mu);
    EXPECT_FALSE(FreeElsewhere(s.mu));
  }
  notifier.join();
  EXPECT_TRUE(FreeElsewhere(s.mu));
}

TEST(ZqCondVar, TimedWaitsReportTheTimeOut) {
  Shared s;
  ZqLock lock(s.mu);
  EXPECT_FALSE(s.cv.WaitFor(s.mu, std::chrono::milliseconds(1)));
  EXPECT_FALSE(
      s.cv.WaitUntil(s.mu, std::chrono::steady_clock::now() + std::chrono::milliseconds(1)));
  EXPECT_FALSE(FreeElsewhere(s.mu));  // held again after a time-out too
}

}  // namespace
