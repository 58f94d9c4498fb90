// Locks that Clang's thread-safety analysis checks (-Wthread-safety, -Wthread-safety-beta for
// the lock order): the annotation macros, a mutex, a scoped lock and a condition variable.
//
// Every lock of our code is a ZqMutex. Data it guards is declared GUARDED_BY(mutex), a function
// that needs it held REQUIRES(mutex), and a lock that is taken while another is held names the
// other with ACQUIRED_AFTER (or the other names it with ACQUIRED_BEFORE), so that a Clang build
// refuses a guarded access without the lock, a call without the lock it needs and a lock taken
// in the wrong order. Under other compilers the macros are empty and the types are plain
// wrappers of std::mutex.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMUTEX_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMUTEX_H_

#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define ZQ_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define ZQ_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) ZQ_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY ZQ_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) ZQ_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) ZQ_THREAD_ANNOTATION(pt_guarded_by(x))
#define ACQUIRED_BEFORE(...) ZQ_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) ZQ_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))
#define REQUIRES(...) ZQ_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) ZQ_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) ZQ_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) ZQ_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) ZQ_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) ZQ_THREAD_ANNOTATION(assert_capability(x))
#define RETURN_CAPABILITY(x) ZQ_THREAD_ANNOTATION(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS ZQ_THREAD_ANNOTATION(no_thread_safety_analysis)

class ZqCondVar;

// A mutex the analysis knows. Constant-initialised, so a global one is usable from any
// static initialiser.
class CAPABILITY("mutex") ZqMutex {
 public:
  constexpr ZqMutex() = default;
  ZqMutex(const ZqMutex&) = delete;
  ZqMutex& operator=(const ZqMutex&) = delete;

  void Lock() ACQUIRE() { mu_.lock(); }
  void Unlock() RELEASE() { mu_.unlock(); }
  // True when taken; the caller then holds it (adopt it with ZqLock(mu, std::adopt_lock)).
  bool TryLock() TRY_ACQUIRE(true) { return mu_.try_lock(); }
  // Tells the analysis that the mutex is held where it cannot see it (a lambda run under it).
  void AssertHeld() const ASSERT_CAPABILITY(this) {}

 private:
  friend class ZqCondVar;
  std::mutex mu_;
};

// Holds a ZqMutex for its scope (or until Unlock).
class SCOPED_CAPABILITY ZqLock {
 public:
  explicit ZqLock(ZqMutex& mu) ACQUIRE(mu) : mu_(mu) { mu_.Lock(); }
  // Takes over a mutex the caller already holds (after a successful TryLock).
  ZqLock(ZqMutex& mu, std::adopt_lock_t) REQUIRES(mu) : mu_(mu) {}
  ~ZqLock() RELEASE() {
    if (held_) mu_.Unlock();
  }
  ZqLock(const ZqLock&) = delete;
  ZqLock& operator=(const ZqLock&) = delete;

  // Lets the mutex go before the end of the scope, and takes it again.
  void Unlock() RELEASE() {
    held_ = false;
    mu_.Unlock();
  }
  void Lock() ACQUIRE() {
    mu_.Lock();
    held_ = true;
  }

 private:
  ZqMutex& mu_;
  bool held_ = true;
};

// A condition variable over a ZqMutex: the waits release the mutex while they sleep and hold
// it again when they return, so the caller's view of the lock does not change.
class ZqCondVar {
 public:
  void NotifyOne() { cv_.notify_one(); }
  void NotifyAll() { cv_.notify_all(); }

  void Wait(ZqMutex& mu) REQUIRES(mu) {
    std::unique_lock<std::mutex> lock(mu.mu_, std::adopt_lock);
    cv_.wait(lock);
    lock.release();
  }
  // False when `timeout` passed without a notification (spurious wake-ups count as one:
  // callers test their condition again either way).
  template <class Rep, class Period>
  bool WaitFor(ZqMutex& mu, std::chrono::duration<Rep, Period> timeout) REQUIRES(mu) {
    std::unique_lock<std::mutex> lock(mu.mu_, std::adopt_lock);
    const bool woken = cv_.wait_for(lock, timeout) == std::cv_status::no_timeout;
    lock.release();
    return woken;
  }
  template <class Clock, class Duration>
  bool WaitUntil(ZqMutex& mu, std::chrono::time_point<Clock, Duration> deadline) REQUIRES(mu) {
    std::unique_lock<std::mutex> lock(mu.mu_, std::adopt_lock);
    const bool woken = cv_.wait_until(lock, deadline) == std::cv_status::no_timeout;
    lock.release();
    return woken;
  }

 private:
  std::condition_variable cv_;
};

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMUTEX_H_
