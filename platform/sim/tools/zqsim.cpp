// zqsim: looks at and changes the simulated camera from the command line.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zqsim/SimCamera.h"
#include "zqsim/SimCard.h"
#include "zqsim/SimCertStore.h"
#include "zqsim/SimControl.h"
#include "zqsim/SimFirmware.h"
#include "zqsim/SimMediaDb.h"
#include "zqsim/SimNetService.h"
#include "zqsim/SimServe.h"
#include "zqsim/SimState.h"
#include "zqsim/SimStream.h"
#include "zqsim/SimWebcam.h"
#include "zqsim/SimWifi.h"

namespace {

using zqsim::SimState;
using zqsim::SimStateData;

int Fail(const std::string& message) {
  fprintf(stderr, "zqsim: %s\n", message.c_str());
  return 1;
}

int Usage() {
  fprintf(stderr,
          "usage: zqsim status get ID | status set ID VALUE | status log | status clear\n"
          "       zqsim status fail ID STATUS | status ok ID\n"
          "       zqsim identity get NAME | identity set NAME VALUE\n"
          "       zqsim control log | control clear | control fail COMMAND STATUS |"
          " control ok COMMAND\n"
          "       zqsim control reply COMMAND HEX\n"
          "       zqsim filter verdict SETTING OPTION CODE [ID NAME VALID]... | filter clear\n"
          "       zqsim stream mode exit|ignore|die MS | stream install | stream log |"
          " stream clear\n"
          "       zqsim camera get NAME | camera set NAME VALUE\n"
          "       zqsim settings write ROOT\n"
          "       zqsim card make DIR\n"
          "       zqsim net mode normal|silent|norsparg|fill | net fail CMD RESULT |"
          " net ok CMD | net log | net clear\n"
          "       zqsim mediadb slow MS | status N | truncate BYTES | silent | ok\n"
          "       zqsim webcam mode normal|silent|error CODE|slow MS | webcam log\n"
          "       zqsim wifi add SSID AUTH BARS | wifi clear | wifi scan-id N\n"
          "       zqsim storage free BYTES|real\n"
          "       zqsim ota mode ok|fail RESULT|silent [MS]\n"
          "       zqsim cert set cam|ca FILE | cert clear cam|ca | cert clients | cert slow MS\n"
          "       zqsim serve\n"
          "       zqsim reset\n");
  return 2;
}

bool ParseInt(const std::string& text, long long min, long long max, long long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long v = strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  *out = v;
  return true;
}

// Status ids are 0..255; the signed form the camera library uses (-128..-1) is accepted too.
bool ParseStatusId(const std::string& text, size_t* id) {
  long long v = 0;
  if (!ParseInt(text, -128, 255, &v)) return false;
  *id = static_cast<uint8_t>(v);
  return true;
}

int StatusGet(const std::string& id_text) {
  size_t id = 0;
  if (!ParseStatusId(id_text, &id)) return Fail("status id must be 0 to 255: " + id_text);
  if (id == zqsim::kOtaStatusId) zqsim::OtaApplyDue();  // the camera's answer to an install
  std::string out = SimState::Get().Read([&](const SimStateData& d) {
    const zqsim::StatusSlot& s = d.status[id];
    if (!s.present) return std::string("(unset)");
    if (s.kind == zqsim::StatusKind::kText || s.size > 4) {
      return std::string(reinterpret_cast<const char*>(s.data),
                         strnlen(reinterpret_cast<const char*>(s.data), s.size));
    }
    uint64_t v = 0;
    for (size_t i = 0; i < s.size; ++i) v |= static_cast<uint64_t>(s.data[i]) << (8 * i);
    return std::to_string(v);
  });
  printf("%s\n", out.c_str());
  return 0;
}

int StatusSet(const std::string& id_text, const std::string& value) {
  size_t id = 0;
  if (!ParseStatusId(id_text, &id)) return Fail("status id must be 0 to 255: " + id_text);
  if (value.size() >= zqsim::kStatusMaxSize) return Fail("value too long");
  std::string error = SimState::Get().Write([&](SimStateData& d) -> std::string {
    zqsim::StatusSlot& s = d.status[id];
    if (s.kind == zqsim::StatusKind::kText) {
      memset(s.data, 0, sizeof s.data);
      memcpy(s.data, value.data(), value.size());
      s.size = static_cast<uint16_t>(value.size());
      s.present = 1;
      return "";
    }
    const size_t width = (s.size >= 1 && s.size <= 8) ? s.size : 4;
    const long long lo = -(1LL << (width * 8 - 1));
    const long long hi = width >= 8 ? INT64_MAX : (1LL << (width * 8)) - 1;
    long long v = 0;
    if (!ParseInt(value, width >= 8 ? INT64_MIN : lo, hi, &v)) {
      return "status " + std::to_string(id) + " holds a " + std::to_string(width) +
             "-byte number: " + value;
    }
    memset(s.data, 0, sizeof s.data);
    for (size_t i = 0; i < width; ++i)
      s.data[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
    s.size = static_cast<uint16_t>(width);
    s.present = 1;
    return "";
  });
  return error.empty() ? 0 : Fail(error);
}

int PrintFile(const std::string& path) {
  SimState::Get().Read([](const SimStateData&) { return 0; });  // creates the directory
  FILE* f = fopen(path.c_str(), "re");
  if (f == nullptr) return 0;  // nothing yet
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) fwrite(buf, 1, n, stdout);
  fclose(f);
  return 0;
}

// Writes of status ID fail with STATUS (a negative code) and store nothing; STATUS 0 undoes it.
int StatusFail(const std::string& id_text, const std::string& status_text) {
  size_t id = 0;
  long long status = 0;
  if (!ParseStatusId(id_text, &id)) return Fail("status id must be 0 to 255: " + id_text);
  if (!ParseInt(status_text, INT32_MIN, 0, &status)) {
    return Fail("status must be a negative code: " + status_text);
  }
  SimState::Get().Write(
      [&](SimStateData& d) { return d.status_faults[id] = static_cast<int32_t>(status); });
  return 0;
}

int IdentityGet(const std::string& name) {
  std::string out = SimState::Get().Write([&](SimStateData& d) -> std::string {
    if (name == "model_number") return std::to_string(d.identity.model_number);
    const char* text = zqsim::IdentityText(&d.identity, name);
    return text != nullptr ? std::string(text) : std::string("\x01");
  });
  if (out == "\x01") return Fail("unknown identity name: " + name);
  printf("%s\n", out.c_str());
  return 0;
}

int IdentitySet(const std::string& name, const std::string& value) {
  if (value.size() >= zqsim::kIdentityText) return Fail("value too long: " + value);
  std::string error = SimState::Get().Write([&](SimStateData& d) -> std::string {
    if (name == "model_number") {
      long long v = 0;
      if (!ParseInt(value, 0, 255, &v)) return "model_number must be 0 to 255";
      d.identity.model_number = static_cast<uint8_t>(v);
      return "";
    }
    char* text = zqsim::IdentityText(&d.identity, name);
    if (text == nullptr) return "unknown identity name: " + name;
    memset(text, 0, zqsim::kIdentityText);
    memcpy(text, value.data(), value.size());
    return "";
  });
  return error.empty() ? 0 : Fail(error);
}

int ControlClear() {
  if (!zqsim::JournalClear())
    return Fail("cannot clear the journal: " + std::string(strerror(errno)));
  return 0;
}

// control fail (set, reply false), control reply (set, reply true) and control ok (!set).
int ControlSwitch(const std::string& command_text, const std::string& value, bool set, bool reply) {
  long long command = 0;
  long long status = 0;
  if (!ParseInt(command_text, 0, UINT32_MAX, &command))
    return Fail("bad command number: " + command_text);
  const uint32_t number = static_cast<uint32_t>(command);
  std::string error;
  if (!set) {
    zqsim::ControlOk(number);
    return 0;
  }
  if (!reply) {
    if (!ParseInt(value, INT32_MIN, -1, &status))
      return Fail("status must be a negative code: " + value);
    return zqsim::ControlFail(number, static_cast<int32_t>(status), &error) ? 0 : Fail(error);
  }
  if (value.size() % 2 != 0) return Fail("reply bytes must be pairs of hex digits: " + value);
  std::string bytes;
  for (size_t i = 0; i < value.size(); i += 2) {
    const std::string pair = value.substr(i, 2);
    if (!isxdigit(static_cast<unsigned char>(pair[0])) ||
        !isxdigit(static_cast<unsigned char>(pair[1])))
      return Fail("not hex: " + pair);
    bytes.push_back(static_cast<char>(strtoul(pair.c_str(), nullptr, 16)));
  }
  return zqsim::ControlReplyWith(number, bytes, &error) ? 0 : Fail(error);
}

// filter verdict SETTING OPTION CODE [ID NAME VALID]...
int FilterVerdict(const std::vector<std::string>& a) {
  long long setting = 0, option = 0, code = 0;
  if (!ParseInt(a[0], INT32_MIN, INT32_MAX, &setting) ||
      !ParseInt(a[1], INT32_MIN, INT32_MAX, &option) ||
      !ParseInt(a[2], INT32_MIN, UINT32_MAX, &code)) {
    return Fail("filter verdict SETTING OPTION CODE: numbers, not " + a[0] + " " + a[1] + " " +
                a[2]);
  }
  if ((a.size() - 3) % 3 != 0) return Fail("each option is ID NAME VALID");
  zqsim::FilterVerdict v = {};
  v.setting = static_cast<int32_t>(setting);
  v.option = static_cast<int32_t>(option);
  v.code = static_cast<int32_t>(static_cast<uint32_t>(code));
  v.used = 1;
  for (size_t i = 3; i < a.size(); i += 3) {
    if (v.option_count == zqsim::kFilterVerdictOptions)
      return Fail("at most " + std::to_string(zqsim::kFilterVerdictOptions) + " options");
    long long id = 0, valid = 0;
    if (!ParseInt(a[i], INT32_MIN, INT32_MAX, &id)) return Fail("bad option id: " + a[i]);
    if (a[i + 1].size() >= zqsim::kFilterOptionName)
      return Fail("option name too long: " + a[i + 1]);
    if (!ParseInt(a[i + 2], 0, 1, &valid)) return Fail("VALID is 0 or 1: " + a[i + 2]);
    zqsim::FilterOption& o = v.options[v.option_count++];
    o.id = static_cast<int32_t>(id);
    o.valid = static_cast<uint8_t>(valid);
    memcpy(o.name, a[i + 1].data(), a[i + 1].size());
  }
  const bool stored = SimState::Get().Write([&](SimStateData& d) {
    zqsim::FilterVerdict* slot = nullptr;
    for (zqsim::FilterVerdict& f : d.verdicts) {
      if (f.used && f.setting == v.setting && f.option == v.option) slot = &f;
    }
    for (zqsim::FilterVerdict& f : d.verdicts) {
      if (slot == nullptr && !f.used) slot = &f;
    }
    if (slot == nullptr) return false;
    *slot = v;
    return true;
  });
  return stored ? 0 : Fail("too many forced verdicts");
}

int FilterClear() {
  SimState::Get().Write([](SimStateData& d) {
    for (zqsim::FilterVerdict& f : d.verdicts) f = {};
    return 0;
  });
  return 0;
}

int Stream(const std::vector<std::string>& a, const char* self) {
  std::string error;
  if (a[0] == "mode" && (a.size() == 2 || a.size() == 3)) {
    return zqsim::StreamSetMode(a[1], a.size() == 3 ? a[2] : "", &error) ? 0 : Fail(error);
  }
  if (a[0] == "install" && a.size() == 1) {
    // The stand-in is built beside this program.
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string program = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string(self);
    program = program.substr(0, program.rfind('/') + 1) + "zqsim_stream";
    return zqsim::StreamInstall(program, &error) ? 0 : Fail(error);
  }
  if (a[0] == "log" && a.size() == 1) {
    FILE* f = fopen(zqsim::StreamLogPath().c_str(), "re");
    if (f == nullptr) return 0;  // no helper has run
    char buf[4096];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, f)) > 0) fwrite(buf, 1, got, stdout);
    fclose(f);
    return 0;
  }
  if (a[0] == "clear" && a.size() == 1) {
    return zqsim::StreamClearLog() ? 0 : Fail("cannot clear " + zqsim::StreamLogPath());
  }
  return Usage();
}

