#include "zqcontrol/zqPresetCommands.h"

#include <string>

#include "http/zqRequest.h"
#include "zqcommon/zqLog.h"
#include "zqcontrol/zqCameraCommands.h"
#include "zqpresets/zqPresets.h"

namespace {
// Longer than any value the preset operations accept, so that an overlong value reaches them
// whole and is refused there rather than read cut short.
constexpr size_t kValueMax = 64;
}  // namespace

int32_t handle_preset_commands(const char* name, const char* query,
                               std::optional<ZqAnswer>* answer) {
  set_csi_analytics_source_wifi();
  ZQ_LOG(ZQ_LOG_DEBUG, "handle presets params are: %s", query != nullptr ? query : "");
  const std::string_view text = query != nullptr ? query : "";
  const ZqPresetLookup lookup = [text](const char* key, std::string* value) {
    return zq_query_param(text, key, kValueMax, value) != ZqParam::kMissing;
  };
  ZqPresetAnswer preset;
  const int32_t result = zqpreset_commands(name, lookup, &preset);
  if (result == 0) {
    answer->emplace(ZqAnswer::Bytes(preset.status, preset.content_type, std::move(preset.body)));
  }
  return result;
}
