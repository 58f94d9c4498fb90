// Preset commands of the control interface ("/zq/zqControl/preset/<name>"): they turn a request
// into a preset request of the control service and answer it themselves.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQPRESETCOMMANDS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQPRESETCOMMANDS_H_

#include <cstdint>

struct mg_connection;

// Runs the preset command `name` with the query `query`. 0 when it has answered the request;
// otherwise nothing is written and the dispatcher answers the failure. Until presets are
// built every command gives ZQ_ERR_NOT_SUPPORTED.
int32_t handle_preset_commands(mg_connection* conn, const char* name, const char* query);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQPRESETCOMMANDS_H_
