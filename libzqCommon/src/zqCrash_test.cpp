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

// POSIX extended regular expression search; the first group's text into `group` if given.
bool Search(const std::string& text, const std::string& pattern, std::string* group = nullptr) {
  regex_t re;
  if (regcomp(&re, pattern.c_str(), REG_EXTENDED) != 0) {
    ADD_FAILURE() << "bad pattern " << pattern;
    return false;
  }
  regmatch_t m[2];
  const bool found = regexec(&re, text.c_str(), 2, m, 0) == 0;
  if (found && group != nullptr && m[1].rm_so >= 0) {
    *group =
        text.substr(static_cast<size_t>(m[1].rm_so), static_cast<size_t>(m[1].rm_eo - m[1].rm_so));
  }
  regfree(&re);
  return found;
}

bool Has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

struct CrashCase {
  const char* name;
  int sig;
  const char* code_line;
};

class ZqCrashSignal : public testing::TestWithParam<CrashCase> {};

TEST_P(ZqCrashSignal, ReportIsCompleteAndTheProcessEndsWithTheSignal) {
  const CrashCase& c = GetParam();
  remove(ReportPath().c_str());
  const Outcome o = InChild([&] {
    if (zqch_install_crash_handler(kDaemonOptions) != 0) _exit(3);
    setenv("ZQ_CRASH", c.name, 1);
    zqch_host_fault_injection();
    _exit(4);
  });
  ASSERT_TRUE(WIFSIGNALED(o.status)) << "exit status " << WEXITSTATUS(o.status);
  EXPECT_EQ(WTERMSIG(o.status), c.sig);
  EXPECT_EQ(o.stdout_, "");  // everything went to the file

  const std::string r = zqtest::ReadFile(ReportPath());
  std::string sep;
  for (int i = 0; i < 40; ++i) sep += " -";
  const std::string head = "\n" + sep + "\n\tZQ CRASH HANDLER (Opts: 0x0F0001EB)\n" + sep + "\n" +
                           "     Report file: " + ReportPath() + "\n";
  EXPECT_EQ(r.substr(0, head.size()), head) << r;
  EXPECT_TRUE(Search(r,
                     "\n       Date/Time: [0-9][0-9]/[0-9][0-9]/[0-9][0-9] "
                     "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]\n"))
      << r;
  EXPECT_TRUE(Has(r, std::string("\n         Program: ") + program_invocation_short_name + "\n"));
  EXPECT_TRUE(Has(r, "\n      Process ID: " + std::to_string(o.pid) +
                         " (Parent: " + std::to_string(getpid()) + ")\n"))
      << r;
  EXPECT_TRUE(Has(r, std::string("\n          Signal: ") + c.name + "\n")) << r;
  EXPECT_TRUE(Has(r, "\n    Signal errno: 0\n")) << r;
  EXPECT_TRUE(Has(r, c.code_line)) << r;
  EXPECT_TRUE(Search(r, "\n   Fault address: (0x[0-9a-f]+|\\(nil\\))\n"));

  // Backtrace between separators, every frame numbered in order.
  std::string count;
  ASSERT_TRUE(Search(r, sep + "\n Backtrace \\(([0-9]+) frames\\):\n", &count)) << r;
  const int frames = std::stoi(count);
  EXPECT_GE(frames, 3);
  EXPECT_LE(frames, 16);
  for (int i = 0; i < frames; ++i) {
    EXPECT_TRUE(Search(r, "\n   #" + std::to_string(i) + "\t0x[0-9a-f]+\t[^\n]+\n")) << i;
  }
  // Exported functions are named as the linker knows them (the binary exports its symbols,
  // as the daemon does): "module(_Z14zqch_backtracei+0x21)".
  EXPECT_TRUE(Search(r, "\t[^\n]+\\([^)\n]*zqch_backtrace[^)\n]*\\+0x[0-9a-f]+\\)\n")) << r;

  EXPECT_TRUE(Has(r, "\n\n" + sep + "\n Open files:\n")) << r;
  EXPECT_TRUE(Search(r, "\n   #1\tfile\t[^\n]*/stdout\n")) << r;
  EXPECT_TRUE(Has(r, "\tfile\t" + ReportPath() + "\n")) << r;
  EXPECT_TRUE(Has(r, "\n Status: \n   Name:\t")) << r;
  EXPECT_TRUE(Has(r, "\n   Pid:\t" + std::to_string(o.pid) + "\n")) << r;
  EXPECT_TRUE(Has(r, "\n Maps: \n   ")) << r;
  EXPECT_TRUE(Search(r, "\n   [0-9a-f]+-[0-9a-f]+ r-xp [^\n]*\n")) << r;
  EXPECT_LT(r.find(" Open files:"), r.find(" Status: "));
  EXPECT_LT(r.find(" Status: "), r.find(" Maps: "));
  EXPECT_EQ(r.back(), '\n');
}

// How an integer division by zero shows in the report. 32-bit ARM has no division trap: the
// compiler's division routine raises SIGFPE itself, as a signal sent by the process (code -6).
#if defined(__arm__)
constexpr char kIntegerDivideByZeroCode[] = "\n     Signal code: -6 (unknown)\n";
#else
constexpr char kIntegerDivideByZeroCode[] = "\n     Signal code: 1 (Integer divide by zero)\n";
#endif

INSTANTIATE_TEST_SUITE_P(
    Signals, ZqCrashSignal,
    testing::Values(CrashCase{"SIGSEGV", SIGSEGV,
                              "\n     Signal code: 1 (Address not mapped to object)\n"
                              "   Fault address: 0x10\n"},
                    CrashCase{"SIGABRT", SIGABRT, "\n     Signal code: -6 (unknown)\n"},
                    CrashCase{"SIGFPE", SIGFPE, kIntegerDivideByZeroCode},
                    CrashCase{"SIGBUS", SIGBUS, "\n     Signal code: 2 (unknown)\n"}),
    [](const testing::TestParamInfo<CrashCase>& param) { return std::string(param.param.name); });

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
