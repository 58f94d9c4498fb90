#include "zqsim/SimCamera.h"

#include <sys/statvfs.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include <nlohmann/json.hpp>

#include "zqcommon/zqPaths.h"
#include "zqsim/SimState.h"

namespace zqsim {
namespace {

// Models of the camera family. Model 57 is the default for numbers the table does not know.
constexpr ModelSpec kModels[] = {
    {22, "S1", "TAVRO S1", 2, 0},         {51, "S2", "TAVRO S2", 2, 1},
    {57, "T10", "TAVRO T10", 1, 1},       {58, "T11", "TAVRO T11", 1, 2},
    {60, "T11X", "TAVRO T11 X", 1, 2},    {61, "T12", "TAVRO T12", 1, 3},
    {62, "T12L", "TAVRO T12 Lite", 1, 2},
};
constexpr uint8_t kDefaultModel = 57;

constexpr OptionSpec kResolution[] = {
    {1, "4K", 0, 0},    {4, "2.7K", 0, 0},      {9, "1080", 0, 0},
    {18, "5.3K", 2, 1}, {26, "5.6K 360", 0, 2},
};
constexpr OptionSpec kFps[] = {
    {0, "240", 2, 1}, {1, "120", 0, 0}, {5, "60", 0, 0}, {8, "30", 0, 0}, {10, "24", 0, 0},
};
constexpr OptionSpec kLens[] = {
    {0, "Wide", 0, 0},
    {4, "Linear", 0, 1},
    {3, "SuperView", 1, 1},
    {7, "Max SuperView", 3, 1},
};
constexpr OptionSpec kStabilization[] = {
    {0, "Off", 0, 0},
    {1, "On", 0, 0},
    {2, "High", 2, 0},
    {3, "AutoBoost", 3, 1},
};
constexpr OptionSpec kBitRate[] = {{0, "Standard", 0, 0}, {1, "High", 0, 0}};
constexpr OptionSpec kColor[] = {{0, "Natural", 0, 0}, {1, "Vibrant", 0, 0}, {2, "Flat", 1, 0}};
constexpr OptionSpec kWhiteBalance[] = {
    {0, "Auto", 0, 0},  {1, "2300K", 0, 0}, {2, "3200K", 0, 0},  {3, "4500K", 0, 0},
    {4, "5500K", 0, 0}, {5, "6500K", 0, 0}, {6, "Native", 1, 0},
};
constexpr OptionSpec kIsoMax[] = {
    {0, "6400", 0, 0}, {1, "3200", 0, 0}, {2, "1600", 0, 0}, {3, "800", 0, 0},
    {4, "400", 0, 0},  {5, "200", 0, 0},  {6, "100", 0, 0},
};
constexpr OptionSpec kSharpness[] = {{0, "Low", 0, 0}, {1, "Medium", 0, 0}, {2, "High", 0, 0}};
constexpr OptionSpec kEv[] = {
    {0, "-2.0", 0, 0}, {1, "-1.5", 0, 0}, {2, "-1.0", 0, 0}, {3, "-0.5", 0, 0}, {4, "0.0", 0, 0},
    {5, "+0.5", 0, 0}, {6, "+1.0", 0, 0}, {7, "+1.5", 0, 0}, {8, "+2.0", 0, 0},
};
constexpr OptionSpec kAudio[] = {
    {0, "Auto", 0, 0},
    {1, "Wind only", 0, 0},
    {2, "Stereo", 0, 0},
    {3, "Off", 0, 0},
};
constexpr OptionSpec kPhotoResolution[] = {
    {0, "12MP", 0, 0},
    {1, "23MP", 1, 1},
    {2, "27MP", 2, 1},
    {3, "18MP 360", 0, 2},
};
constexpr OptionSpec kPhotoOutput[] = {{0, "Standard", 0, 0}, {1, "RAW", 0, 0}, {2, "HDR", 2, 0}};
constexpr OptionSpec kInterval[] = {
    {0, "0.5s", 0, 0}, {1, "1s", 0, 0},  {2, "2s", 0, 0},  {3, "5s", 0, 0},
    {4, "10s", 0, 0},  {5, "30s", 0, 0}, {6, "60s", 0, 0},
};
constexpr OptionSpec kBurst[] = {
    {0, "Auto", 0, 0},
    {1, "10/1s", 0, 0},
    {2, "25/1s", 1, 0},
    {3, "30/3s", 0, 0},
};
constexpr OptionSpec kPowerOff[] = {
    {0, "Never", 0, 0},  {1, "1 min", 0, 0},  {4, "5 min", 0, 0},
    {6, "15 min", 0, 0}, {7, "30 min", 0, 0},
};
constexpr OptionSpec kOffOn[] = {{0, "Off", 0, 0}, {1, "On", 0, 0}};
constexpr OptionSpec kLed[] = {{0, "All off", 0, 0}, {1, "Front off", 0, 0}, {2, "All on", 0, 0}};
constexpr OptionSpec kBrightness[] = {{0, "Low", 0, 0}, {1, "Medium", 0, 0}, {2, "High", 0, 0}};
constexpr OptionSpec kFlicker[] = {{0, "60Hz", 0, 0}, {1, "50Hz", 0, 0}};
constexpr OptionSpec kOrientation[] = {
    {0, "Auto", 0, 0}, {1, "Up", 0, 0}, {2, "Down", 0, 0}, {3, "Left", 0, 0}, {4, "Right", 0, 0},
};
constexpr OptionSpec kLensMode[] = {{0, "360", 0, 0}, {1, "Front", 0, 0}, {2, "Back", 0, 0}};
constexpr OptionSpec kTimeWarp[] = {
    {0, "Auto", 0, 0}, {1, "2x", 0, 0},  {2, "5x", 0, 0},
    {3, "10x", 0, 0},  {4, "15x", 0, 0}, {5, "30x", 0, 0},
};
constexpr OptionSpec kNightShutter[] = {
    {0, "Auto", 0, 0}, {1, "2s", 0, 0},  {2, "5s", 0, 0},
    {3, "10s", 0, 0},  {4, "20s", 0, 0}, {5, "30s", 0, 0},
};
constexpr OptionSpec kBand[] = {{0, "2.4GHz", 0, 0}, {1, "5GHz", 0, 0}};

constexpr SettingSpec kSettings[] = {
    {2, "video_resolution", "Video Resolution", 1, kResolution, 0},
    {3, "frames_per_second", "Frames Per Second", 5, kFps, 0},
    {4, "lens", "Lens", 0, kLens, 0},
    {5, "stabilization", "Stabilization", 1, kStabilization, 0},
    {6, "bit_rate", "Bit Rate", 0, kBitRate, 0},
    {7, "color_profile", "Color", 1, kColor, 0},
    {8, "white_balance", "White Balance", 0, kWhiteBalance, 0},
    {9, "iso_max", "ISO Max", 1, kIsoMax, 0},
    {10, "sharpness", "Sharpness", 1, kSharpness, 0},
    {11, "ev_comp", "EV Comp", 4, kEv, 0},
    {12, "audio", "Audio", 0, kAudio, 0},
    {13, "photo_resolution", "Photo Resolution", 0, kPhotoResolution, 0},
    {14, "photo_output", "Output", 0, kPhotoOutput, 0},
    {15, "interval", "Interval", 1, kInterval, 0},
    {16, "burst_rate", "Burst Rate", 0, kBurst, 0},
    {17, "auto_power_off", "Auto Power Off", 4, kPowerOff, 0},
    {18, "gps", "GPS", 1, kOffOn, 0},
    {19, "led", "LEDs", 2, kLed, 0},
    {20, "screen_brightness", "Brightness", 1, kBrightness, 0},
    {21, "anti_flicker", "Anti-Flicker", 0, kFlicker, 0},
    {22, "quick_capture", "QuickCapture", 0, kOffOn, 0},
    {23, "orientation", "Orientation", 0, kOrientation, 0},
    {24, "lens_mode", "Lens Mode", 0, kLensMode, 2},
    {25, "time_warp_speed", "Speed", 0, kTimeWarp, 0},
    {26, "night_shutter", "Shutter", 0, kNightShutter, 0},
    {27, "wireless_band", "Wireless Band", 1, kBand, 0},
    {28, "voice_control", "Voice Control", 0, kOffOn, 0},
};

constexpr SubModeSpec kVideoSubModes[] = {
    {0, "standard", "Standard"}, {1, "looping", "Looping"}, {2, "time_warp", "TimeWarp"}};
constexpr SubModeSpec kPhotoSubModes[] = {
    {0, "single", "Single"}, {1, "night", "Night"}, {2, "burst", "Burst"}};
constexpr SubModeSpec kMultiSubModes[] = {{0, "time_lapse", "Time Lapse"},
                                          {1, "night_lapse", "Night Lapse"}};
constexpr int32_t kVideoSettings[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 25};
constexpr int32_t kPhotoSettings[] = {13, 14, 4, 7, 8, 9, 10, 11, 16};
constexpr int32_t kMultiSettings[] = {15, 26, 13, 2};
constexpr int32_t kSetupSettings[] = {17, 18, 19, 20, 21, 22, 23, 24, 27, 28};

constexpr ModeSpec kModes[] = {
    {0, "video", "Video", kVideoSubModes, kVideoSettings},
    {1, "photo", "Photo", kPhotoSubModes, kPhotoSettings},
    {2, "multi_shot", "Multi-Shot", kMultiSubModes, kMultiSettings},
};

// The status part: ids, names and where their values sit. Byte 25 of the part is byte 225 of
// the record, the system-ready flag.
constexpr StatusField kStatusFields[] = {
    {1, "battery_present", StatusType::kBoolean, 0, 1},
    {2, "battery_bars", StatusType::kNumber, 1, 1},
    {6, "system_hot", StatusType::kBoolean, 2, 1},
    {8, "system_busy", StatusType::kBoolean, 3, 1},
    {10, "encoding", StatusType::kBoolean, 4, 1},
    {13, "video_progress_s", StatusType::kNumber, 5, 4},
    {17, "ap_enabled", StatusType::kBoolean, 9, 1},
    {19, "wireless_band", StatusType::kNumber, 10, 1},
    {31, "connected_clients", StatusType::kNumber, 11, 1},
    {33, "sd_status", StatusType::kNumber, 12, 1},
    {34, "remaining_photos", StatusType::kNumber, 13, 4},
    {35, "remaining_video_s", StatusType::kNumber, 17, 4},
    {38, "photos_taken", StatusType::kNumber, 21, 4},
    {82, "system_ready", StatusType::kBoolean, 25, 1},
    {39, "videos_taken", StatusType::kNumber, 26, 4},
    {40, "date_time", StatusType::kDateTime, 0, 10},
    {43, "mode", StatusType::kNumber, 30, 1},
    {44, "sub_mode", StatusType::kNumber, 31, 1},
    {45, "locate_active", StatusType::kBoolean, 32, 1},
    {54, "remaining_space_kb", StatusType::kNumber, 33, 4},
    {70, "battery_percent", StatusType::kNumber, 37, 1},
    {75, "digital_zoom", StatusType::kNumber, 38, 1},
    {77, "zoom_available", StatusType::kBoolean, 39, 1},
    {89, "mode_group", StatusType::kNumber, 40, 2},
    {105, "photo_timer_s", StatusType::kNumber, 42, 1},
    {106, "speed_ramp", StatusType::kNumber, 43, 1},
    {107, "speed_ramp_active", StatusType::kNumber, 44, 4},
    {108, "camera_control", StatusType::kNumber, 48, 1},
    {109, "wired_usb", StatusType::kBoolean, 49, 1},
    {110, "in_contextual_menu", StatusType::kBoolean, 50, 1},
    {111, "ble_enabled", StatusType::kBoolean, 51, 1},
    {112, "exposure_mode", StatusType::kNumber, 52, 1},
    {114, "rc_pairing", StatusType::kBoolean, 53, 1},
    {115, "fw_update_state", StatusType::kNumber, 54, 1},
    {116, "tags", StatusType::kNumber, 55, 4},
};

bool Offered(const ModelSpec& model, uint8_t tier, uint8_t lenses) {
  return tier <= model.tier && (lenses == 0 || lenses == model.lenses);
}

const char* TypeName(StatusType t) {
  switch (t) {
    case StatusType::kBoolean:
      return "boolean";
    case StatusType::kNumber:
      return "number";
    case StatusType::kDateTime:
      return "date_time";
  }
  return "number";
}

void Put(uint8_t* p, uint64_t v, size_t width) {
  for (size_t i = 0; i < width; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Clamp32(uint64_t v) { return v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v); }

uint64_t FreeKb() {
  struct statvfs vfs = {};
  if (statvfs(zq_path(kZqSdCardRoot).c_str(), &vfs) != 0) return 0;
  return static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize / 1024;
}

}  // namespace

std::span<const ModelSpec> Models() { return kModels; }

const ModelSpec& ModelOrDefault(uint8_t number) {
  const ModelSpec* fallback = &kModels[0];
  for (const ModelSpec& m : kModels) {
    if (m.number == number) return m;
    if (m.number == kDefaultModel) fallback = &m;
  }
  return *fallback;
}

std::span<const ModeSpec> Modes() { return kModes; }
std::span<const SettingSpec> Settings() { return kSettings; }
std::span<const StatusField> StatusFields() { return kStatusFields; }

const SettingSpec* FindSetting(int32_t id) {
  for (const SettingSpec& s : kSettings) {
    if (s.id == id) return &s;
  }
  return nullptr;
}

bool ModelHasSetting(const ModelSpec& model, const SettingSpec& setting) {
  return Offered(model, 0, setting.lenses);
}

bool ModelOffers(const ModelSpec& model, const OptionSpec& option) {
  return Offered(model, option.tier, option.lenses);
}

bool IsWebcamSetting(int32_t id) { return id == kWebcamFovSetting || id == kWebcamBitRateSetting; }

bool WebcamSettingAccepts(int32_t id, int32_t value) {
  if (id == kWebcamBitRateSetting) return value > 700000 && value <= 6000000;
  return id == kWebcamFovSetting && (value == 0 || (value >= 2 && value <= 4));
}

bool SettingAccepts(const ModelSpec& model, int32_t id, int32_t value) {
  const SettingSpec* s = FindSetting(id);
  if (s == nullptr || !ModelHasSetting(model, *s)) return false;
  for (const OptionSpec& o : s->options) {
    if (o.value == value && Offered(model, o.tier, o.lenses)) return true;
  }
  return false;
}

void ResetSettings(CameraState* camera) {
  for (int32_t& v : camera->settings) v = 0;
  for (const SettingSpec& s : kSettings) camera->settings[s.id] = s.default_value;
}

void ResetModeSettings(CameraState* camera, uint32_t mode) {
  for (const ModeSpec& m : kModes) {
    if (m.id != mode) continue;
    for (int32_t id : m.settings) camera->settings[id] = FindSetting(id)->default_value;
  }
}

std::string SettingsDocument(const ModelSpec& model) {
  using Json = nlohmann::ordered_json;
  auto setting_ids = [&](std::span<const int32_t> ids) {
    Json list = Json::array();
    for (int32_t id : ids) {
      if (ModelHasSetting(model, *FindSetting(id))) list.push_back(id);
    }
    return list;
  };

  Json doc;
  doc["schema_version"] = 1;
  doc["model"] = {{"number", model.number},
                  {"name", model.name},
                  {"directory", model.dir},
                  {"lens_count", model.lenses}};
  Json modes = Json::array();
  for (const ModeSpec& m : kModes) {
    Json subs = Json::array();
    for (const SubModeSpec& s : m.sub_modes) {
      subs.push_back({{"id", s.id}, {"name", s.name}, {"display_name", s.display_name}});
    }
    modes.push_back({{"id", m.id},
                     {"name", m.name},
                     {"display_name", m.display_name},
                     {"sub_modes", subs},
                     {"settings", setting_ids(m.settings)}});
  }
  doc["modes"] = modes;
  doc["setup"] = {{"settings", setting_ids(kSetupSettings)}};

  Json settings = Json::array();
  for (const SettingSpec& s : kSettings) {
    if (!ModelHasSetting(model, s)) continue;
    Json options = Json::array();
    for (const OptionSpec& o : s.options) {
      if (Offered(model, o.tier, o.lenses)) {
        options.push_back({{"value", o.value}, {"display_name", o.name}});
      }
    }
    settings.push_back({{"id", s.id},
                        {"name", s.name},
                        {"display_name", s.display_name},
                        {"default", s.default_value},
                        {"options", options}});
  }
  doc["settings"] = settings;

  Json status = Json::array();
  for (const StatusField& f : kStatusFields) {
    status.push_back({{"id", f.id}, {"name", f.name}, {"type", TypeName(f.type)}});
  }
  doc["status"] = status;
  return doc.dump(2) + "\n";
}

bool WriteSettingsDocuments(const std::string& root, std::string* error) {
  for (const ModelSpec& m : kModels) {
    const std::string dir = root + kZqSettingsDir + "/" + m.dir;
    if (!zq_make_dirs(dir)) {
      *error = "cannot create " + dir;
      return false;
    }
    const std::string path = dir + "/settings.json";
    const std::string text = SettingsDocument(m);
    FILE* f = fopen(path.c_str(), "we");
    bool ok = f != nullptr && fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f != nullptr && fclose(f) != 0) ok = false;
    if (!ok) {
      *error = "cannot write " + path;
      return false;
    }
  }
  return true;
}

void CameraDateTime(const CameraState& camera, int64_t now_s, uint8_t record[10]) {
  const time_t t = static_cast<time_t>(now_s + camera.clock_offset_s);
  struct tm tm = {};
  gmtime_r(&t, &tm);
  Put(record, static_cast<uint64_t>(tm.tm_year + 1900), 2);
  record[2] = static_cast<uint8_t>(tm.tm_mon + 1);
  record[3] = static_cast<uint8_t>(tm.tm_mday);
  record[4] = static_cast<uint8_t>(tm.tm_hour);
  record[5] = static_cast<uint8_t>(tm.tm_min);
  record[6] = static_cast<uint8_t>(tm.tm_sec);
  Put(record + 7, static_cast<uint16_t>(camera.time_zone), 2);
  record[9] = camera.dst;
}

void BuildStatusRecord(const SimStateData& d, int64_t now_ms, all_status_settings_t* record) {
  memset(record, 0, sizeof *record);
  const CameraState& cam = d.camera;

  for (const SettingSpec& s : kSettings) {
    if (s.id < kRecordSettingIds) {
      Put(record->settings.data + 2 * s.id, static_cast<uint16_t>(cam.settings[s.id]), 2);
    }
  }
  Put(record->settings.data + 2 * kKeepAliveSetting,
      static_cast<uint16_t>(cam.settings[kKeepAliveSetting]), 2);

  const uint64_t free_kb = FreeKb();
  const bool recording = IsRecording(d);
  const int64_t progress = recording ? (now_ms - cam.recording_since_ms) / 1000 : 0;
  for (const StatusField& f : kStatusFields) {
    uint64_t v = 0;
    switch (f.id) {
      case 1:
        v = 1;
        break;
      case 2:
        v = 3;
        break;
      case 8:
        v = recording;
        break;
      case 10:
        v = recording;
        break;
      case 13:
        v = progress > 0 ? static_cast<uint64_t>(progress) : 0;
        break;
      case 17:
        v = cam.ap_enabled;
        break;
      case 19:
        v = static_cast<uint32_t>(cam.band);
        break;
      case 31:
        v = 1;
        break;
      case 34:
        v = Clamp32(free_kb / 4096);
        break;
      case 35:
        v = Clamp32(free_kb / 7500);
        break;
      case 38:
        v = cam.photos_taken;
        break;
      case 82:
        v = cam.ready;
        break;
      case 39:
        v = cam.videos_taken;
        break;
      case 40:
        CameraDateTime(cam, now_ms / 1000, record->system_settings.data + f.offset);
        continue;
      case 43:
        v = cam.mode;
        break;
      case 44:
        v = cam.sub_mode;
        break;
      case 45:
        v = cam.locate;
        break;
      case 54:
        v = Clamp32(free_kb);
        break;
      case 70:
        v = 87;
        break;
      case 75:
        v = cam.digital_zoom;
        break;
      case 77:
        v = ZoomAvailable(d) ? 1 : 0;
        break;
      case 89:
        v = cam.mode_group;
        break;
      case 105:
        v = cam.photo_timer;
        break;
      case 106:
        v = cam.speed_ramp;
        break;
      case 107:
        v = cam.speed_ramp_active;
        break;
      case 108:
        v = cam.camera_control;
        break;
      case 109:
        v = cam.wired_usb;
        break;
      case 110:
        v = cam.in_contextual_menu;
        break;
      case 111:
        v = cam.ble_enabled;
        break;
      case 112:
        v = cam.exposure_mode;
        break;
      case 114:
        v = cam.rc_pairing;
        break;
      case 115:
        v = cam.fw_update;
        break;
      case 116:
        v = cam.tags;
        break;
      default:
        v = 0;
        break;
    }
    Put(record->status.data + f.offset, v, f.width);
  }
}

}  // namespace zqsim
