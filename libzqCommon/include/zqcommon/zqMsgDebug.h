// Debug conventions of the messaging code: assertions for the daemon's own programming errors,
// and hex dumps of messages by direction.
//
// Hex dump line (16 bytes a line):
//
//   <label, left-aligned in 11 columns><offset rounded down to 16, %08x>  <bytes>  <text>
//
// The bytes are "%02x" each, with one blank after the 4th, 8th and 12th byte; the text shows
// bytes 32..126 as themselves and others as '.'. A short last line is padded so that its text
// lines up. A message is dumped by direction only when bit 8 of g_debug_level is set and the
// direction's bit is set in g_debug; the direction's label (12 characters) is its three-letter
// mark after a number of leading blanks.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMSGDEBUG_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMSGDEBUG_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Logs "<time> ASSERT:<file>/<function>:<line>:<expression>" in red (when the verbosity byte
// of g_debug_level exceeds 7), raises SIGABRT and exits with -1. Only for programming errors
// of the daemon itself, never for bytes that came from another process.
[[noreturn]] void zq_assert_fail(const char* file, const char* function, int line,
                                 const char* expression);

#define ZQ_ASSERT(expr)                                                    \
  do {                                                                     \
    if (!(expr)) zq_assert_fail(__FILE_NAME__, __func__, __LINE__, #expr); \
  } while (0)

// Dump directions (index into the table of marks). The endpoints of the legacy relay use
// 1 (request line), 2 (message sent), 3 (reply received) and 4 (result to the client).
inline constexpr int kZqDumpNone = 0;
inline constexpr int kZqDumpHbRequest = 1;
inline constexpr int kZqDumpHbSent = 2;
inline constexpr int kZqDumpHbReply = 3;
inline constexpr int kZqDumpHbResult = 4;
inline constexpr int kZqDumpDirections = 29;

// The 12-character label of direction `index` ("" for an index out of range).
std::string zq_dump_label(int index);
// The g_debug bit of direction `index` (0 for index 0 or out of range).
uint32_t zq_dump_bit(int index);

// One dump line of `n` (at most 16) bytes found at `offset`, without a newline.
std::string hexline(const char* label, size_t offset, const uint8_t* data, size_t n);

// Every dump line of `len` bytes, each ended by a newline.
std::string snhexdump_text(const char* label, const uint8_t* data, size_t len);

// Writes the dump of `len` bytes to the debug sinks, one line at a time.
void snhexdump(const char* label, const uint8_t* data, size_t len);

// Dumps `len` bytes under direction `index` when g_debug_level and g_debug enable it.
void hexprint(int index, const uint8_t* data, size_t len);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMSGDEBUG_H_
