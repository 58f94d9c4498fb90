#include "zqcontrol/zqPresetCommands.h"

#include "zqcommon/zqErrors.h"

int32_t handle_preset_commands(mg_connection*, const char*, const char*) {
  return ZQ_ERR_NOT_SUPPORTED;
}
