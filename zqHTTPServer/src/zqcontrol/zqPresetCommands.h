// Preset commands of the control interface ("/zq/zqControl/preset/<name>"): they turn a request
// into a preset request of the control service and answer with what the service returns.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQPRESETCOMMANDS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQPRESETCOMMANDS_H_

#include <cstdint>
#include <optional>

#include "http/zqAnswer.h"

// Runs the preset command `name` with the query `query`. 0 with its answer in `*answer`;
// otherwise the dispatcher answers the failure. Until presets are built every command gives
// ZQ_ERR_NOT_SUPPORTED.
int32_t handle_preset_commands(const char* name, const char* query,
                               std::optional<ZqAnswer>* answer);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQPRESETCOMMANDS_H_
