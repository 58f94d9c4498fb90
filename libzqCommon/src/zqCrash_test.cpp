#include "zqcommon/zqCrash.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cfenv>
#include <cstdlib>
#include <functional>
#include <string>

#include "zqcommon/zqPaths.h"
#include "zqtest/TempDir.h"

namespace {

constexpr uint32_t kDaemonOptions = 0x0F0001EB;

std::string ReportPath() {
  return zq_path(std::string("/tmp/crash_report_") + program_invocation_short_name + ".log");
}

struct Outcome {
  int status = 0;       // as waitpid gives it
  pid_t pid = 0;        // the child's
  std::string stdout_;  // what the child wrote on standard output
};

// Runs `body` in a child process (without core dumps) and waits for it.
Outcome InChild(const std::function<void()>& body) {
  zqtest::TempDir out_dir;
  const std::string out_path = out_dir.path() + "/stdout";
  fflush(stdout);
  Outcome o;
  o.pid = fork();
  if (o.pid == 0) {
    struct rlimit none = {0, 0};
    setrlimit(RLIMIT_CORE, &none);
    const int fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, STDOUT_FILENO);
    close(fd);
    body();
    fflush(stdout);
    _exit(0);
  }
  waitpid(o.pid, &o.status, 0);
  o.stdout_ = zqtest::ReadFile(out_path);
  return o;
}

// POSIX extended regular expression search.
bool Search(const std::string& text, const std::string& pattern) {
  regex_t re;
  if (regcomp(&re, pattern.c_str(), REG_EXTENDED) != 0) {
    ADD_FAILURE() << "bad pattern " << pattern;
    return false;
  }
  const bool found = regexec(&re, text.c_str(), 0, nullptr, 0) == 0;
  regfree(&re);
  return found;
}

bool Has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

// The whole report of a daemon crash is checked end to end for the common signals; here the
// one that test cannot provoke in the daemon.
TEST(ZqCrash, BusErrorIsReportedAndEndsTheProcess) {
  remove(ReportPath().c_str());
  const Outcome o = InChild([] {
    if (zqch_install_crash_handler(kDaemonOptions) != 0) _exit(3);
    setenv("ZQ_CRASH", "SIGBUS", 1);
    zqch_host_fault_injection();
    _exit(4);
  });
  ASSERT_TRUE(WIFSIGNALED(o.status)) << "exit status " << WEXITSTATUS(o.status);
  EXPECT_EQ(WTERMSIG(o.status), SIGBUS);
  EXPECT_EQ(o.stdout_, "");  // everything went to the file
  const std::string r = zqtest::ReadFile(ReportPath());
  EXPECT_TRUE(Has(r, "\n          Signal: SIGBUS\n")) << r;
  EXPECT_TRUE(Has(r, "\n     Signal code: 2 (unknown)\n")) << r;
  EXPECT_TRUE(Has(r, "\n      Process ID: " + std::to_string(o.pid))) << r;
  EXPECT_TRUE(Search(r, "\t[^\n]+\\([^)\n]*zqch_backtrace[^)\n]*\\+0x[0-9a-f]+\\)\n")) << r;
  EXPECT_LT(r.find(" Open files:"), r.find(" Status: "));
  EXPECT_LT(r.find(" Status: "), r.find(" Maps: "));
}

TEST(ZqCrash, FloatingPointTrapReportsItsCode) {
  remove(ReportPath().c_str());
  const Outcome o = InChild([] {
    if (zqch_install_crash_handler(kZqchFpe | kZqchTrapDivByZero | kZqchReportFile) != 0) _exit(3);
    // Floating-point units without exception traps (ARM's VFP) ignore the request.
    if ((fegetexcept() & FE_DIVBYZERO) == 0) _exit(5);
    volatile double zero = 0.0;
    volatile double q = 1.0 / zero;
    (void)q;
    _exit(4);
  });
  if (WIFEXITED(o.status) && WEXITSTATUS(o.status) == 5) {
    GTEST_SKIP() << "this processor's floating-point unit has no exception traps";
  }
  ASSERT_TRUE(WIFSIGNALED(o.status));
  EXPECT_EQ(WTERMSIG(o.status), SIGFPE);
  const std::string r = zqtest::ReadFile(ReportPath());
  EXPECT_TRUE(Has(r, "\n     Signal code: 3 (Floating point divide by zero)\n")) << r;
  EXPECT_FALSE(Has(r, " Status: "));  // not asked for
  EXPECT_FALSE(Has(r, " Maps: "));
}

TEST(ZqCrash, WithoutTheFileBitTheReportGoesToStdout) {
  remove(ReportPath().c_str());
  const Outcome o = InChild([] {
    if (zqch_install_crash_handler(kZqchSegv) != 0) _exit(3);
    setenv("ZQ_CRASH", "SIGSEGV", 1);
    zqch_host_fault_injection();
  });
  ASSERT_TRUE(WIFSIGNALED(o.status));
  EXPECT_EQ(WTERMSIG(o.status), SIGSEGV);
  EXPECT_TRUE(Has(o.stdout_, "\tZQ CRASH HANDLER (Opts: 0x00000001)\n")) << o.stdout_;
  EXPECT_TRUE(Has(o.stdout_, "\n     Report file: STDOUT\n")) << o.stdout_;
  EXPECT_TRUE(Has(o.stdout_, " Open files:\n")) << o.stdout_;
  struct stat st;
  EXPECT_NE(stat(ReportPath().c_str(), &st), 0);
}

TEST(ZqCrash, UnwritableReportFileFallsBackToStdout) {
  remove(ReportPath().c_str());
  ASSERT_TRUE(zq_make_dirs(zq_path("/tmp")));
  ASSERT_EQ(mkdir(ReportPath().c_str(), 0755), 0);  // a directory where the file should go
  const Outcome o = InChild([] {
    if (zqch_install_crash_handler(kZqchAbrt | kZqchReportFile) != 0) _exit(3);
    abort();
  });
  rmdir(ReportPath().c_str());
  ASSERT_TRUE(WIFSIGNALED(o.status));
  EXPECT_EQ(WTERMSIG(o.status), SIGABRT);
  EXPECT_TRUE(Has(o.stdout_, "\n     Report file: STDOUT (failed to open '" + ReportPath() +
                                 "' err:" + std::to_string(EISDIR) + ")\n"))
      << o.stdout_;
}

TEST(ZqCrash, SecondInstallationKeepsTheFirstOptions) {
  const Outcome o = InChild([] {
    if (zqch_get_opts() != 0) _exit(10);
    if (zqch_install_crash_handler(kZqchSegv | kZqchReportFile) != 0) _exit(11);
    if (zqch_install_crash_handler(kDaemonOptions) != kZqchAlreadyInstalled) _exit(12);
    if (zqch_get_opts() != (kZqchSegv | kZqchReportFile)) _exit(13);
    // SIGABRT was not chosen: it keeps its default effect, without a report.
    abort();
  });
  ASSERT_TRUE(WIFSIGNALED(o.status)) << WEXITSTATUS(o.status);
  EXPECT_EQ(WTERMSIG(o.status), SIGABRT);
}

}  // namespace
