#include "zqcommon/zqCrash.h"

#include <dirent.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <fenv.h>
#include <signal.h>
#include <sys/auxv.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "zqcommon/zqPaths.h"

namespace {

constexpr int kMaxFrames = 16;

// Set once by the installation, before any handler can run; read-only afterwards.
std::atomic<uint32_t> g_opts{0};
std::atomic<bool> g_installed{false};
char g_program[NAME_MAX + 1];
char g_reportPath[PATH_MAX];
long g_utcOffset = 0;  // seconds east of UTC at installation (localtime is not signal-safe)
volatile sig_atomic_t g_inHandler = 0;

// A small output buffer over a descriptor, for use inside the signal handler: no allocation,
// no stdio, no locks.
class SafeWriter {
 public:
  explicit SafeWriter(int fd) : fd_(fd) {}
  ~SafeWriter() { Flush(); }
  SafeWriter(const SafeWriter&) = delete;
  SafeWriter& operator=(const SafeWriter&) = delete;

  SafeWriter& Str(const char* s) {
    while (*s != '\0') Put(*s++);
    return *this;
  }
  SafeWriter& Bytes(const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i) Put(s[i]);
    return *this;
  }
  SafeWriter& Dec(long long v) {
    char digits[24];
    int n = 0;
    unsigned long long u = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : v;
    do {
      digits[n++] = static_cast<char>('0' + u % 10);
      u /= 10;
    } while (u != 0);
    if (v < 0) Put('-');
    while (n > 0) Put(digits[--n]);
    return *this;
  }
  // At least `width` digits, zero-padded.
  SafeWriter& Dec2(long v, int width) {
    char digits[24];
    int n = 0;
    unsigned long u = static_cast<unsigned long>(v);
    do {
      digits[n++] = static_cast<char>('0' + u % 10);
      u /= 10;
    } while (u != 0 || n < width);
    while (n > 0) Put(digits[--n]);
    return *this;
  }
  SafeWriter& Hex(unsigned long long v, int width, bool upper) {
    const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[20];
    int n = 0;
    do {
      digits[n++] = alphabet[v & 0xF];
      v >>= 4;
    } while (v != 0 || n < width);
    while (n > 0) Put(digits[--n]);
    return *this;
  }
  // As printf's %p.
  SafeWriter& Ptr(const void* p) {
    if (p == nullptr) return Str("(nil)");
    Str("0x");
    return Hex(reinterpret_cast<uintptr_t>(p), 1, false);
  }
  void Flush() {
    size_t off = 0;
    while (off < used_) {
      const ssize_t n = write(fd_, buf_ + off, used_ - off);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      off += static_cast<size_t>(n);
    }
    used_ = 0;
  }

 private:
  void Put(char c) {
    if (used_ == sizeof buf_) Flush();
    buf_[used_++] = c;
  }

  int fd_;
  size_t used_ = 0;
  char buf_[512];
};

void Separator(SafeWriter& w) {
  for (int i = 0; i < 40; ++i) w.Str(" -");
  w.Str("\n");
}

const char* SignalName(int sig) {
  switch (sig) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGILL:
      return "SIGILL";
    case SIGABRT:
      return "SIGABRT";
    case SIGBUS:
      return "SIGBUS";
    case SIGFPE:
      return "SIGFPE";
    case SIGTERM:
      return "SIGTERM";
    case SIGINT:
      return "SIGINT";
    case SIGQUIT:
      return "SIGQUIT";
    case SIGKILL:
      return "SIGKILL";
    default:
      return "UNKNOWN";
  }
}

const char* CodeText(int sig, int code) {
  static const char* const kSegv[] = {"Address not mapped to object",
                                      "Invalid permissions for mapped object"};
  static const char* const kIll[] = {"Illegal opcode",          "Illegal operand",
                                     "Illegal addressing mode", "Illegal trap",
                                     "Privileged opcode",       "Privileged register",
                                     "Coprocessor error",       "Internal stack error"};
  // "overlow" is the text the reports have always carried.
  static const char* const kFpe[] = {
      "Integer divide by zero",           "Integer overlow",
      "Floating point divide by zero",    "Floating point overflow",
      "Floating point underflow",         "Floating point inexact result",
      "Floating point invalid operation", "Subscript out of range"};
  auto pick = [code](const char* const* texts, int count) {
    return (code >= 1 && code <= count) ? texts[code - 1] : "unknown";
  };
  switch (sig) {
    case SIGSEGV:
      return pick(kSegv, 2);
    case SIGILL:
      return pick(kIll, 8);
    case SIGFPE:
      return pick(kFpe, 8);
    default:
      return "unknown";
  }
}