// The control service's state by name: numbers the simulated camera keeps between commands.
// `setting/ID` names a setting value.
template <typename D>
auto CameraField(D& d, const std::string& name) -> decltype(&d.camera.mode) {
  auto& c = d.camera;
  if (name == "mode") return &c.mode;
  if (name == "sub_mode") return &c.sub_mode;
  if (name == "mode_group") return &c.mode_group;
  if (name == "digital_zoom") return &c.digital_zoom;
  if (name == "photo_timer") return &c.photo_timer;
  if (name == "geocal_size") return &c.geocal_size;
  return nullptr;
}

template <typename D>
auto CameraFlag(D& d, const std::string& name) -> decltype(&d.camera.ready) {
  auto& c = d.camera;
  if (name == "ready") return &c.ready;
  if (name == "shutdown_pending") return &c.shutdown_pending;
  if (name == "locate") return &c.locate;
  if (name == "ap_enabled") return &c.ap_enabled;
  if (name == "ble_enabled") return &c.ble_enabled;
  return nullptr;
}

bool SettingName(const std::string& name, size_t* id) {
  long long v = 0;
  if (name.rfind("setting/", 0) != 0 || !ParseInt(name.substr(8), 0, zqsim::kSettingCount - 1, &v))
    return false;
  *id = static_cast<size_t>(v);
  return true;
}

