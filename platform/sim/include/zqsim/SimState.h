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
#include <string>

#include "zqcommon/zqMutex.h"
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

// A command the control service answers with `status` without acting; with `reply` set it
// answers status 0 and the bytes of its reply file (ControlReplyPath) instead.
struct Fault {
  int32_t command;
  int32_t status;
  uint8_t used;
  uint8_t reply;
};

inline constexpr size_t kFilterVerdictCount = 16;
inline constexpr size_t kFilterVerdictOptions = 8;
inline constexpr size_t kFilterOptionName = 32;

// An answer the settings filter gives for one setting and option whatever its rules say.
struct FilterOption {
  int32_t id;
  uint8_t valid;
  char name[kFilterOptionName];
};
struct FilterVerdict {
  int32_t setting;
  int32_t option;
  int32_t code;
  uint8_t used;
  uint8_t option_count;
  FilterOption options[kFilterVerdictOptions];
};

inline constexpr size_t kPresetSlots = 48;
inline constexpr size_t kPresetSettings = 16;

// A preset of the control service: a flat mode and the values of its mode's settings.
struct SimPreset {
  uint32_t id;
  uint32_t group;  // preset group id; 0 marks a free slot
  int32_t flat_mode;
  uint32_t title;         // preset title number
  uint32_t title_number;  // custom presets: the number after the title
  uint32_t icon;
  uint32_t order;  // position inside its group
  uint8_t predefined;
  uint8_t modified;
  uint8_t setting_count;
  int32_t setting_ids[kPresetSettings];
  int32_t values[kPresetSettings];
  int32_t factory[kPresetSettings];  // predefined presets: the values a factory reset restores
};

struct PresetStore {
  uint8_t model;  // the model the presets were made for; they are made again for another
  uint8_t made;
  uint32_t current;        // the preset loaded last
  uint32_t editing;        // the preset being edited (edit_start), or kNoPreset
  uint32_t next_id;        // the id of the next custom preset
  uint32_t group_last[3];  // per group kind (video, photo, time lapse): the preset loaded last
  SimPreset presets[kPresetSlots];
};
inline constexpr uint32_t kNoPreset = 0xFFFFFFFF;

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
  uint8_t zoom_available;  // the camera state's zoom byte: 0, 1, or kZoomByModel
  int32_t settings[kSettingCount];
};
// Digital zoom is usable when the model has one lens.
inline constexpr uint8_t kZoomByModel = 0xFF;

// A Wi-Fi network the camera has seen in a scan or remembers.
inline constexpr size_t kWifiScannedMax = 100;
inline constexpr size_t kWifiRememberedMax = 16;
struct WifiNetwork {
  char ssid[33];      // NUL-terminated
  char password[65];  // remembered networks only
  uint32_t auth_type;
  uint8_t bars;
  uint8_t used;
};

struct WifiState {
  int32_t scan_id;
  uint32_t scanned_count;
  WifiNetwork scanned[kWifiScannedMax];  // in the order `zqsim wifi add` gave them
  WifiNetwork remembered[kWifiRememberedMax];
  char joined[33];  // the network last selected ("" when none)
};

// A BLE device the BLE service remembers (its whitelist): an index into the simulated devices.
inline constexpr size_t kBleRememberedMax = 16;
struct BleRemembered {
  uint8_t used;
  uint8_t device;
  uint8_t auto_connect;
};

struct BleState {
  uint8_t scanning;
  uint8_t scanned;  // a scan has run: the scan results hold every simulated device
  uint8_t scan_list_id;
  uint8_t whitelist_id;
  uint8_t pairing_status;  // 0 idle, 1 pairing, 2 paired, 3 failed
  uint8_t auto_connect;
  uint8_t pairing_phase;                        // 1 after "PD", 0 after "PX"
  BleRemembered remembered[kBleRememberedMax];  // in the order they were paired
};

// A transcode job: it runs for `duration_ms` from `started_ms` (host wall clock), then its
// output exists.
struct TranscodeJob {
  uint8_t used;
  uint8_t photo;
  uint8_t written;  // the output file has been made
  int64_t id;
  int64_t started_ms;
  int64_t duration_ms;
  int64_t cancelled_ms;  // 0 while not cancelled
  char source[257];      // camera form, "\" separators
  char output[257];
};

inline constexpr size_t kTranscodeJobs = 2;  // the history the camera keeps
struct TranscodeState {
  int64_t next_id;
  TranscodeJob jobs[kTranscodeJobs];  // the most recent first
};

struct SimStateData {
  char magic[8];
  uint32_t version;
  uint32_t bytes;
  Identity identity;
  StatusSlot status[kStatusCount];
  Fault faults[kFaultCount];
  CameraState camera;
  FilterVerdict verdicts[kFilterVerdictCount];
  PresetStore presets;
  int32_t status_faults[kStatusCount];  // writes of an id fail with this status (0: none)
  WifiState wifi;
  BleState ble;
  TranscodeState transcode;
  uint8_t delete_list_result;  // result byte of the last delete list (command 94)
  int32_t webcam_status;       // the webcam process: 1 idle, 2 streaming, 3 preview
};

// Whether the camera records: status 3 (CSI_RECORDING) is non-zero.
inline bool IsRecording(const SimStateData& d) {
  const uint8_t* v = d.status[3].data;
  return (v[0] | v[1] | v[2] | v[3]) != 0;
}

// Fills `d` with an idle camera in access-point mode, model 58.
void SetDefaults(SimStateData* d);

// Whether the camera offers digital zoom now (the zoom byte of the camera state record).
bool ZoomAvailable(const SimStateData& d);

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
  // Holds the process's mutex and the file's lock (shared or exclusive) for its scope.
  class SCOPED_CAPABILITY Guard {
   public:
    Guard(SimState* s, bool exclusive) ACQUIRE(s->mu_);
    ~Guard() RELEASE();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    SimState* s_;
  };

  explicit SimState(std::string dir);
  void OpenLocked() REQUIRES(mu_);  // (re)maps the file
  bool Valid() const REQUIRES(mu_);

  ZqMutex mu_;  // within this process; the file's lock is between processes
  std::string dir_;
  std::string path_;
  UniqueFd fd_ GUARDED_BY(mu_);
  SimStateData* data_ GUARDED_BY(mu_) = nullptr;
};

// Empties the control-service journal; false when it cannot be written.
bool JournalClear();

// Back to an idle camera (SetDefaults) with an empty journal, as `zqsim reset` does.
bool ResetCamera();

// The file holding the reply bytes of `command` while `zqsim control reply` is set for it.
std::string ControlReplyPath(uint32_t command);

// Appends one line to the control-service journal.
void JournalAppend(uint32_t command, const void* param, uint32_t param_len, int32_t status);
// The journal's path.
std::string JournalPath();

// The camera-status write journal: the daemon's own writes (csi_set), one JSON object a line,
// {"id":141,"value":"12030000","status":0}. Appended by csi_set; `zqsim status log` prints it.
std::string StatusJournalPath();
void StatusJournalAppend(int id, const void* value, uint32_t size, int32_t status);
bool StatusJournalClear();

// Appends `line` and a newline to the file at `path` with one write (O_APPEND), so that lines
// from several processes stay whole.
void AppendLine(const std::string& path, const std::string& line);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSTATE_H_
