#include "zqcommon/zqChild.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "zqtest/TempDir.h"

namespace {

// The stop schedule against a child that ends at look `ends_at` (0: never).
std::vector<std::string> g_events;
int g_ends_at = 0;
int g_looks = 0;

TEST(ZqChild, StopScheduleHangsUpThenKillsAfterTheThirdInterval) {
  const ZqChildOps ops = {
      [](pid_t, int sig) {
        g_events.push_back(sig == SIGHUP ? "HUP" : sig == SIGKILL ? "KILL" : "?");
        return 0;
      },
      [](pid_t) {
        ++g_looks;
        g_events.push_back("look");
        return g_ends_at != 0 && g_looks >= g_ends_at;
      },
      [](long ms) { g_events.push_back("wait" + std::to_string(ms)); },
  };
  struct Case {
    int ends_at;
    bool stopped;
    std::string events;
  };
  const Case cases[] = {
      {1, true, "HUP look"},
      {4, true, "HUP look wait100 look wait100 look wait100 KILL look"},
      {5, true, "HUP look wait100 look wait100 look wait100 KILL look wait100 look"},
      {0, false, "HUP look wait100 look wait100 look wait100 KILL look wait100 look"},
  };
  for (const Case& c : cases) {
    g_events.clear();
    g_looks = 0;
    g_ends_at = c.ends_at;
    EXPECT_EQ(zq_child_stop(4242, ops), c.stopped) << c.ends_at;
    std::string joined;
    for (const std::string& e : g_events) joined += (joined.empty() ? "" : " ") + e;
    EXPECT_EQ(joined, c.events) << c.ends_at;
  }
}

// A copy of the system's sleep program under a name of our own.
std::string CopyOfSleep(const zqtest::TempDir& dir) {
  const std::string path = dir.path() + "/helper";
  zqtest::WriteFile(path, zqtest::ReadFile("/bin/sleep"));
  chmod(path.c_str(), 0755);
  return path;
}

// Waits until the child runs `path` (the exec happened), at most 10 s.
bool WaitRunning(const std::string& path) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < end) {
    if (zq_program_running(path)) return true;
    std::this_thread::yield();
  }
  return false;
}

bool ProcessExists(pid_t pid) { return kill(pid, 0) == 0; }

// Signals the real operations send, for checking that a hang-up was enough.
std::vector<int> g_signals;
int RecordSignal(pid_t pid, int sig) {
  g_signals.push_back(sig);
  return kill(pid, sig);
}

TEST(ZqChild, SpawnedHelperStopsOnHangUpAndIsReaped) {
  zqtest::TempDir dir;
  const std::string helper = CopyOfSleep(dir);
  // The daemon ignores and blocks signals of its own: the helper must not inherit that.
  signal(SIGHUP, SIG_IGN);
  sigset_t block;
  sigemptyset(&block);
  sigaddset(&block, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &block, nullptr);
  // A descriptor without close-on-exec must not reach the helper either.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);

  EXPECT_FALSE(zq_program_running(helper));
  const pid_t pid = zq_child_spawn(helper, {"zqStreamVerse", "30"});
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(WaitRunning(helper));
  EXPECT_FALSE(zq_child_reap(pid));  // still running

  // What the helper's descriptors lead to. Its loader may still hold a library open, so the
  // test is that our pipe is not among them, not that there are exactly three.
  auto target = [](const std::string& link) {
    char buf[256];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  };
  const std::string pipe = target("/proc/self/fd/" + std::to_string(fds[1]));
  ASSERT_EQ(pipe.rfind("pipe:", 0), 0u);
  std::vector<std::string> helper_fds;
  const std::string fd_dir = "/proc/" + std::to_string(pid) + "/fd/";
  if (DIR* d = opendir(fd_dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') helper_fds.push_back(target(fd_dir + e->d_name));
    }
    closedir(d);
  }
  EXPECT_GE(helper_fds.size(), 3u);
  EXPECT_EQ(std::count(helper_fds.begin(), helper_fds.end(), pipe), 0);

  g_signals.clear();
  ZqChildOps ops = zq_child_real_ops();
  ops.signal = RecordSignal;
  EXPECT_TRUE(zq_child_stop(pid, ops));
  EXPECT_EQ(g_signals, std::vector<int>{SIGHUP});
  EXPECT_FALSE(ProcessExists(pid));  // reaped, no zombie left
  EXPECT_FALSE(zq_program_running(helper));
  EXPECT_TRUE(zq_child_reap(pid));
  close(fds[0]);
  close(fds[1]);
  pthread_sigmask(SIG_UNBLOCK, &block, nullptr);
  signal(SIGHUP, SIG_DFL);
}

TEST(ZqChild, ProgramThatCannotRunEndsTheChildWith127) {
  zqtest::TempDir dir;
  for (const std::string& path : {dir.path() + "/missing", dir.path()}) {
    const pid_t pid = zq_child_spawn(path, {"x"});
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 127);
  }
  EXPECT_TRUE(zq_child_reap(-1));
  EXPECT_TRUE(zq_child_stop(0));
}

}  // namespace
