// Preset commands of the control interface ("/zq/zqControl/preset/<name>"): they turn a request
// into a preset request of the control service and answer with what the service returns.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQPRESETCOMMANDS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQPRESETCOMMANDS_H_

#include <cstdint>
#include <optional>

#include "http/zqAnswer.h"

// Runs the preset command `name` ("load", "get_presets", ...) with the query `query` (null for
// none), the control-service interface open. 0 with its answer in `*answer` (the service's
// failures included); -1 for an unknown name and -3 for a missing, negative or unreadable
// parameter, with nothing sent: the dispatcher then answers the failure.
int32_t handle_preset_commands(const char* name, const char* query,
                               std::optional<ZqAnswer>* answer);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQPRESETCOMMANDS_H_
