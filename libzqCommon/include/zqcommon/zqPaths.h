// Filesystem roots and timing of the daemon.
//
// Every absolute path the daemon uses is written in the code as the camera's own path and
// passed through zq_path(). In host builds (ZQ_HOST_OVERRIDES) the environment can move the
// whole tree and stretch time:
//   ZQ_ROOT             every absolute path resolves below this directory;
//   ZQ_LISTENING_PORTS  four ports replacing "80,8000,8001,8080" one for one;
//   ZQ_TIME_SCALE       factor applied to every time-out, retry delay and wait.
// A camera build ignores the environment.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQPATHS_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQPATHS_H_

#include <array>
#include <string>
#include <string_view>

// Camera paths used by more than one module.
inline constexpr const char kZqSdCardRoot[] = "/tmp/fuse_d";
inline constexpr const char kZqInternalRoot[] = "/tmp/fuse_i";
inline constexpr const char kZqDocumentRoot[] = "/usr/local/tavro/www";
inline constexpr const char kZqSettingsDir[] = "/usr/local/tavro/etc";
inline constexpr const char kZqSimStateDir[] = "/run/zqsim";

// The root every absolute path is resolved below: "" on the camera (and when ZQ_ROOT is unset).
// Read once; safe from any thread.
const std::string& zq_root();

// `camera_path` below the root. Relative paths are returned unchanged.
std::string zq_path(std::string_view camera_path);

// The four listening ports by role: the public port (80), the internal tunnel port (8000),
// the second internal port (8001) and the alternate public port (8080).
enum ZqPortRole { kZqPortPublic = 0, kZqPortInternal = 1, kZqPortInternal2 = 2, kZqPortAlt = 3 };
const std::array<int, 4>& zq_listening_ports();

// Parses "a,b,c,d" (four ports 1..65535). Returns false, leaving `ports` alone, otherwise.
bool zq_parse_listening_ports(const char* text, std::array<int, 4>* ports);

// The role of a local port, or -1 when it is not one of the four.
int zq_port_role(int port);

// The POSIX message queue name for the camera's queue `name` ("/to_zqnet"). Queue names are
// global to the machine, so host runs with a ZQ_ROOT add a suffix derived from the root and
// parallel runs never share a queue; the camera's names are returned unchanged otherwise.
std::string zq_mq_name(std::string_view name);

// Creates `dir` and any missing parents (mode 0777 before umask). False when one cannot be made.
bool zq_make_dirs(const std::string& dir);

// Drops the page cache after work that read much of the card ("sync; echo 3 >
// /proc/sys/vm/drop_caches" on the camera). Host builds act on the simulated camera instead of
// the PC: a line "3" is appended to drop_caches in its state directory (/run/zqsim below the
// root), when that directory exists. Returns 0, or -1 when the write failed.
int zq_drop_page_cache();

// Time-out scaling: `ms` multiplied by ZQ_TIME_SCALE (at least 1 ms when `ms` > 0).
long zq_scaled_ms(long ms);
double zq_time_scale();

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQPATHS_H_