int CameraGet(const std::string& name) {
  std::string out = SimState::Get().Read([&](const SimStateData& d) -> std::string {
    size_t id = 0;
    if (name == "zoom_available") return zqsim::ZoomAvailable(d) ? "1" : "0";
    if (SettingName(name, &id)) return std::to_string(d.camera.settings[id]);
    if (const uint32_t* v = CameraField(d, name)) return std::to_string(*v);
    if (const uint8_t* f = CameraFlag(d, name)) return std::to_string(*f);
    return "";
  });
  if (out.empty()) return Fail("unknown camera value: " + name);
  printf("%s\n", out.c_str());
  return 0;
}

int CameraSet(const std::string& name, const std::string& value) {
  long long v = 0;
  if (!ParseInt(value, INT32_MIN, UINT32_MAX, &v)) return Fail("not a number: " + value);
  std::string error = SimState::Get().Write([&](SimStateData& d) -> std::string {
    size_t id = 0;
    if (name == "zoom_available") {
      if (v < 0 || v > 1) return name + " is 0 or 1";
      d.camera.zoom_available = static_cast<uint8_t>(v);
    } else if (SettingName(name, &id)) {
      d.camera.settings[id] = static_cast<int32_t>(v);
    } else if (uint32_t* field = CameraField(d, name)) {
      *field = static_cast<uint32_t>(v);
    } else if (uint8_t* flag = CameraFlag(d, name)) {
      if (v < 0 || v > 1) return name + " is 0 or 1";
      *flag = static_cast<uint8_t>(v);
    } else {
      return "unknown camera value: " + name;
    }
    return "";
  });
  return error.empty() ? 0 : Fail(error);
}