// "%x %H:%M:%S" of the C locale (MM/DD/YY HH:MM:SS) in local time, computed by hand.
void WriteDateTime(SafeWriter& w) {
  const long long t = static_cast<long long>(time(nullptr)) + g_utcOffset;
  long long days = t / 86400;
  long secs = static_cast<long>(t % 86400);
  if (secs < 0) {
    secs += 86400;
    --days;
  }
  // Civil date from days since 1970-01-01.
  const long long z = days + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long day = static_cast<long>(doy - (153 * mp + 2) / 5 + 1);
  const long month = static_cast<long>(mp < 10 ? mp + 3 : mp - 9);
  const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  w.Dec2(month, 2).Str("/").Dec2(day, 2).Str("/").Dec2(static_cast<long>(year % 100), 2);
  w.Str(" ").Dec2(secs / 3600, 2).Str(":").Dec2(secs / 60 % 60, 2).Str(":").Dec2(secs % 60, 2);
}

const char* Kind(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return "file";
  if (S_ISDIR(st.st_mode)) return "dir";
  if (S_ISCHR(st.st_mode)) return "devc";
  if (S_ISBLK(st.st_mode)) return "devb";
  if (S_ISFIFO(st.st_mode)) return "fifo";
  if (S_ISSOCK(st.st_mode)) return "sock";
  if (S_ISLNK(st.st_mode)) return "sym";
  return "unkn";
}

struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[];
};

void WriteOpenFiles(SafeWriter& w) {
  static const char kDir[] = "/proc/self/fd";
  w.Str(" Open files:\n");
  const int dir = open(kDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    w.Str("   ! Could not open ").Str(kDir).Str(" (").Dec(errno).Str(")\n");
    return;
  }
  alignas(8) char entries[1024];
  for (;;) {
    const long n = syscall(SYS_getdents64, dir, entries, sizeof entries);
    if (n <= 0) break;
    for (long off = 0; off < n;) {
      // The record's fields are copied out of the byte buffer rather than read through a
      // cast pointer, so no alignment is assumed.
      unsigned short reclen = 0;
      memcpy(&reclen, entries + off + offsetof(LinuxDirent64, d_reclen), sizeof reclen);
      const char* d_name = entries + off + offsetof(LinuxDirent64, d_name);
      if (reclen == 0) break;
      off += reclen;
      if (d_name[0] == '.') continue;
      char target[256];
      const ssize_t len = readlinkat(dir, d_name, target, sizeof target - 1);
      if (len < 0) {
        w.Str("   #").Str(d_name).Str("\treadlink failed ").Dec(errno).Str("\n");
        continue;
      }
      target[len] = '\0';
      struct stat st;
      const char* kind = fstatat(dir, d_name, &st, 0) == 0 ? Kind(st) : "?";
      w.Str("   #").Str(d_name).Str("\t").Str(kind).Str("\t").Str(target).Str("\n");
    }
  }
  close(dir);
}

// " <title>\n" and each line of `path` after three blanks.
void WriteProcFile(SafeWriter& w, const char* title, const char* path) {
  w.Str(" ").Str(title).Str("\n");
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    w.Str("   -> could not open '").Str(path).Str("' (").Dec(errno).Str(")\n");
    return;
  }
  char buf[512];
  bool line_start = true;
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (line_start) w.Str("   ");
      w.Bytes(&buf[i], 1);
      line_start = buf[i] == '\n';
    }
  }
  if (!line_start) w.Str("\n");
  close(fd);
}

