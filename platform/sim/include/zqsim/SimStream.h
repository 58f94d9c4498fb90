// The streaming helper stand-in: a program installed under the camera's tree in place of the
// streaming helpers ("/usr/local/tavro/bin/zqStream", "/usr/local/tavro/bin/zqStreamVerse"),
// which streams nothing but starts, stops and fails the way a helper does.
//
// How it behaves is chosen by `zqsim stream mode` and read by each helper when it starts,
// from $ZQ_ROOT/run/zqsim/stream-mode:
//   exit     it ends (status 0) on SIGHUP, SIGINT or SIGTERM (the default);
//   ignore   it ignores SIGHUP and ends only on SIGINT, SIGTERM or SIGKILL;
//   die MS   it ends on its own with status 1 after MS milliseconds (times ZQ_TIME_SCALE),
//            or earlier as in exit.
// Whatever the mode, a helper ends by itself after kStreamHelperLifetimeS seconds, so that a
// test run never leaves one behind.
//
// Each helper appends its events to $ZQ_ROOT/run/zqsim/stream.log, one JSON object a line:
//   {"event":"start","pid":N,"argv":["zqStreamVerse","-m","1"]}
//   {"event":"hangup","pid":N,"action":"exit"|"ignored"}
//   {"event":"exit","pid":N,"reason":"hangup"|"interrupt"|"terminate"|"own"|"lifetime"}
// A helper killed with SIGKILL writes no exit line.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSTREAM_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSTREAM_H_

#include <span>
#include <string>

namespace zqsim {

// Camera paths the stand-in is installed at.
std::span<const char* const> StreamHelperPaths();

inline constexpr int kStreamHelperLifetimeS = 600;

enum class StreamMode { kExit, kIgnore, kDie };

struct StreamSetting {
  StreamMode mode = StreamMode::kExit;
  long die_ms = 0;
};

// Sets the mode: "exit", "ignore", or "die" with `value` the milliseconds. False with `*error`
// for a bad mode or value.
bool StreamSetMode(const std::string& mode, const std::string& value, std::string* error);
// The mode in force (exit when none was set or the file is unreadable).
StreamSetting StreamReadMode();

std::string StreamLogPath();
// Empties the event log; false when it cannot be written.
bool StreamClearLog();
// Appends one event line (a whole JSON object without line end) to the log.
void StreamLogEvent(const std::string& json);

// Copies the stand-in program `program` to every helper path below ZQ_ROOT (mode 0755,
// replaced atomically, so a running helper keeps its old file). False with `*error`.
bool StreamInstall(const std::string& program, std::string* error);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSTREAM_H_
