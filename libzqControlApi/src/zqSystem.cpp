#include "zqcontrolapi/zqSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "csi.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"
#include "zqcontrolapi/zqCommand.h"
#include "zqcontrolapi/zqQuery.h"

extern char** environ;

namespace {

constexpr char kArgumentChars[] = "0123456789pds -";
constexpr char kMetadataEnable[] = "metadata_enable";
constexpr char kForbiddenArgumentChars[] = "|>&;<";
constexpr size_t kProgramPathMax = 49;
constexpr long kStopGraceMs = 50;
constexpr uint32_t kStatusRecordSize = 634;
constexpr size_t kReadyByte = 225;
constexpr uint32_t kStateRecordSize = 394;
constexpr size_t kBusyByte = 209;

const char* Text(const char* query) { return query != nullptr ? query : ""; }

// The host path of a program of the program folder.
std::string ProgramPath(std::string_view name) {
  return zq_path(std::string(kZqProgramDir) + std::string(name));
}

// The words of a process's command line, or nothing when it is gone.
std::vector<std::string> CommandLine(pid_t pid) {
  std::vector<std::string> words;
  const int fd = open(("/proc/" + std::to_string(pid) + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return words;
  std::string all;
  char buf[1024];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0 && all.size() < 8192) all.append(buf, n);
  close(fd);
  for (size_t at = 0; at < all.size();) {
    const size_t end = std::min(all.find('\0', at), all.size());
    words.push_back(all.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

// The processes running `path`, as themselves or as the script an interpreter runs.
std::vector<pid_t> Running(const std::string& path) {
  std::vector<pid_t> out;
  DIR* dir = opendir("/proc");
  if (dir == nullptr) return out;
  while (const dirent* e = readdir(dir)) {
    char* end = nullptr;
    const long pid = strtol(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || pid <= 0 || pid == getpid()) continue;
    const std::vector<std::string> words = CommandLine(static_cast<pid_t>(pid));
    if ((!words.empty() && words[0] == path) || (words.size() > 1 && words[1] == path)) {
      out.push_back(static_cast<pid_t>(pid));
    }
  }
  closedir(dir);
  return out;
}

int32_t ReadStatus32(int32_t id, uint32_t* value) {
  uint32_t len = 0;
  *value = 0;
  return csi_get(id, sizeof *value, &len, value);
}

// An unsigned "p=" value; logs `what` with the text when it is unreadable.
bool ReadP(const char* query, uint32_t* value, const char* what) {
  std::string raw;
  if (!zq_query_get(query, "p=", &raw) || !zq_parse_u32(raw, value)) {
    ZQ_LOG(ZQ_LOG_ERROR, "%s [%s]", what, Text(query));
    return false;
  }
  return true;
}

}  // namespace

int32_t zq_execute_parse(const char* query, std::vector<ZqProgramCommand>* out) {
  std::vector<ZqProgramCommand> commands;
  for (int i = 1; i <= kZqExecuteMax; ++i) {
    const std::string n = std::to_string(i);
    ZqProgramCommand c;
    std::string op;
    const ZqQueryValue program = zq_query_find(query, ("p" + n + "=").c_str(), &c.program);
    if (program == ZqQueryValue::kAbsent && i > 1) break;
    // A key given twice is refused rather than guessed at.
    if (program == ZqQueryValue::kRepeated ||
        zq_query_find(query, ("a" + n + "=").c_str(), &c.arguments) == ZqQueryValue::kRepeated ||
        zq_query_find(query, ("c" + n + "=").c_str(), &op) == ZqQueryValue::kRepeated) {
      ZQ_LOG(ZQ_LOG_ERROR, "invalid EXECUTE parameters %s", Text(query));
      return ZQ_ERR_INVALID_PARAM;
    }
    if (c.program.empty()) {
      ZQ_LOG(ZQ_LOG_ERROR, "Invalid namelength=0");
      return ZQ_ERR_INVALID_PARAM;
    }
    if (op.empty()) {
      ZQ_LOG(ZQ_LOG_ERROR, "Invalid commandlength=0");
      return ZQ_ERR_INVALID_PARAM;
    }
    if (op == "start") {
      c.op = ZqProgramOp::kStart;
    } else if (op == "stop") {
      c.op = ZqProgramOp::kStop;
    } else if (op == "restart") {
      c.op = ZqProgramOp::kRestart;
    } else {
      ZQ_LOG(ZQ_LOG_ERROR, "invalid EXECUTE command %s", op.c_str());
      return ZQ_ERR_INVALID_PARAM;
    }
    if (c.program.find("..") != std::string::npos ||
        c.arguments.find_first_of(kForbiddenArgumentChars) != std::string::npos) {
      ZQ_LOG(ZQ_LOG_ERROR, "invalid program %s", c.program.c_str());
      return ZQ_ERR_INVALID_PARAM;
    }
    commands.push_back(std::move(c));
  }
  *out = std::move(commands);
  return ZQ_OK;
}

std::string zq_program_arguments(std::string_view raw) {
  std::string unquoted;
  for (char c : raw) {
    if (c != '"') unquoted += c;
  }
  return urlDecode(unquoted.c_str());
}

bool zq_program_arguments_allowed(std::string_view decoded) {
  if (decoded.size() > kZqProgramArgsMax) return false;
  std::string copy(decoded);
  if (const size_t at = copy.find(kMetadataEnable); at != std::string::npos) {
    copy.erase(at, sizeof kMetadataEnable - 1);
  }
  return copy.find_first_not_of(kArgumentChars) == std::string::npos;
}

std::vector<std::string> zq_program_argv(std::string_view decoded) {
  std::vector<std::string> words;
  for (size_t at = 0; at < decoded.size();) {
    const size_t end = std::min(decoded.find(' ', at), decoded.size());
    if (end > at) words.emplace_back(decoded.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

int32_t zq_program_stop(std::string_view name) {
  if (name != kZqStreamProgram) {
    ZQ_LOG(ZQ_LOG_ERROR, "stop: not in whitelist");
    return ZQ_ERR_INVALID_PARAM;
  }
  ZQ_LOG(ZQ_LOG_DEBUG, "Stopping zqStream");
  const std::string path = ProgramPath(name);
  const std::vector<pid_t> pids = Running(path);
  if (pids.empty()) return ZQ_OK;
  for (pid_t pid : pids) kill(pid, SIGINT);
  std::this_thread::sleep_for(std::chrono::milliseconds(zq_scaled_ms(kStopGraceMs)));
  for (pid_t pid : Running(path)) {
    ZQ_LOG(ZQ_LOG_DEBUG, "Issuing SIGKILL to %d", static_cast<int>(pid));
    kill(pid, SIGKILL);
  }
  return ZQ_OK;
}

namespace {

// Whether the camera says it is ready for streaming (byte 225 of the status record).
bool CameraReady() {
  const bool was_open = is_zqcontrol_interface_open();
  if (!was_open && zqcontrol_interface_open() != ZQ_OK) {
    // As on the camera: without the service nothing says the camera is busy.
    ZQ_LOG(ZQ_LOG_ERROR, "Unable to open zqcontrol interface to get system status");
    return true;
  }
  std::vector<uint8_t> record(kStatusRecordSize);
  const int32_t status =
      zqcontrol_send_command_param_response(34, nullptr, 0, record.data(), kStatusRecordSize);
  if (!was_open) zqcontrol_interface_close();
  return status == ZQ_OK && record[kReadyByte] != 0;
}

// Runs `path` detached: the intermediate child forks the program and ends at once (reaped
// here), so the program is the init process's child and never a zombie of the daemon. The
// program's pid, or -1 when it could not be run (exec failures come back through a pipe).
pid_t Spawn(const std::string& path, const std::vector<std::string>& args,
            std::string_view client) {
  std::vector<std::string> env_text = {"REMOTE_ADDR=" + std::string(client)};
  for (char** e = environ; *e != nullptr; ++e) {
    if (strncmp(*e, "REMOTE_ADDR=", 12) != 0) env_text.emplace_back(*e);
  }
  // Everything the children need is made before fork: they only call async-signal-safe
  // functions.
  std::vector<char*> argv = {const_cast<char*>(path.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return -1;
  const pid_t middle = fork();
  if (middle < 0) {
    close(report[0]);
    close(report[1]);
    return -1;
  }
  if (middle == 0) {
    setsid();
    const pid_t program = fork();
    if (program == 0) {
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
      }
      execve(path.c_str(), argv.data(), envp.data());
      const int err = errno;
      ssize_t ignored = write(report[1], &err, sizeof err);
      (void)ignored;
      _exit(127);
    }
    // The program's pid first; an exec failure follows it (or the pipe closes on exec).
    ssize_t ignored = write(report[1], &program, sizeof program);
    (void)ignored;
    _exit(program > 0 ? 0 : 1);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  pid_t program = -1;
  int exec_error = 0;
  if (read(report[0], &program, sizeof program) != sizeof program) program = -1;
  if (program > 0 && read(report[0], &exec_error, sizeof exec_error) == sizeof exec_error) {
    ZQ_LOG(ZQ_LOG_ERROR, "start: exec %s failed, %s", path.c_str(), strerror(exec_error));
    program = -1;
  }
  close(report[0]);
  return program;
}

}  // namespace

int32_t zq_program_start(std::string_view name, std::string_view decoded, std::string_view client,
                         pid_t* pid) {
  if (!zq_program_arguments_allowed(decoded)) {
    ZQ_LOG(ZQ_LOG_ERROR, "start: filterInput FAIL");
    return ZQ_ERR_INVALID_PARAM;
  }
  if (!CameraReady()) return kZqExecuteNotReady;
  if (name != kZqStreamProgram) {
    ZQ_LOG(ZQ_LOG_ERROR, "start: not in whitelist");
    return ZQ_ERR_INVALID_PARAM;
  }
  const std::string path = ProgramPath(name);
  const pid_t started = Spawn(path, zq_program_argv(decoded), client);
  if (started < 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "start: cannot run %s", path.c_str());
    return ZQ_ERR;
  }
  if (pid != nullptr) *pid = started;
  return ZQ_OK;
}

int32_t zq_execute(const char* query, std::string_view client) {
  ZQ_LOG(ZQ_LOG_INFO, "Setting REMOTE_ADDR variable to %.*s", static_cast<int>(client.size()),
         client.data());
  std::vector<ZqProgramCommand> commands;
  if (const int32_t status = zq_execute_parse(query, &commands); status != ZQ_OK) return status;
  for (const ZqProgramCommand& c : commands) {
    const std::string camera_path = std::string(kZqProgramDir) + c.program;
    struct stat st;
    if (camera_path.size() > kProgramPathMax || stat(zq_path(camera_path).c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode)) {
      ZQ_LOG(ZQ_LOG_ERROR, "Program does not exist %s", camera_path.c_str());
      return ZQ_ERR;
    }
    const std::string decoded = zq_program_arguments(c.arguments);
    ZQ_LOG(ZQ_LOG_DEBUG, "Checking command");
    int32_t status = zq_program_stop(c.program);
    if (status == ZQ_OK && c.op != ZqProgramOp::kStop) {
      ZQ_LOG(ZQ_LOG_DEBUG, "Starting");
      status = zq_program_start(c.program, decoded, client, nullptr);
      if (status == ZQ_OK) ZQ_LOG(ZQ_LOG_DEBUG, "Started");
    }
    if (status != ZQ_OK) return status;
  }
  return ZQ_OK;
}

bool zq_analytics_file_name(std::string_view name) {
  if (name == "data_analytics.bin") return true;
  return name.size() >= 5 && name.substr(0, 2) == "DA" && name.substr(name.size() - 4) == ".bin";
}

int32_t zq_analytics_list(std::vector<ZqAnalyticsFile>* files, uint64_t* total) {
  files->clear();
  *total = 0;
  const std::string dir = zq_path(kZqAnalyticsDir);
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return ZQ_OK;  // no folder: no files
  std::vector<std::string> names;
  while (const dirent* e = readdir(d)) {
    if (zq_analytics_file_name(e->d_name)) names.emplace_back(e->d_name);
  }
  closedir(d);
  // By name, so that a download is the same whatever order the folder lists them in.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    ZqAnalyticsFile f{dir + name, 0};
    struct stat st;
    if (stat(f.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      ZQ_LOG(ZQ_LOG_ERROR, "prepare_analytics_files, failed to stat file %s, %s", f.path.c_str(),
             strerror(errno));
      return ZQ_ERR;
    }
    f.size = static_cast<uint64_t>(st.st_size);
    *total += f.size;
    files->push_back(std::move(f));
  }
  ZQ_LOG(ZQ_LOG_DEBUG, "totalSize:%llu", static_cast<unsigned long long>(*total));
  return ZQ_OK;
}

int32_t zq_analytics_prepare(std::vector<ZqAnalyticsFile>* files, uint64_t* total) {
  uint32_t recording = 0;
  if (ReadStatus32(kCsiRecording, &recording) != ZQ_OK) return ZQ_ERR;
  if (recording != 0) return ZQ_ERR_ACCESS_DENIED;
  std::vector<uint8_t> reply(1028);
  zqcontrol_send_command_param_response(39, nullptr, 0, reply.data(),
                                        static_cast<uint32_t>(reply.size()));
  return zq_analytics_list(files, total);
}

int32_t zq_analytics_clear() {
  zqcontrol_send_command_param_response(40, nullptr, 0, nullptr, 0);
  return ZQ_OK;
}

int32_t zq_debug_client_level(const char* query) {
  std::string raw;
  int32_t level = 0;
  if (!zq_query_get(query, "p=", &raw) || !zq_parse_i32(raw, &level)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Error parsing parameter for debug_level command [%s]", Text(query));
    return ZQ_ERR_INVALID_PARAM;
  }
  zqUtilSetLogLevel(static_cast<uint32_t>(level));
  return ZQ_OK;
}

int32_t zq_debug_server_level(const char* query) {
  uint32_t level = 0;
  if (!ReadP(query, &level, "Error parsing parameter for debug_level_server command")) {
    return ZQ_ERR_INVALID_PARAM;
  }
  zq_mark_source_wifi();
  zqcontrol_send_command_param_response(42, &level, sizeof level, nullptr, 0);
  return ZQ_OK;
}

int32_t zq_notify_event(const char* query) {
  uint32_t event = 0;
  if (!ReadP(query, &event, "Error parsing parameter for notify_event command")) {
    return ZQ_ERR_INVALID_PARAM;
  }
  zq_mark_source_wifi();
  int32_t status = csi_set(kCsiStActivity, &event, sizeof event);
  if (status != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "Error setting CSI_ST_ACTIVITY,  csi_status = %d", status);
    return ZQ_ERR;
  }
  ZQ_LOG(ZQ_LOG_DEBUG, "CSI_ST_ACTIVITY set to %d", static_cast<int>(event));
  if (event == 1 || event == 2) {
    const uint32_t zero = 0;
    status = csi_set(kCsiStPaused, &zero, sizeof zero);
    if (status != ZQ_OK) {
      ZQ_LOG(ZQ_LOG_ERROR, "CSI_ST_PAUSED Clear failed, mobile offload may still be disabled");
      return ZQ_ERR;
    }
    ZQ_LOG(ZQ_LOG_DEBUG, "CSI_ST_PAUSED Cleared due to mobile wakeup");
  }
  return ZQ_OK;
}

int32_t zq_enable_beacon(const char* query) {
  uint32_t value = 0;
  if (!ReadP(query, &value, "Error parsing parameter for enable_beacon command")) {
    return ZQ_ERR_INVALID_PARAM;
  }
  zq_mark_source_wifi();
  const int32_t status = csi_set(kCsiBeaconPowerSave, &value, sizeof value);
  if (status != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "Error setting CSI_ST_BEACPN_PS,  csi_status = %d", status);
    return ZQ_ERR;
  }
  ZQ_LOG(ZQ_LOG_DEBUG, "CSI_ST_BEACON_PS set to %d", static_cast<int>(value));
  return ZQ_OK;
}

int32_t zq_set_beacon(const char* query) {
  std::string uuid;
  std::string major_text;
  std::string minor_text;
  const bool has_uuid = zq_query_get_decoded(query, "uuid=", &uuid);
  const bool has_major = zq_query_get(query, "major=", &major_text);
  const bool has_minor = zq_query_get(query, "minor=", &minor_text);
  uint32_t major = 0;
  uint32_t minor = 0;
  // Every value is checked before any is stored, so that a bad request changes nothing.
  if ((has_major && !zq_parse_u32(major_text, &major)) ||
      (has_minor && !zq_parse_u32(minor_text, &minor))) {
    ZQ_LOG(ZQ_LOG_ERROR, "Error parsing parameters for set_beacon command [%s]", Text(query));
    return ZQ_ERR_INVALID_PARAM;
  }
  if (has_uuid) {
    if (uuid.size() > kCsiTextMax) {
      ZQ_LOG(ZQ_LOG_WARN, "Tavro UserID length exceeds limit, truncating!");
      uuid.resize(kCsiTextMax);
    }
    ZQ_LOG(ZQ_LOG_DEBUG, "csi_set CSI_ST_BEACON_UUID = %s", uuid.c_str());
    if (csi_set(kCsiBeaconUuid, uuid.data(), static_cast<uint32_t>(uuid.size())) != ZQ_OK) {
      return ZQ_ERR;
    }
  }
  if (has_major) {
    ZQ_LOG(ZQ_LOG_DEBUG, "csi_set CSI_ST_BEACON_MAJOR=%d", static_cast<int>(major));
    if (csi_set(kCsiBeaconMajor, &major, sizeof major) != ZQ_OK) {
      ZQ_LOG(ZQ_LOG_ERROR, "Unable to set CSI_BEACON_MAJOR ");
      return ZQ_ERR;
    }
  }
  if (has_minor) {
    ZQ_LOG(ZQ_LOG_DEBUG, "csi_set CSI_ST_BEACON_MINOR=%d", static_cast<int>(minor));
    if (csi_set(kCsiBeaconMinor, &minor, sizeof minor) != ZQ_OK) {
      ZQ_LOG(ZQ_LOG_ERROR, "Unable to set CSI_BEACON_MINOR ");
      return ZQ_ERR;
    }
  }
  return ZQ_OK;
}

int32_t zq_get_beacon(std::string* body) {
  char uuid[kCsiTextMax + 1] = {};
  uint32_t len = 0;
  int32_t status = csi_get(kCsiBeaconUuid, kCsiTextMax, &len, uuid);
  if (status != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "get_csi_str error, %d", status);
    return ZQ_ERR;
  }
  len = std::min<uint32_t>(len, kCsiTextMax - 1);
  uint32_t major = 0;
  uint32_t minor = 0;
  if ((status = ReadStatus32(kCsiBeaconMajor, &major)) != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "get_csi_beacon_major error, %d", status);
    return ZQ_ERR;
  }
  if ((status = ReadStatus32(kCsiBeaconMinor, &minor)) != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "get_csi_beacon_minor error, %d", status);
    return ZQ_ERR;
  }
  const std::string text(uuid, strnlen(uuid, len));
  *body = "{\"uuid\":\"" + zq_json_escape(text) + "\",\"major\":" + std::to_string(major) +
          ",\"minor\":" + std::to_string(minor) + "}";
  return ZQ_OK;
}

int32_t zq_clear_new_media_flag() {
  zq_mark_source_wifi();
  const uint32_t zero = 0;
  const int32_t status = csi_set(kCsiNewMediaAvail, &zero, sizeof zero);
  if (status != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "Error clearing CSI_NEW_MEDIA_AVAIL csi_status = %d", status);
    return ZQ_ERR;
  }
  ZQ_LOG(ZQ_LOG_DEBUG, "CSI_NEW_MEDIA_AVAIL cleared");
  return ZQ_OK;
}

std::string zq_offload_state_body(const ZqOffloadState& s) {
  auto bit = [&](int n) { return (s.flags >> n & 1) != 0; };
  auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
  // While the camera is busy it does not offer its media.
  const bool offload = bit(0) && !s.busy;
  return "{\"mobile_offload_state\":" + std::to_string(offload ? 1 : 0) +
         ",\"new_media\":" + std::to_string(bit(1) ? 1 : 0) +
         ",\"battery_ok\":" + std::to_string(bit(2) ? 1 : 0) +
         ",\"sd_card_ok\":" + std::to_string(bit(3) ? 1 : 0) + ",\"camera_busy\":" + flag(s.busy) +
         ",\"paused\":" + flag(bit(5)) + ",\"cnt_this_boot_bt\":" + std::to_string(s.boot_bt) +
         ",\"cnt_this_boot_rc\":" + std::to_string(s.boot_rc) +
         ",\"cnt_this_boot_ap\":" + std::to_string(s.boot_ap) +
         ",\"wakeup_reason\":" + std::to_string(s.wakeup_reason) +
         ",\"st_activity\":" + std::to_string(s.activity) + "}";
}

int32_t zq_offload_state(std::string* body) {
  ZqOffloadState s;
  ReadStatus32(kCsiOffloadFlags, &s.flags);
  ReadStatus32(kCsiBootCountBt, &s.boot_bt);
  ReadStatus32(kCsiBootCountRc, &s.boot_rc);
  ReadStatus32(kCsiBootCountAp, &s.boot_ap);
  ReadStatus32(kCsiWakeupReason, &s.wakeup_reason);
  ReadStatus32(kCsiStActivity, &s.activity);
  uint32_t busy = 0;
  if (const int32_t status = ReadStatus32(kCsiOffloadBusy, &busy); status != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "CSI get error in moble offload get state err=%d", status);
    return ZQ_ERR;
  }
  std::vector<uint8_t> record(kStateRecordSize);
  const bool have_record = zqcontrol_send_command_param_response(33, nullptr, 0, record.data(),
                                                                 kStateRecordSize) == ZQ_OK;
  s.busy = (have_record && record[kBusyByte] == 1) || busy == 1;
  ZQ_LOG(ZQ_LOG_DEBUG,
         "mobile offload state st=%d nm=%d batt=%d sdcard=%d busy=%d paused=%d wakupe=%d "
         "activty=%d",
         static_cast<int>(s.flags & 1), static_cast<int>(s.flags >> 1 & 1),
         static_cast<int>(s.flags >> 2 & 1), static_cast<int>(s.flags >> 3 & 1), s.busy ? 1 : 0,
         static_cast<int>(s.flags >> 5 & 1), static_cast<int>(s.wakeup_reason),
         static_cast<int>(s.activity));
  *body = zq_offload_state_body(s);
  return ZQ_OK;
}

int32_t zq_wireless_offload(const char* what, bool tls) {
  if (!tls) {
    ZQ_LOG(ZQ_LOG_ERROR, "Attempted to access endpoint over non-ssl connection");
    return kZqStatusNotFound;
  }
  ZQ_LOG(ZQ_LOG_ERROR, "Command: wirelessOffload/%s not supported yet!", what);
  return ZQ_ERR;
}
