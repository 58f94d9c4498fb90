#include "zqsim/SimState.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zqcommon/zqMutex.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimCamera.h"

namespace zqsim {
namespace {

constexpr char kMagic[8] = {'Z', 'Q', 'S', 'I', 'M', 'S', 'T', '1'};
constexpr uint32_t kVersion = 3;

void SetNumber(SimStateData* d, int id, uint64_t value, uint16_t size) {
  StatusSlot& s = d->status[id];
  memset(&s, 0, sizeof s);
  s.kind = StatusKind::kNumber;
  s.size = size;
  s.present = 1;
  for (uint16_t i = 0; i < size && i < 8; ++i) s.data[i] = static_cast<uint8_t>(value >> (8 * i));
}

void SetText(SimStateData* d, int id, const char* text) {
  StatusSlot& s = d->status[id];
  memset(&s, 0, sizeof s);
  s.kind = StatusKind::kText;
  s.size = static_cast<uint16_t>(strnlen(text, kStatusMaxSize - 1));
  s.present = 1;
  memcpy(s.data, text, s.size);
}

void CopyText(char* dst, const char* src) { snprintf(dst, kIdentityText, "%s", src); }

// Lower-case hexadecimal of `size` bytes at `data` (nothing when `data` is nullptr).
void AppendHex(std::string& out, const void* data, uint32_t size) {
  static const char kHex[] = "0123456789abcdef";
  const uint8_t* p = static_cast<const uint8_t*>(data);
  for (uint32_t i = 0; p != nullptr && i < size; ++i) {
    out += kHex[p[i] >> 4];
    out += kHex[p[i] & 15];
  }
}

}  // namespace

void SetDefaults(SimStateData* d) {
  memset(d, 0, sizeof *d);
  memcpy(d->magic, kMagic, sizeof kMagic);
  d->version = kVersion;
  d->bytes = sizeof *d;

  Identity& id = d->identity;
  id.model_number = 58;
  id.ap_has_default_credentials = 0;
  id.common_camera_features = 1;
  id.update_required = 0;
  CopyText(id.model_name, "TAVRO T11");
  CopyText(id.firmware_version, "T11.01.02.00");
  CopyText(id.serial_number, "C3581324512345");
  CopyText(id.board_type, "0x05");
  CopyText(id.ap_mac, "0a7e5d112233");
  CopyText(id.ap_ssid, "TAVRO-2345");
  CopyText(id.ap_address, "192.168.72.1");

  // Every status value of an idle camera is a 4-byte zero unless listed here.
  for (size_t i = 0; i < kStatusCount; ++i) SetNumber(d, static_cast<int>(i), 0, 4);
  SetText(d, 0, "C3581324512345");  // identity text: its 12th to 14th characters name the wired net
  SetText(d, 15, "");               // access point configuration
  SetText(d, 31, "");               // beacon UUID
  SetText(d, 86, "");               // phone name
  SetText(d, 142, "");              // webcam settings
  SetNumber(d, 42, 0, 1);           // firmware update state
  SetNumber(d, 92, 0, 1);           // analytics source
  SetNumber(d, 138, 0, 1);          // processor boost

  // An idle camera in video mode, ready, access point and BLE on, clock on the host's UTC.
  CameraState& cam = d->camera;
  cam.ready = 1;
  cam.ap_enabled = 1;
  cam.ble_enabled = 1;
  cam.geocal_size = 512;
  cam.time_zone = 0;
  cam.zoom_available = kZoomByModel;
  ResetSettings(&cam);

  d->wifi.scan_id = 1;
  d->ble.scan_list_id = 1;
  d->ble.whitelist_id = 1;
  d->ble.auto_connect = 1;
  d->transcode.next_id = 1;
  d->webcam_status = 1;

  d->presets.editing = kNoPreset;  // the presets themselves are made for the model on first use
}

bool ZoomAvailable(const SimStateData& d) {
  if (d.camera.zoom_available != kZoomByModel) return d.camera.zoom_available != 0;
  return ModelOrDefault(d.identity.model_number).lenses == 1;
}

char* IdentityText(Identity* id, const std::string& name) {
  if (name == "model_name") return id->model_name;
  if (name == "firmware_version") return id->firmware_version;
  if (name == "serial_number") return id->serial_number;
  if (name == "board_type") return id->board_type;
  if (name == "ap_mac") return id->ap_mac;
  if (name == "ap_ssid") return id->ap_ssid;
  if (name == "ap_address") return id->ap_address;
  return nullptr;
}

SimState& SimState::Get() {
  static SimState* state = new SimState(zq_path(kZqSimStateDir));  // lives for the process
  return *state;
}

SimState::SimState(std::string dir) : dir_(std::move(dir)), path_(dir_ + "/state.bin") {}

bool SimState::Valid() const {
  return memcmp(data_->magic, kMagic, sizeof kMagic) == 0 && data_->version == kVersion &&
         data_->bytes == sizeof(SimStateData);
}

void SimState::OpenLocked() {
  struct stat st = {};
  // Still the file at the path unless it was removed or replaced (its last link gone).
  if (fd_.valid() && fstat(fd_.get(), &st) == 0 && st.st_nlink > 0) return;

  if (data_ != nullptr) munmap(data_, sizeof(SimStateData));
  fd_.reset();
  data_ = nullptr;

  if (!zq_make_dirs(dir_)) {
    fprintf(stderr, "zqsim: cannot create the state directory %s: %s\n", dir_.c_str(),
            strerror(errno));
    abort();
  }
  UniqueFd fd(open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!fd.valid() || flock(fd.get(), LOCK_EX) != 0 || fstat(fd.get(), &st) != 0) {
    fprintf(stderr, "zqsim: cannot open the camera state %s: %s\n", path_.c_str(), strerror(errno));
    abort();
  }
  bool fresh = st.st_size == 0;
  if (st.st_size != static_cast<off_t>(sizeof(SimStateData)) &&
      ftruncate(fd.get(), sizeof(SimStateData)) != 0) {
    fprintf(stderr, "zqsim: cannot size the camera state %s: %s\n", path_.c_str(), strerror(errno));
    abort();
  }
  void* p = mmap(nullptr, sizeof(SimStateData), PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
  if (p == MAP_FAILED) {
    fprintf(stderr, "zqsim: cannot map the camera state %s: %s\n", path_.c_str(), strerror(errno));
    abort();
  }
  fd_ = std::move(fd);
  data_ = static_cast<SimStateData*>(p);
  if (!Valid()) {
    if (fresh) {
      fprintf(stderr, "zqsim: no camera state in %s; starting an idle camera\n", dir_.c_str());
    } else {
      fprintf(stderr, "zqsim: camera state %s was corrupt; recreated with defaults\n",
              path_.c_str());
    }
    SetDefaults(data_);
  }
  flock(fd_.get(), LOCK_UN);
}

SimState::Guard::Guard(SimState* s, bool exclusive) : s_(s) {
  s->mu_.Lock();
  s->OpenLocked();
  flock(s->fd_.get(), exclusive ? LOCK_EX : LOCK_SH);
  if (!s->Valid()) {
    // Another process damaged the file while we had it mapped.
    flock(s->fd_.get(), LOCK_EX);
    if (!s->Valid()) {
      fprintf(stderr, "zqsim: camera state %s was corrupt; recreated with defaults\n",
              s->path_.c_str());
      SetDefaults(s->data_);
    }
    if (!exclusive) flock(s->fd_.get(), LOCK_SH);
  }
}

SimState::Guard::~Guard() {
  flock(s_->fd_.get(), LOCK_UN);
  s_->mu_.Unlock();
}

bool JournalClear() {
  SimState::Get().Read([](const SimStateData&) { return 0; });  // makes the directory
  const int fd = open(JournalPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool ResetCamera() {
  SimState::Get().Write([](SimStateData& d) {
    for (const Fault& f : d.faults) {
      if (f.used && f.reply) unlink(ControlReplyPath(static_cast<uint32_t>(f.command)).c_str());
    }
    SetDefaults(&d);
    return 0;
  });
  return JournalClear() && StatusJournalClear();
}

std::string StatusJournalPath() { return SimState::Get().dir() + "/status.log"; }

bool StatusJournalClear() {
  SimState::Get().Read([](const SimStateData&) { return 0; });  // makes the directory
  const int fd = open(StatusJournalPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  close(fd);
  return true;
}

void StatusJournalAppend(int id, const void* value, uint32_t size, int32_t status) {
  std::string line = "{\"id\":" + std::to_string(id) + ",\"value\":\"";
  AppendHex(line, value, size);
  line += "\",\"status\":" + std::to_string(status) + "}";
  AppendLine(StatusJournalPath(), line);
}

void AppendLine(const std::string& path, const std::string& line) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  const std::string whole = line + "\n";
  ssize_t n = write(fd, whole.data(), whole.size());
  (void)n;
  close(fd);
}

std::string JournalPath() { return SimState::Get().dir() + "/control.log"; }

std::string ControlReplyPath(uint32_t command) {
  return SimState::Get().dir() + "/reply-" + std::to_string(command) + ".bin";
}

void JournalAppend(uint32_t command, const void* param, uint32_t param_len, int32_t status) {
  std::string line = "{\"command\":" + std::to_string(command) + ",\"param\":\"";
  AppendHex(line, param, param_len);
  line += "\",\"status\":" + std::to_string(status) + "}\n";

  // The journal stays open for appending; it is opened again when it was removed. Clearing
  // truncates it in place, which appending follows.
  static ZqMutex mu;
  static int fd GUARDED_BY(mu) = -1;  // lives for the process
  ZqLock lock(mu);
  struct stat st = {};
  if (fd >= 0 && (fstat(fd, &st) != 0 || st.st_nlink == 0)) {
    close(fd);
    fd = -1;
  }
  if (fd < 0) {
    SimState::Get().Read([](const SimStateData&) { return 0; });  // makes the directory
    fd = open(JournalPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return;
  }
  // One write with O_APPEND keeps lines from several processes whole.
  ssize_t n = write(fd, line.data(), line.size());
  (void)n;
}

}  // namespace zqsim
