// Contract of the camera's settings-filter library: which option of a setting the camera takes
// now, and when it does not, why and what it would take instead.
//
// A BlacklistHandler is loaded once for a camera model (its settings with their options, the
// option ids, the filter rules), then refreshed from the control service's status record
// before each question. It is not thread-safe: one caller at a time per object.
#ifndef ZQ_PLATFORM_INCLUDE_ZQBLACKLISTHANDLER_H_
#define ZQ_PLATFORM_INCLUDE_ZQBLACKLISTHANDLER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zqCtrlD.h"

// Verdict of isBlacklisted, as BlacklistResponse::getErrCode() gives it.
enum OpenTavroSettingResponseErr : int32_t {
  OPEN_TAVRO_SETTING_OK = 0,          // the option may be set
  OPEN_TAVRO_SETTING_BLOCKED = 1,     // no option of any setting may be set now (busy camera)
  OPEN_TAVRO_SETTING_UNKNOWN = 2,     // the model has no such setting
  OPEN_TAVRO_OPTION_UNAVAILABLE = 3,  // the current settings exclude the option; getOptions()
                                      // lists the setting's options, valid when available now
  OPEN_TAVRO_OPTION_UNSUPPORTED = 4,  // the model does not offer the option; getOptions()
                                      // lists the options it offers
};

// One option of a setting in a verdict.
class BHOption {
 public:
  BHOption(int32_t id, std::string name, bool valid)
      : id_(id), name_(std::move(name)), valid_(valid) {}
  int32_t getId() const { return id_; }                 // the option's value
  const std::string& getName() const { return name_; }  // its display name
  bool isValid() const { return valid_; }

 private:
  int32_t id_;
  std::string name_;
  bool valid_;
};

// The answer to one question. Owned by the caller of isBlacklisted.
class BlacklistResponse {
 public:
  BlacklistResponse(int32_t code, std::vector<std::shared_ptr<BHOption>> options)
      : code_(code), options_(std::move(options)) {}
  int32_t getErrCode() const { return code_; }
  const std::vector<std::shared_ptr<BHOption>>& getOptions() const { return options_; }

 private:
  int32_t code_;
  std::vector<std::shared_ptr<BHOption>> options_;
};

// A setting of a model with the options the model offers (value, display name), in order.
struct BHSettingOptions {
  int32_t setting_id;
  std::string name;
  std::vector<std::pair<int32_t, std::string>> options;
};
using BHCameraOptions = std::vector<BHSettingOptions>;

// Every option value each setting knows on any model, by setting id: an option outside this
// list is no option of the setting at all.
using BHOptionIds = std::map<int32_t, std::vector<int32_t>>;

// A filter rule: `option` of `setting` may be set only while `other` holds one of `allowed`.
struct BHFilterRule {
  int32_t setting;
  int32_t option;
  int32_t other;
  std::vector<int32_t> allowed;
};
using BHCameraFilters = std::vector<BHFilterRule>;

// The tables of a model (any number; an unknown model gets the tables of model 57).
BHCameraOptions getCameraOptions(int model);
BHOptionIds getOptionIds(int model);
BHCameraFilters getCameraFilters(int model);

// Preset (mode) groups of a model shown to the user: group id to name.
std::map<uint32_t, std::string> getUIModeGroups(int model);

// The Open API version of a model, or nullptr when the model has none.
const char* getOpenTavroVersion(int model);

// Current values from a status record (ZQCONTROL_STATUS): the settings by id, and the
// camera status values by id, into vectors indexed by id (missing ids read 0).
void update_camera_settings(const all_status_settings_t* record, int model,
                            std::vector<int32_t>& settings);
void update_camera_status(const all_status_settings_t* record, int model,
                          std::vector<int32_t>& statuses);

class BlacklistHandler {
 public:
  BlacklistHandler() = default;
  virtual ~BlacklistHandler() = default;
  BlacklistHandler(const BlacklistHandler&) = delete;
  BlacklistHandler& operator=(const BlacklistHandler&) = delete;

  void storeCameraSettings(BHCameraOptions options);
  void storeCameraOptions(BHOptionIds ids);
  void storeCameraFilters(BHCameraFilters filters);

  // The current values the verdicts are made against; refresh them with update_camera_*.
  std::vector<int32_t>& getSettingsState() { return settings_; }
  std::vector<int32_t>& getStatusesState() { return statuses_; }

  // Whether `option` of `setting` is refused now. `verbose` asks for log lines. The caller
  // owns the result (never null).
  BlacklistResponse* isBlacklisted(int32_t setting, int32_t option, bool verbose);

 private:
  BHCameraOptions options_;
  BHOptionIds ids_;
  BHCameraFilters filters_;
  std::vector<int32_t> settings_;
  std::vector<int32_t> statuses_;
};

#endif  // ZQ_PLATFORM_INCLUDE_ZQBLACKLISTHANDLER_H_
