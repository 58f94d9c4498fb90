// The simulated control service's presets: named bundles of a flat mode and the values of its
// mode's settings, in preset groups (video, photo, time lapse). Each group starts with three
// or more predefined presets made for the camera model; up to kCustomPresetsPerGroup custom
// presets can be added to a group. The preset commands (70 to 83) take and answer serialised
// protobuf messages: requests and most replies of package zqcontrol.presets, and the preset
// status (command 81) as open_tavro.NotifyPresetStatus.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMPRESETS_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMPRESETS_H_

#include <cstdint>
#include <span>

namespace zqsim {

struct ModelSpec;
struct SimStateData;

struct PresetGroupSpec {
  uint32_t id;  // open_tavro.EnumPresetGroup number
  const char* name;
  uint32_t kind;  // 0 video, 1 photo, 2 time lapse
};

inline constexpr uint32_t kCustomPresetsPerGroup = 4;

// The preset groups of a model: 1000 to 1002 on one-lens models, the dual-lens groups 1003 to
// 1005 on spherical ones.
std::span<const PresetGroupSpec> PresetGroups(const ModelSpec& model);

// The camera mode and sub-mode that a flat mode records in; false when the camera has none.
bool FlatModeToMode(int32_t flat_mode, uint32_t* mode, uint32_t* sub_mode);

bool IsPresetCommand(uint32_t command);

// Carries out preset command `command` on the camera `d` (its presets are made for the
// model first when needed). Returns 0 with the reply in `response` (as far as `size` allows,
// the length in `*response_len`), ZQ_ERR_INVALID_PARAM for a request that does not parse or
// lacks a field, or ZQ_ERR_NAK when the camera refuses (unknown preset or group, recording,
// a predefined preset that cannot be removed, no edit in progress, ...).
int32_t PresetCommand(SimStateData& d, uint32_t command, const uint8_t* param, uint32_t param_len,
                      void* response, uint32_t size, uint16_t* response_len);

// Command 67 with a preset group id: the group's mode, with the preset of the group loaded
// last (its first preset when none was). ZQ_ERR_NAK for a group the model does not have.
int32_t PresetSetGroup(SimStateData& d, uint32_t group);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMPRESETS_H_
