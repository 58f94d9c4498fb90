#include "zqcommon/zqLog.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "zqcommon/zqPaths.h"

uint32_t g_logLevel = ZQ_LOG_ERROR;
uint32_t g_debug_level = 0x00285420;
uint32_t g_debug = 0x30000000;
uint32_t g_timedreceive = 10;

namespace {

// Level names, printed in brackets and padded to five characters.
constexpr const char* kLevelNames[] = {"[ OFF ]", "[FATAL]", "[ERROR]", "[WARN ]",
                                       "[DEBUG]", "[INFO ]", "[TRACE]"};

// Prefix and message together use at most this many bytes (terminator included); a cut
// message leaves the suffix to be written from the last of them on.
constexpr size_t kMessageLimit = 350;
constexpr size_t kLineLimit = kZqLogLineSize - 1;

}  // namespace

void zqUtilSetLogLevel(uint32_t level) {
  if (level <= ZQ_LOG_TRACE) g_logLevel = level;
}

size_t zqUtilFormatLogLine(char* out, long seconds, long millis, uint32_t level, int line,
                           const char* file, const char* format, va_list args) {
  memset(out, 0, kZqLogLineSize);
  const char* name = level <= ZQ_LOG_TRACE ? kLevelNames[level] : "[?????]";
  char stamp[48];
  snprintf(stamp, sizeof stamp, "[%.5ld%.3ld] ", seconds, millis);
  int prefix = snprintf(out, kMessageLimit, "%s%s ", stamp, name);
  size_t used = static_cast<size_t>(prefix);

  int wanted = vsnprintf(out + used, kMessageLimit - used, format, args);
  bool cut = wanted < 0 || used + static_cast<size_t>(wanted) >= kMessageLimit;
  size_t at = cut ? kMessageLimit - 1 : strlen(out);
  size_t room = (cut ? kLineLimit + 1 : kLineLimit) - at;

  int suffix = snprintf(out + at, room, " @%s:%d", file, line);
  if (suffix < 0 || static_cast<size_t>(suffix) >= room) {
    memset(out + at, 0, room);
    out[at] = ' ';
  }
  return strlen(out);
}

void zqUtilKlogMsgLevel(uint32_t level, int line, const char* file, const char* format, ...) {
  struct timespec now = {};
  clock_gettime(CLOCK_BOOTTIME, &now);
  char buf[kZqLogLineSize];
  va_list args;
  va_start(args, format);
  zqUtilFormatLogLine(buf, static_cast<long>(now.tv_sec), now.tv_nsec / 1000000, level, line, file,
                      format, args);
  va_end(args);
  syslog(LOG_ERR, "%s", buf);
}

size_t zqDebugFormatLine(char* out, size_t size, const char* stamp, const char* function, int line,
                         const char* format, va_list args) {
  if (size == 0) return 0;
  int n = snprintf(out, size, "%s [%16s:%4d] ", stamp, function, line);
  if (n < 0) {
    out[0] = '\0';
    return 0;
  }
  if (static_cast<size_t>(n) < size) {
    vsnprintf(out + n, size - static_cast<size_t>(n), format, args);
  }
  return strlen(out);
}

void zqDebugStamp(char* out, size_t size) {
  time_t t = time(nullptr);
  struct tm tm_now = {};
  localtime_r(&t, &tm_now);
  if (strftime(out, size, "%b%d %H:%M:%S", &tm_now) == 0 && size > 0) out[0] = '\0';
}

void zqDebugEmit(const char* text) {
  if (g_debug_level & (kZqDebugStdout | kZqDebugLogFile)) {
    const size_t len = strlen(text);
    const char* end = (len > 0 && text[len - 1] == '\n') ? "" : "\n";
    if (g_debug_level & kZqDebugStdout) {
      printf("%s%s", text, end);
      fflush(stdout);
    }
    if (g_debug_level & kZqDebugLogFile) {
      std::string path = zq_path("/tmp/fuse_d/wifi_log.txt");
      FILE* f = fopen(path.c_str(), "ae");
      if (f != nullptr) {
        fprintf(f, "%s%s", text, end);
        fclose(f);
      }
    }
  }
  openlog(nullptr, LOG_CONS | LOG_PERROR, LOG_USER);
  syslog(LOG_DEBUG, "%s", text);
  closelog();
}

void zqDebugLog(uint32_t threshold, const char* function, int line, const char* format, ...) {
  if (g_debug_level <= threshold) return;
  char stamp[32];
  zqDebugStamp(stamp, sizeof stamp);
  char text[1024];
  va_list args;
  va_start(args, format);
  zqDebugFormatLine(text, sizeof text, stamp, function, line, format, args);
  va_end(args);
  zqDebugEmit(text);
}
