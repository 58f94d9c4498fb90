// The daemon's two log facilities.
//
// Levelled log: one line per event through ZQ_LOG, which tests g_logLevel at the call site and
// then calls zqUtilKlogMsgLevel. Lines go to the system log at LOG_ERR (and, because the log is
// opened with LOG_PERROR, to standard error). Their shape is
//
//   [SSSSSmmm] [LEVEL] message @file.cpp:123
//
// with the boot-time clock in seconds (at least five digits) and milliseconds. Note that
// DEBUG (4) ranks below INFO (5): a level-5 message is written only at levels 5 and 6.
//
// Debug log: the messaging code's own facility, driven by the bits of g_debug_level (see
// ZQ_DBG below).
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQLOG_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQLOG_H_

#include <cstdarg>
#include <cstddef>
#include <cstdint>

enum ZqLogLevel : uint32_t {
  ZQ_LOG_OFF = 0,
  ZQ_LOG_FATAL = 1,
  ZQ_LOG_ERROR = 2,
  ZQ_LOG_WARN = 3,
  ZQ_LOG_DEBUG = 4,
  ZQ_LOG_INFO = 5,
  ZQ_LOG_TRACE = 6,
};

// Log threshold; a message of level L is issued when g_logLevel >= L. Initially 2 (ERROR).
extern uint32_t g_logLevel;

// Stores levels 0 to 6; a larger value is ignored.
void zqUtilSetLogLevel(uint32_t level);

// Writes one formatted line to the system log. Does not test the level itself.
void zqUtilKlogMsgLevel(uint32_t level, int line, const char* file, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Size of the line buffer: a line holds at most kZqLogLineSize - 1 characters.
inline constexpr size_t kZqLogLineSize = 441;

// Builds the line that zqUtilKlogMsgLevel sends, into `out` (kZqLogLineSize bytes), with the
// given boot-clock reading. Returns the line's length.
size_t zqUtilFormatLogLine(char* out, long seconds, long millis, uint32_t level, int line,
                           const char* file, const char* format, va_list args)
    __attribute__((format(printf, 7, 0)));

#define ZQ_LOG(level, ...)                                                                    \
  do {                                                                                        \
    if (g_logLevel >= static_cast<uint32_t>(level)) {                                         \
      zqUtilKlogMsgLevel(static_cast<uint32_t>(level), __LINE__, __FILE_NAME__, __VA_ARGS__); \
    }                                                                                         \
  } while (0)

// Debug words shared by the messaging code and the rest of the daemon.
//   g_debug_level: low byte the verbosity; bit 8 enables hex dumps of messages; bit 29 appends
//                  every debug line to the card's wifi_log.txt; bit 30 prints it on stdout.
//   g_debug:       mask of hex-dump directions.
//   g_timedreceive: receive time-out of a message exchange, in seconds.
extern uint32_t g_debug_level;
extern uint32_t g_debug;
extern uint32_t g_timedreceive;

inline constexpr uint32_t kZqDebugStdout = 1u << 30;
inline constexpr uint32_t kZqDebugLogFile = 1u << 29;
inline constexpr uint32_t kZqDebugHexDump = 1u << 8;

// Writes a debug line when g_debug_level > threshold. The line is
//
//   Jan05 14:03:07 [   zqMbox_rxopen:  42] message
//
// (local time "%b%d %H:%M:%S", the function right-aligned in 16 columns, the line number in 4)
// and goes to syslog at LOG_DEBUG (the log is opened with LOG_CONS | LOG_PERROR, so it also
// reaches standard error) and, by the bits above, to stdout and the log file.
void zqDebugLog(uint32_t threshold, const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Builds the debug line into `out` (`size` bytes, always terminated) with the given time
// stamp. Returns its length.
size_t zqDebugFormatLine(char* out, size_t size, const char* stamp, const char* function, int line,
                         const char* format, va_list args) __attribute__((format(printf, 6, 0)));

// The current local time as the debug lines show it ("%b%d %H:%M:%S") into `out`.
void zqDebugStamp(char* out, size_t size);

// Sends an already formatted line (hex dumps, assertion reports) to the debug sinks: syslog at
// LOG_DEBUG, and by the bits of g_debug_level to stdout and the log file. A missing final
// newline is added for stdout and the file.
void zqDebugEmit(const char* text);

#define ZQ_DBG(threshold, ...)                                  \
  do {                                                          \
    if (g_debug_level > static_cast<uint32_t>(threshold)) {     \
      zqDebugLog((threshold), __func__, __LINE__, __VA_ARGS__); \
    }                                                           \
  } while (0)

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQLOG_H_