void Report(int fd, int open_errno, int sig, const siginfo_t* info) {
  const uint32_t opts = g_opts.load(std::memory_order_relaxed);
  SafeWriter w(fd);
  w.Str("\n");
  Separator(w);
  w.Str("\tZQ CRASH HANDLER (Opts: 0x").Hex(opts, 8, true).Str(")\n");
  Separator(w);
  if (fd != STDOUT_FILENO) {
    w.Str("     Report file: ").Str(g_reportPath).Str("\n");
  } else if (open_errno != 0) {
    w.Str("     Report file: STDOUT (failed to open '").Str(g_reportPath).Str("' err:");
    w.Dec(open_errno).Str(")\n");
  } else {
    w.Str("     Report file: STDOUT\n");
  }
  w.Str("       Date/Time: ");
  WriteDateTime(w);
  w.Str("\n");
  w.Str("         Program: ").Str(g_program).Str("\n");
  w.Str("      Process ID: ").Dec(getpid()).Str(" (Parent: ").Dec(getppid()).Str(")\n");
  w.Str("          Signal: ").Str(SignalName(sig)).Str("\n");
  w.Str("    Signal errno: ").Dec(info != nullptr ? info->si_errno : 0).Str("\n");
  const int code = info != nullptr ? info->si_code : 0;
  w.Str("     Signal code: ").Dec(code).Str(" (").Str(CodeText(sig, code)).Str(")\n");
  w.Str("   Fault address: ").Ptr(info != nullptr ? info->si_addr : nullptr).Str("\n");
  Separator(w);
  w.Flush();
  zqch_backtrace(fd);
  Separator(w);
  WriteOpenFiles(w);
  if (opts & kZqchStatus) WriteProcFile(w, "Status: ", "/proc/self/status");
  if (opts & kZqchMaps) WriteProcFile(w, "Maps: ", "/proc/self/maps");
}

void EndWithSignal(int sig) {
  signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
  _exit(128 + sig);  // only if the default action did not end the process
}

void OnFatalSignal(int sig, siginfo_t* info, void* /*context*/) {
  const int saved_errno = errno;
  if (g_inHandler != 0) EndWithSignal(sig);  // a fault while reporting: stop at once
  g_inHandler = 1;

  int fd = STDOUT_FILENO;
  int open_errno = 0;
  if (g_opts.load(std::memory_order_relaxed) & kZqchReportFile) {
    const int f = open(g_reportPath, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (f >= 0) {
      fd = f;
    } else {
      open_errno = errno;
    }
  }
  Report(fd, open_errno, sig, info);
  if (fd != STDOUT_FILENO && fd != STDERR_FILENO) close(fd);
  errno = saved_errno;
  EndWithSignal(sig);
}

void PrintFailure(const char* what, int ret) {
  printf("\033[31mzqch(%s): %s%d)\n\033[0m", g_program, what, ret);
  fflush(stdout);
}

int Register(int sig, const struct sigaction& sa, const char* message) {
  const int ret = sigaction(sig, &sa, nullptr);
  if (ret != 0) PrintFailure(message, ret);
  return ret;
}

}  // namespace

int zqch_install_crash_handler(uint32_t options) {
  if (g_installed.load()) return kZqchAlreadyInstalled;

  snprintf(g_program, sizeof g_program, "%s", program_invocation_short_name);
  const std::string tmp = zq_path("/tmp");
  zq_make_dirs(tmp);  // exists on the camera; a host root may still lack it
  snprintf(g_reportPath, sizeof g_reportPath, "%s/crash_report_%s.log", tmp.c_str(), g_program);
  const time_t now = time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);
  g_utcOffset = local.tm_gmtoff;
  // The first backtrace() loads the unwinder; do it now, not inside the handler.
  void* warmup[2];
  backtrace(warmup, 2);

  bool on_alt_stack = false;
  if (options & kZqchAltStack) {
    long size = kZqchAltStackSize;
    const long kernel_min = static_cast<long>(getauxval(AT_MINSIGSTKSZ));
    // The kernel's signal frame (larger with wide vector registers) plus room for the report.
    if (kernel_min + 8192 > size) size = kernel_min + 8192;
    void* mem = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    stack_t ss = {};
    ss.ss_sp = mem;
    ss.ss_size = static_cast<size_t>(size);
    const int ret = mem == MAP_FAILED ? -1 : sigaltstack(&ss, nullptr);
    if (ret != 0) {
      PrintFailure("failed running sigaltstack() (ret:", ret);
      if (mem != MAP_FAILED) munmap(mem, static_cast<size_t>(size));
    } else {
      on_alt_stack = true;  // the stack stays for the life of the process
    }
  }

  struct sigaction sa = {};
  const int empty = sigemptyset(&sa.sa_mask);
  if (empty != 0) {
    PrintFailure("failed running sigemptyset() (ret:", empty);
    return empty;
  }
  sa.sa_sigaction = OnFatalSignal;
  sa.sa_flags = SA_SIGINFO | (on_alt_stack ? SA_ONSTACK : 0);
  g_opts.store(options);

  struct Choice {
    uint32_t bit;
    int sig;
    const char* message;
  };
  static const Choice kChoices[] = {
      {kZqchSegv, SIGSEGV, "failed registering SIGSEGV (ret: "},
      {kZqchIll, SIGILL, "failed registering SIGILL (ret: "},
      {kZqchBus, SIGBUS, "failed registering SIGBUS (ret: "},
      {kZqchTerm, SIGTERM, "failed registering SIGTERM (ret: "},
      {kZqchAbrt, SIGABRT, "failed registering SIGABRT (ret: "},
      {kZqchIntQuit, SIGINT, "failed registering SIGINT (ret: "},
      {kZqchIntQuit, SIGQUIT, "failed registering SIGQUIT (ret: "},
  };
  for (const Choice& c : kChoices) {
    if ((options & c.bit) == 0) continue;
    if (const int ret = Register(c.sig, sa, c.message); ret != 0) {
      g_opts.store(0);
      return ret;
    }
  }
  if (options & kZqchFpe) {
    int traps = 0;
    if (options & kZqchTrapDivByZero) traps |= FE_DIVBYZERO;
    if (options & kZqchTrapOverflow) traps |= FE_OVERFLOW;
    if (options & kZqchTrapUnderflow) traps |= FE_UNDERFLOW;
    if (options & kZqchTrapInvalid) traps |= FE_INVALID;
    if (options & kZqchTrapInexact) traps |= FE_INEXACT;
    if (traps != 0) feenableexcept(traps);
    if (const int ret = Register(SIGFPE, sa, "failed registering SIGFPE (ret: "); ret != 0) {
      g_opts.store(0);
      return ret;
    }
  }
  g_installed.store(true);
  return 0;
}

