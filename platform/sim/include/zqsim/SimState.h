// The simulated camera's shared state: one file under $ZQ_ROOT/run/zqsim/ mapped into every
// process that uses it (the daemon through the platform calls, the zqsim tool, tests).
//
// Layout: a fixed-size record (SimStateData) with a magic word and version. Writers and
// readers take an flock on the file, so changes from another process are seen at the next
// access. A missing, short or foreign file is recreated with the defaults of an idle camera,
// and the simulator says so on standard error. The format is the simulator's own.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSTATE_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSTATE_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "zqcommon/zqUniqueFd.h"

namespace zqsim {

inline constexpr size_t kStatusCount = 256;
inline constexpr size_t kStatusMaxSize = 1400;
inline constexpr size_t kFaultCount = 64;
inline constexpr size_t kIdentityText = 64;
inline constexpr size_t kSettingCount = 256;

enum class StatusKind : uint8_t { kNumber = 0, kText = 1 };

struct StatusSlot {
  uint16_t size;  // bytes stored (numbers: their width; texts: length without terminator)
  StatusKind kind;
  uint8_t present;
  uint8_t data[kStatusMaxSize];
};

struct Identity {
  uint8_t model_number;
  uint8_t ap_has_default_credentials;
  uint32_t common_camera_features;
  uint32_t update_required;
  char model_name[kIdentityText];
  char firmware_version[kIdentityText];
  char serial_number[kIdentityText];
  char board_type[kIdentityText];
  char ap_mac[kIdentityText];
  char ap_ssid[kIdentityText];
  char ap_address[kIdentityText];
};

// A command the control service answers with `status` without acting.
struct Fault {
  int32_t command;
  int32_t status;
  uint8_t used;
};

// What the simulated control service keeps between commands.
struct CameraState {
  uint32_t mode;  // 0 video, 1 photo, 2 multi-shot
  uint32_t sub_mode;
  uint32_t mode_group;  // the last "set mode" group
  uint32_t digital_zoom;
  uint32_t photo_timer;
  uint8_t shutdown_pending;
  uint8_t ready;  // the system-ready byte of the status record
  uint8_t locate;
  uint8_t ap_enabled;
  uint8_t ble_enabled;
  uint8_t rc_pairing;
  uint8_t fw_update;  // 0 idle, 1 downloading, 2 downloaded
  uint8_t camera_control;
  uint8_t wired_usb;
  uint8_t in_contextual_menu;
  uint8_t exposure_mode;
  int32_t band;
  uint32_t speed_ramp;
  uint32_t speed_ramp_active;
  int64_t recording_since_ms;  // wall clock of the last shutter start
  uint32_t photos_taken;
  uint32_t videos_taken;
  uint32_t tags;
  uint32_t geocal_size;    // bytes of the geometric calibration reply
  int64_t clock_offset_s;  // camera clock minus the host's UTC clock
  int16_t time_zone;       // minutes; 32767 when never given
  uint8_t dst;
  int32_t settings[kSettingCount];
};
struct SimStateData {
  char magic[8];
  uint32_t version;
  uint32_t bytes;
  Identity identity;
  StatusSlot status[kStatusCount];
  Fault faults[kFaultCount];
  CameraState camera;
};

// Whether the camera records: status 3 (CSI_RECORDING) is non-zero.
inline bool IsRecording(const SimStateData& d) {
  const uint8_t* v = d.status[3].data;
  return (v[0] | v[1] | v[2] | v[3]) != 0;
}

// Fills `d` with an idle camera in access-point mode, model 58.
void SetDefaults(SimStateData* d);

// Identity fields by their zqsim names; nullptr for an unknown name.
char* IdentityText(Identity* id, const std::string& name);

class SimState {
 public:
  // The state of this process's root ($ZQ_ROOT/run/zqsim/state.bin), opened at first use.
  static SimState& Get();

  SimState(const SimState&) = delete;
  SimState& operator=(const SimState&) = delete;

  // Runs `f(const SimStateData&)` under a shared lock; `f(SimStateData&)` under an exclusive
  // one. Returns f's result. Aborts only when the state directory cannot be created at all.
  template <typename F>
  auto Read(F f) {
    Guard g(this, false);
    return f(static_cast<const SimStateData&>(*data_));
  }
  template <typename F>
  auto Write(F f) {
    Guard g(this, true);
    return f(*data_);
  }

  // The directory that holds the state and the journal.
  const std::string& dir() const { return dir_; }

 private:
  class Guard {
   public:
    Guard(SimState* s, bool exclusive);
    ~Guard();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    SimState* s_;
  };

  explicit SimState(std::string dir);
  void OpenLocked();  // (re)maps the file; called with mu_ held
  bool Valid() const;

  std::mutex mu_;  // guards fd_ and data_ within this process
  std::string dir_;
  std::string path_;
  UniqueFd fd_;
  SimStateData* data_ = nullptr;
};

// Empties the control-service journal; false when it cannot be written.
bool JournalClear();

// Back to an idle camera (SetDefaults) with an empty journal, as `zqsim reset` does.
bool ResetCamera();

// Appends one line to the control-service journal.
void JournalAppend(uint32_t command, const void* param, uint32_t param_len, int32_t status);
// The journal's path.
std::string JournalPath();

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSTATE_H_
