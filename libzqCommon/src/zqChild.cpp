#include "zqcommon/zqChild.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "zqcommon/zqPaths.h"

pid_t zq_child_spawn(const std::string& path, const std::vector<std::string>& argv) {
  // Everything the child needs is made before the fork: after it only async-signal-safe calls.
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t pid = fork();
  if (pid == 0) {
    if (null_fd >= 0) {
      // dup2 clears close-on-exec on the copies.
      dup2(null_fd, 0);
      dup2(null_fd, 1);
      dup2(null_fd, 2);
    }
    // Nothing of the daemon's goes along: no other descriptor (a listening socket would keep
    // the daemon's ports taken after it ends), no blocked or ignored signal (the helper must
    // see the hang-up that stops it).
    close_range(3, ~0U, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    for (int sig : {SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGCHLD}) sigaction(sig, &dfl, nullptr);
    execv(path.c_str(), args.data());
    _exit(127);
  }
  if (null_fd >= 0) close(null_fd);
  return pid;
}

bool zq_child_reap(pid_t pid) {
  if (pid <= 0) return true;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid, &status, WNOHANG);
  } while (r < 0 && errno == EINTR);
  // r == pid: ended now; r < 0 (ECHILD): not ours, or reaped already.
  return r != 0;
}

namespace {

int Signal(pid_t pid, int sig) { return kill(pid, sig); }

void SleepMs(long ms) {
  const long scaled = zq_scaled_ms(ms);
  timespec t = {scaled / 1000, (scaled % 1000) * 1000000L};
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

}  // namespace

const ZqChildOps& zq_child_real_ops() {
  static const ZqChildOps kOps = {Signal, zq_child_reap, SleepMs};
  return kOps;
}

bool zq_child_stop(pid_t pid, const ZqChildOps& ops) {
  if (pid <= 0) return true;
  ops.signal(pid, SIGHUP);
  for (int look = 1; look <= 5; ++look) {
    if (ops.gone(pid)) return true;
    if (look == 5) break;
    ops.sleep_ms(100);
    if (look == 3) ops.signal(pid, SIGKILL);
  }
  return false;
}

namespace {

std::string Link(const std::string& path) {
  char buf[4096];
  const ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return "";
  std::string target(buf, static_cast<size_t>(n));
  // A file replaced or removed since the process started it.
  constexpr std::string_view kDeleted = " (deleted)";
  if (target.size() > kDeleted.size() && target.ends_with(kDeleted))
    target.resize(target.size() - kDeleted.size());
  return target;
}

// The first two words of a process's command line.
bool CommandLine(const std::string& dir, std::string* first, std::string* second) {
  const int fd = open((dir + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[8192];
  const ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return false;
  buf[n] = '\0';
  *first = buf;
  const size_t next = first->size() + 1;
  *second = static_cast<ssize_t>(next) < n ? std::string(buf + next) : std::string();
  return true;
}

}  // namespace

bool zq_program_running(const std::string& path) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return false;
  bool found = false;
  while (dirent* e = readdir(proc)) {
    if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
    const std::string dir = std::string("/proc/") + e->d_name;
    std::string first, second;
    if (Link(dir + "/exe") == path ||
        (CommandLine(dir, &first, &second) && (first == path || second == path))) {
      // A zombie keeps its entry but runs nothing.
      char state = 0;
      const int fd = open((dir + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
      if (fd >= 0) {
        char buf[512];
        const ssize_t n = read(fd, buf, sizeof buf - 1);
        close(fd);
        if (n > 0) {
          buf[n] = '\0';
          const char* close_paren = strrchr(buf, ')');
          if (close_paren != nullptr && close_paren[1] == ' ') state = close_paren[2];
        }
      }
      if (state != 'Z') {
        found = true;
        break;
      }
    }
  }
  closedir(proc);
  return found;
}