uint32_t zqch_get_opts() { return g_installed.load() ? g_opts.load() : 0; }

void zqch_backtrace(int fd) {
  void* frames[kMaxFrames];
  const int n = backtrace(frames, kMaxFrames);
  SafeWriter w(fd);
  w.Str(" Backtrace ").Str("(").Dec(n).Str(" frames):\n");
  for (int i = 0; i < n; ++i) {
    w.Str("   #").Dec(i).Str("\t").Ptr(frames[i]).Str("\t");
    Dl_info dl = {};
    if (dladdr(frames[i], &dl) != 0 && dl.dli_fname != nullptr) {
      // Like backtrace_symbols(): module(symbol+offset), or module(+offset) without a symbol.
      const auto pc = reinterpret_cast<uintptr_t>(frames[i]);
      w.Str(dl.dli_fname).Str("(");
      if (dl.dli_sname != nullptr) {
        w.Str(dl.dli_sname)
            .Str("+0x")
            .Hex(pc - reinterpret_cast<uintptr_t>(dl.dli_saddr), 1, false);
      } else {
        w.Str("+0x").Hex(pc - reinterpret_cast<uintptr_t>(dl.dli_fbase), 1, false);
      }
      w.Str(")");
    } else {
      w.Str("??");
    }
    w.Str("\n");
  }
  w.Str("\n");
}

#ifdef ZQ_HOST_OVERRIDES
namespace {

// Real faults: the report must show what a real crash shows (signal code, fault address).
__attribute__((no_sanitize("address", "undefined"), noinline)) void TakeSignal(const char* name) {
  if (strcmp(name, "SIGSEGV") == 0) {
    // The address goes through a volatile so the optimiser cannot see (and refuse) the store.
    volatile uintptr_t address = 16;
    *reinterpret_cast<volatile int*>(address) = 1;
  } else if (strcmp(name, "SIGABRT") == 0) {
    abort();
  } else if (strcmp(name, "SIGFPE") == 0) {
    // Both operands unknown, so the division is really done (1 / x is otherwise a compare).
    volatile int one = 1;
    volatile int zero = 0;
    volatile int quotient = one / zero;
    (void)quotient;
  } else if (strcmp(name, "SIGILL") == 0) {
    __builtin_trap();
  } else if (strcmp(name, "SIGBUS") == 0) {
    // A mapping past the end of an empty file.
    const int fd = static_cast<int>(syscall(SYS_memfd_create, "zqch", 0));
    void* p = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p != MAP_FAILED) *static_cast<volatile char*>(p) = 1;
  }
}

}  // namespace

void zqch_host_fault_injection() {
  const char* name = getenv("ZQ_CRASH");
  if (name == nullptr || *name == '\0') return;
  fprintf(stderr, "zqch: ZQ_CRASH=%s: taking the signal now\n", name);
  TakeSignal(name);
  // Reached only for a name that raises nothing. Being after the call, it also keeps this
  // function's frame (no tail call) in the crash report's backtrace of an optimised build.
  fprintf(stderr, "zqch: ZQ_CRASH=%s raised no signal\n", name);
}
#else
void zqch_host_fault_injection() {}
#endif
