// The simulated settings filter: the option tables of each model come from the simulated
// camera's own tables (what a model offers is what its control service accepts), a few rules
// tie options to other settings, and a busy camera refuses every change. Verdicts forced with
// `zqsim filter verdict` win over all of it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "zqBlacklistHandler.h"
#include "zqsim/SimCamera.h"
#include "zqsim/SimPresets.h"
#include "zqsim/SimState.h"

namespace {

using zqsim::SimState;
using zqsim::SimStateData;

// Status ids whose non-zero value makes the camera refuse setting changes.
constexpr int32_t kBusyStatuses[] = {8, 10};  // system busy, encoding

// Options that only go with certain values of another setting.
const BHCameraFilters& Rules() {
  static const BHCameraFilters kRules = {
      {3, 0, 2, {9}},          // 240 fps only at 1080
      {2, 18, 3, {5, 8, 10}},  // 5.3K at 60 fps and below
      {2, 26, 3, {8, 10}},     // 5.6K 360 at 30 fps and below
      {5, 3, 4, {0, 3, 4}},    // AutoBoost not with Max SuperView
      {14, 2, 13, {0}},        // HDR photos at 12MP only
      {16, 2, 14, {0}},        // the fastest burst without RAW or HDR
  };
  return kRules;
}

int32_t At(const std::vector<int32_t>& v, int32_t id) {
  return id >= 0 && static_cast<size_t>(id) < v.size() ? v[static_cast<size_t>(id)] : 0;
}

// A verdict forced for (setting, option), copied out of the shared state.
bool Forced(int32_t setting, int32_t option, zqsim::FilterVerdict* out) {
  return SimState::Get().Read([&](const SimStateData& d) {
    for (const zqsim::FilterVerdict& v : d.verdicts) {
      if (v.used && v.setting == setting && v.option == option) {
        *out = v;
        return true;
      }
    }
    return false;
  });
}

}  // namespace

BHCameraOptions getCameraOptions(int model_number) {
  const zqsim::ModelSpec& model = zqsim::ModelOrDefault(static_cast<uint8_t>(model_number));
  BHCameraOptions out;
  for (const zqsim::SettingSpec& s : zqsim::Settings()) {
    if (!zqsim::ModelHasSetting(model, s)) continue;
    BHSettingOptions setting{s.id, s.display_name, {}};
    for (const zqsim::OptionSpec& o : s.options) {
      if (zqsim::ModelOffers(model, o)) setting.options.emplace_back(o.value, o.name);
    }
    out.push_back(std::move(setting));
  }
  return out;
}

BHOptionIds getOptionIds(int /*model*/) {
  BHOptionIds out;
  for (const zqsim::SettingSpec& s : zqsim::Settings()) {
    for (const zqsim::OptionSpec& o : s.options) out[s.id].push_back(o.value);
  }
  return out;
}

BHCameraFilters getCameraFilters(int /*model*/) { return Rules(); }

std::map<uint32_t, std::string> getUIModeGroups(int model_number) {
  std::map<uint32_t, std::string> out;
  for (const zqsim::PresetGroupSpec& g :
       zqsim::PresetGroups(zqsim::ModelOrDefault(static_cast<uint8_t>(model_number)))) {
    out[g.id] = g.name;
  }
  return out;
}

const char* getOpenTavroVersion(int model_number) {
  // Models before the Open API have none.
  const zqsim::ModelSpec& model = zqsim::ModelOrDefault(static_cast<uint8_t>(model_number));
  if (model.number == 22) return nullptr;
  return model.tier >= 2 ? "2.0" : "1.0";
}

void update_camera_settings(const all_status_settings_t* record, int /*model*/,
                            std::vector<int32_t>& settings) {
  settings.assign(zqsim::kRecordSettingIds, 0);
  if (record == nullptr) return;
  for (int32_t id = 0; id < zqsim::kRecordSettingIds; ++id) {
    const uint8_t* p = record->settings.data + 2 * id;
    settings[static_cast<size_t>(id)] = static_cast<int16_t>(p[0] | p[1] << 8);
  }
}

void update_camera_status(const all_status_settings_t* record, int /*model*/,
                          std::vector<int32_t>& statuses) {
  statuses.assign(256, 0);
  if (record == nullptr) return;
  for (const zqsim::StatusField& f : zqsim::StatusFields()) {
    if (f.type == zqsim::StatusType::kDateTime) continue;
    uint32_t v = 0;
    for (uint8_t i = 0; i < f.width && i < 4; ++i)
      v |= static_cast<uint32_t>(record->status.data[f.offset + i]) << (8 * i);
    statuses[static_cast<size_t>(f.id)] = static_cast<int32_t>(v);
  }
}

void BlacklistHandler::storeCameraSettings(BHCameraOptions options) {
  options_ = std::move(options);
}
void BlacklistHandler::storeCameraOptions(BHOptionIds ids) { ids_ = std::move(ids); }
void BlacklistHandler::storeCameraFilters(BHCameraFilters filters) {
  filters_ = std::move(filters);
}

BlacklistResponse* BlacklistHandler::isBlacklisted(int32_t setting, int32_t option, bool verbose) {
  zqsim::FilterVerdict forced;
  if (Forced(setting, option, &forced)) {
    std::vector<std::shared_ptr<BHOption>> options;
    for (uint8_t i = 0; i < forced.option_count && i < zqsim::kFilterVerdictOptions; ++i) {
      const zqsim::FilterOption& o = forced.options[i];
      options.push_back(std::make_shared<BHOption>(
          o.id, std::string(o.name, strnlen(o.name, sizeof o.name)), o.valid != 0));
    }
    return new BlacklistResponse(forced.code, std::move(options));
  }

  const BHSettingOptions* s = nullptr;
  for (const BHSettingOptions& candidate : options_) {
    if (candidate.setting_id == setting) s = &candidate;
  }
  if (s == nullptr) return new BlacklistResponse(OPEN_TAVRO_SETTING_UNKNOWN, {});
  for (int32_t id : kBusyStatuses) {
    if (At(statuses_, id) != 0) return new BlacklistResponse(OPEN_TAVRO_SETTING_BLOCKED, {});
  }

  // An option passes when every rule about it holds for the current values.
  auto allowed = [&](int32_t value) {
    for (const BHFilterRule& r : filters_) {
      if (r.setting != setting || r.option != value) continue;
      bool ok = false;
      for (int32_t a : r.allowed) ok = ok || At(settings_, r.other) == a;
      if (!ok) return false;
    }
    return true;
  };
  bool offered = false;
  for (const auto& [value, name] : s->options) offered = offered || value == option;
  std::vector<std::shared_ptr<BHOption>> options;
  if (!offered) {
    if (verbose) {
      const auto known = ids_.find(setting);
      const bool exists =
          known != ids_.end() &&
          std::find(known->second.begin(), known->second.end(), option) != known->second.end();
      fprintf(stderr, "zqsim filter: setting %d has %s option %d\n", setting,
              exists ? "on this model no" : "no", option);
    }
    for (const auto& [value, name] : s->options)
      options.push_back(std::make_shared<BHOption>(value, name, true));
    return new BlacklistResponse(OPEN_TAVRO_OPTION_UNSUPPORTED, std::move(options));
  }
  if (allowed(option)) return new BlacklistResponse(OPEN_TAVRO_SETTING_OK, {});
  for (const auto& [value, name] : s->options)
    options.push_back(std::make_shared<BHOption>(value, name, allowed(value)));
  return new BlacklistResponse(OPEN_TAVRO_OPTION_UNAVAILABLE, std::move(options));
}
