#include "zqcontrol/zqPresetCommands.h"

#include "zqcommon/zqErrors.h"

int32_t handle_preset_commands(const char*, const char*, std::optional<ZqAnswer>*) {
  return ZQ_ERR_NOT_SUPPORTED;
}
