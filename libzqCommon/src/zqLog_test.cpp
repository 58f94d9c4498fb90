#include "zqcommon/zqLog.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Format(long sec, long ms, uint32_t level, int line, const char* file,
                   const char* format, ...) __attribute__((format(printf, 6, 7)));

std::string Format(long sec, long ms, uint32_t level, int line, const char* file,
                   const char* format, ...) {
  char buf[kZqLogLineSize + 16];
  memset(buf, 'X', sizeof buf);  // anything past the line buffer must stay untouched
  va_list args;
  va_start(args, format);
  size_t n = zqUtilFormatLogLine(buf, sec, ms, level, line, file, format, args);
  va_end(args);
  EXPECT_EQ(buf[kZqLogLineSize], 'X');
  EXPECT_EQ(n, strlen(buf));
  return std::string(buf, n);
}

}  // namespace

TEST(ZqLog, LineHasClockLevelMessageAndSource) {
  EXPECT_EQ(Format(12, 7, ZQ_LOG_ERROR, 42, "main.cpp", "hello %d", 5),
            "[00012007] [ERROR] hello 5 @main.cpp:42");
  EXPECT_EQ(Format(1234567, 999, ZQ_LOG_INFO, 1, "a.cpp", "x"), "[1234567999] [INFO ] x @a.cpp:1");
}

TEST(ZqLog, LongMessageIsCutAndStillEndsWithSource) {
  std::string message(1000, 'm');
  std::string line = Format(1, 2, ZQ_LOG_DEBUG, 77, "zqMbox.cpp", "%s", message.c_str());
  EXPECT_LT(line.size(), kZqLogLineSize);
  // The message keeps the first 349 bytes of the line; the suffix follows at once.
  EXPECT_EQ(line.substr(349), " @zqMbox.cpp:77");
  EXPECT_EQ(line.substr(0, 19), "[00001002] [DEBUG] ");
  EXPECT_EQ(line.find_first_not_of('m', 19), 349u);
}

TEST(ZqLog, SuffixThatDoesNotFitBecomesOneBlank) {
  std::string file(200, 'f');
  std::string message(1000, 'm');
  std::string line = Format(1, 2, ZQ_LOG_ERROR, 9, file.c_str(), "%s", message.c_str());
  EXPECT_EQ(line.size(), 350u);
  EXPECT_EQ(line.back(), ' ');

  // Without a cut, the suffix must fit in the rest of the 440 bytes.
  std::string shortmsg(300, 's');
  line = Format(1, 2, ZQ_LOG_ERROR, 9, file.c_str(), "%s", shortmsg.c_str());
  EXPECT_EQ(line, "[00001002] [ERROR] " + shortmsg + " ");
}

TEST(ZqLog, SetLevelIgnoresValuesAboveTrace) {
  uint32_t saved = g_logLevel;
  zqUtilSetLogLevel(ZQ_LOG_TRACE);
  EXPECT_EQ(g_logLevel, 6u);
  zqUtilSetLogLevel(7);
  EXPECT_EQ(g_logLevel, 6u);
  zqUtilSetLogLevel(ZQ_LOG_OFF);
  EXPECT_EQ(g_logLevel, 0u);
  g_logLevel = saved;
}

namespace {

std::string DebugLine(const char* stamp, const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

std::string DebugLine(const char* stamp, const char* function, int line, const char* format, ...) {
  char buf[64];
  va_list args;
  va_start(args, format);
  size_t n = zqDebugFormatLine(buf, sizeof buf, stamp, function, line, format, args);
  va_end(args);
  EXPECT_EQ(n, strlen(buf));
  return buf;
}

}  // namespace

TEST(ZqLog, DebugLineHasStampFunctionAndLine) {
  EXPECT_EQ(DebugLine("Jan05 14:03:07", "zqMbox_rxopen", 42, "x=%d\n", 1),
            "Jan05 14:03:07 [   zqMbox_rxopen:  42] x=1\n");
  // Long names are not cut; a long message is, within the buffer.
  EXPECT_EQ(DebugLine("S", "a_very_long_function_name", 12345, "y"),
            "S [a_very_long_function_name:12345] y");
  EXPECT_EQ(DebugLine("S", "f", 1, "%s", std::string(100, 'm').c_str()).size(), 63u);
}
