// The system commands of the control interface that do not operate the capture functions: the
// streaming program started and stopped by "execute", log levels, the analytics files, the
// mobile-offload state, the Bluetooth beacon values and the wake-up notification.
//
// Command functions return 0 or a negative ZQ_ERR_* code (ZQ_ERR_INVALID_PARAM for a missing,
// repeated or unreadable parameter: nothing is sent or stored then).
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQSYSTEM_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQSYSTEM_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// "execute": up to 15 program commands a request, keys "p1=", "a1=", "c1=", "p2=", ...; from
// the second on, a missing program ends the list.
inline constexpr int kZqExecuteMax = 15;
inline constexpr char kZqProgramDir[] = "/usr/local/tavro/bin/";
inline constexpr char kZqStreamProgram[] = "zqStream";  // the only program on the whitelist
inline constexpr size_t kZqProgramArgsMax = 1024;
// The answers the execute handler writes itself.
inline constexpr char kZqExecuteOkBody[] = "{\"status\":\"0\" }\n";
inline constexpr char kZqNotReadyBody[] = "{\"message\":\"System not ready\" }\n\n";
// A start refused because the camera is not ready: answered 503 with kZqNotReadyBody.
inline constexpr int32_t kZqExecuteNotReady = -503;

enum class ZqProgramOp : uint8_t { kStart, kStop, kRestart };
struct ZqProgramCommand {
  std::string program;    // as given (undecoded)
  std::string arguments;  // as given (undecoded)
  ZqProgramOp op = ZqProgramOp::kStart;
};

// Reads the program commands. ZQ_ERR_INVALID_PARAM (logged) for an empty program name or
// command, a command other than "start", "stop", "restart", a program name holding "..", or
// arguments holding any of "|", ">", "&", ";", "<".
int32_t zq_execute_parse(const char* query, std::vector<ZqProgramCommand>* out);

// Arguments as the program gets them: every double quote removed, then percent-decoded.
std::string zq_program_arguments(std::string_view raw);
// Whether decoded arguments may start the program: at most 1,024 characters and, once the
// first "metadata_enable" is taken out, only the characters of "0123456789pds -".
bool zq_program_arguments_allowed(std::string_view decoded);
// The arguments split at spaces (empty words dropped): the program's argv after its path.
std::vector<std::string> zq_program_argv(std::string_view decoded);

// Stops every running instance of the whitelisted program (the processes whose command line
// names the program's path, as itself or as the script an interpreter runs): SIGINT, then
// 50 ms (scaled) later SIGKILL to those still there. ZQ_ERR_INVALID_PARAM for another name.
int32_t zq_program_stop(std::string_view name);
// Starts the whitelisted program detached (fork and exec, no shell; the intermediate child is
// reaped at once, so no zombie is left): its standard streams on /dev/null, REMOTE_ADDR set to
// `client` in its environment. Refuses arguments zq_program_arguments_allowed() refuses
// (ZQ_ERR_INVALID_PARAM), and answers kZqExecuteNotReady unless the camera reports itself
// ready (byte 225 of the status record of command 34). `*pid` (may be null) is the program's.
int32_t zq_program_start(std::string_view name, std::string_view decoded, std::string_view client,
                         pid_t* pid);
// The whole request: each command in order (start and restart stop first); the first failure
// is returned. A program that does not exist below kZqProgramDir is ZQ_ERR.
int32_t zq_execute(const char* query, std::string_view client);

// The analytics files: "data_analytics.bin" and older "DA...bin" files in
// "/tmp/fuse_a/save/", by name. A missing directory holds none.
inline constexpr char kZqAnalyticsDir[] = "/tmp/fuse_a/save/";
struct ZqAnalyticsFile {
  std::string path;  // the host path, ready to open
  uint64_t size = 0;
};
bool zq_analytics_file_name(std::string_view name);
// ZQ_ERR when a file's size cannot be read.
int32_t zq_analytics_list(std::vector<ZqAnalyticsFile>* files, uint64_t* total);
// "analytics/get" before the files are sent: a recording camera refuses (ZQ_ERR_ACCESS_DENIED,
// answered 403), a failed recording read is ZQ_ERR; then command 39 (its result unused) and the
// list.
int32_t zq_analytics_prepare(std::vector<ZqAnalyticsFile>* files, uint64_t* total);
// "analytics/clear": command 40; 0.
int32_t zq_analytics_clear();

// "debug/client_level": "p=" signed; sets the daemon's own log level.
int32_t zq_debug_client_level(const char* query);
// "debug/server_level": "p=" unsigned; marks the source and sends command 42 with the 4-byte
// value; 0 whatever the service answers.
int32_t zq_debug_server_level(const char* query);

// "command/system/notify_event": "p=" unsigned into status 30; 1 and 2 (a phone woke the
// camera) also clear status 38.
int32_t zq_notify_event(const char* query);
// "command/system/enable_beacon": "p=" unsigned into status 33.
int32_t zq_enable_beacon(const char* query);
// "command/system/set_beacon": "uuid=" (decoded, cut to 1,400 bytes) into status 31, "major="
// into 32, "minor=" into 37, each when given.
int32_t zq_set_beacon(const char* query);
// "command/system/get_beacon": `*body` is {"uuid":"...","major":N,"minor":N}; a failed read
// is ZQ_ERR.
int32_t zq_get_beacon(std::string* body);

// "command/mobile_offload/clear_new_media_flag": marks the source, status 128 set to the
// 32-bit 0.
int32_t zq_clear_new_media_flag();
// "command/mobile_offload/get_state": `*body` is the state object.
struct ZqOffloadState {
  uint32_t flags = 0;                              // status 34
  uint32_t boot_bt = 0, boot_rc = 0, boot_ap = 0;  // status 130, 131, 132
  uint32_t wakeup_reason = 0;                      // status 47
  uint32_t activity = 0;                           // status 30
  bool busy = false;  // byte 209 of the camera-state record, or status 39, is 1
};
std::string zq_offload_state_body(const ZqOffloadState& state);
int32_t zq_offload_state(std::string* body);

// "command/wirelessOffload/start", "/stop", "/pause": over TLS not supported yet (ZQ_ERR);
// otherwise the endpoint does not exist (kZqStatusNotFound).
int32_t zq_wireless_offload(const char* what, bool tls);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQSYSTEM_H_
