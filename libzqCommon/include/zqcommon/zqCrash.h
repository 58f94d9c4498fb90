// The crash handler: a fatal signal leaves a report and ends the process with that signal, so
// that the exit status shows it and the camera's supervisor restarts the daemon.
//
// Report (to "/tmp/crash_report_<program>.log", resolved with zq_path(), or to stdout): a
// header with the option word, report file, date and time, program, process and parent ids;
// the signal, its errno, code (with its text) and fault address; a backtrace of at most 16
// frames; the open files with their kinds and targets; optionally /proc/self/status and
// /proc/self/maps. The handler only makes async-signal-safe calls (plus backtrace and dladdr,
// both prepared at installation), takes no lock of the daemon and allocates nothing.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCRASH_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCRASH_H_

#include <cstdint>

// Option bits.
inline constexpr uint32_t kZqchSegv = 0x1;
inline constexpr uint32_t kZqchIll = 0x2;
inline constexpr uint32_t kZqchTerm = 0x4;
inline constexpr uint32_t kZqchAbrt = 0x8;
inline constexpr uint32_t kZqchIntQuit = 0x10;
inline constexpr uint32_t kZqchBus = 0x20;
inline constexpr uint32_t kZqchFpe = 0x80;
inline constexpr uint32_t kZqchTrapDivByZero = 0x100;
inline constexpr uint32_t kZqchTrapOverflow = 0x200;
inline constexpr uint32_t kZqchTrapUnderflow = 0x400;
inline constexpr uint32_t kZqchTrapInvalid = 0x800;
inline constexpr uint32_t kZqchTrapInexact = 0x1000;
inline constexpr uint32_t kZqchReportFile = 0x1000000;
inline constexpr uint32_t kZqchAltStack = 0x2000000;
inline constexpr uint32_t kZqchStatus = 0x4000000;
inline constexpr uint32_t kZqchMaps = 0x8000000;

// Returned by a second installation.
inline constexpr int kZqchAlreadyInstalled = 114;
// Size of the alternate signal stack (enlarged when the kernel asks for more).
inline constexpr long kZqchAltStackSize = 13120;

// Installs the handler for the signals selected by `options` (floating-point traps by bits 8
// to 12 are enabled first when SIGFPE is handled). Returns 0, kZqchAlreadyInstalled (the first
// option word stays), or the failing call's result after printing a red message on stdout. A
// failing sigaltstack() is reported and installation goes on without the alternate stack.
// Call once, from the main thread, before other threads start (traps and the alternate stack
// are per thread; threads inherit the traps).
int zqch_install_crash_handler(uint32_t options);

// The installed option word; 0 before installation.
uint32_t zqch_get_opts();

// Writes " Backtrace (<n> frames):", one line "   #<i>\t<address>\t<symbol>" per frame (at most
// 16) and a blank line to the descriptor `fd`. Async-signal-safe once the handler is installed.
void zqch_backtrace(int fd);

// Host builds only: when the environment variable ZQ_CRASH names a signal ("SIGSEGV",
// "SIGABRT", "SIGFPE", "SIGILL", "SIGBUS"), the calling thread takes that signal now through a
// real fault of that kind. Lets tests crash the daemon on purpose; does nothing in a camera
// build or when the variable is unset.
void zqch_host_fault_injection();

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCRASH_H_