int Reset() {
  zqsim::NetReset();
  zqsim::WebcamReset();
  std::string ignored;
  zqsim::MediaDbSetFault("ok", "", &ignored);
  zqsim::StreamSetMode("exit", "", &ignored);
  zqsim::FirmwareReset();
  zqsim::CertReset();
  if (!zqsim::ResetCamera())
    return Fail("cannot clear the journal: " + std::string(strerror(errno)));
  return 0;
}

int Serve() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);  // threads started below inherit the mask
  zqsim::ServeStart();
  fprintf(stderr, "zqsim: simulated camera processes running (Ctrl-C to stop)\n");
  int sig = 0;
  sigwait(&set, &sig);
  zqsim::ServeStop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> a(argv + 1, argv + argc);
  const size_t n = a.size();
  if (n == 0) return Usage();
  if (a[0] == "status" && n == 3 && a[1] == "get") return StatusGet(a[2]);
  if (a[0] == "status" && n == 4 && a[1] == "set") return StatusSet(a[2], a[3]);
  if (a[0] == "status" && n == 2 && a[1] == "log") return PrintFile(zqsim::StatusJournalPath());
  if (a[0] == "status" && n == 2 && a[1] == "clear") {
    return zqsim::StatusJournalClear() ? 0 : Fail("cannot clear the status journal");
  }
  if (a[0] == "status" && n == 4 && a[1] == "fail") {
    if (a[3] == "0") return Fail("status must be a negative code: 0");
    return StatusFail(a[2], a[3]);
  }
  if (a[0] == "status" && n == 3 && a[1] == "ok") return StatusFail(a[2], "0");
  if (a[0] == "identity" && n == 3 && a[1] == "get") return IdentityGet(a[2]);
  if (a[0] == "identity" && n == 4 && a[1] == "set") return IdentitySet(a[2], a[3]);
  if (a[0] == "control" && n == 2 && a[1] == "log") return PrintFile(zqsim::JournalPath());
  if (a[0] == "control" && n == 2 && a[1] == "clear") return ControlClear();
  if (a[0] == "control" && n == 4 && a[1] == "fail") return ControlSwitch(a[2], a[3], true, false);
  if (a[0] == "control" && n == 4 && a[1] == "reply") return ControlSwitch(a[2], a[3], true, true);
  if (a[0] == "control" && n == 3 && a[1] == "ok") return ControlSwitch(a[2], "", false, false);
  if (a[0] == "filter" && n >= 5 && a[1] == "verdict")
    return FilterVerdict({a.begin() + 2, a.end()});
  if (a[0] == "filter" && n == 2 && a[1] == "clear") return FilterClear();
  if (a[0] == "stream" && n >= 2) return Stream({a.begin() + 1, a.end()}, argv[0]);
  if (a[0] == "camera" && n == 3 && a[1] == "get") return CameraGet(a[2]);
  if (a[0] == "camera" && n == 4 && a[1] == "set") return CameraSet(a[2], a[3]);
  if (a[0] == "settings" && n == 3 && a[1] == "write") {
    std::string error;
    return zqsim::WriteSettingsDocuments(a[2], &error) ? 0 : Fail(error);
  }
  if (a[0] == "card" && n == 3 && a[1] == "make") {
    std::string error;
    return zqsim::MakeCard(a[2], &error) ? 0 : Fail(error);
  }
  if (a[0] == "net" && n >= 2) return zqsim::NetCommand({a.begin() + 1, a.end()});
  if (a[0] == "mediadb" && (n == 2 || n == 3)) {
    std::string error;
    return zqsim::MediaDbSetFault(a[1], n == 3 ? a[2] : "", &error) ? 0 : Fail(error);
  }
  if (a[0] == "webcam" && n >= 2) return zqsim::WebcamCommand({a.begin() + 1, a.end()});
  if (a[0] == "wifi" && n >= 2) return zqsim::WifiCommand({a.begin() + 1, a.end()});
  if (a[0] == "storage" && n >= 2) return zqsim::StorageCommand({a.begin() + 1, a.end()});
  if (a[0] == "ota" && n >= 2) return zqsim::OtaCommand({a.begin() + 1, a.end()});
  if (a[0] == "cert" && n >= 2) return zqsim::CertCommand({a.begin() + 1, a.end()});
  if (a[0] == "serve" && n == 1) return Serve();
  if (a[0] == "reset" && n == 1) return Reset();
  return Usage();
}
