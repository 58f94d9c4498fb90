// The control URI registry: which command handler serves a control path ("command/shutter",
// "status", ...). It holds the default table (68 paths) and the custom table (20 paths) of
// the control interface, in their registration order.
//
// The tables are fixed in the program, so the registry is filled once, at the first control
// request, and kept: a request then costs one lookup, not a rebuild. All calls run under
// g_accessMutex (core/zqLocks.h), which the dispatcher holds for the whole request.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROLURI_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROLURI_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/zqLocks.h"
#include "http/zqAnswer.h"
#include "http/zqRequest.h"

// A command handler: the parameter text, the response buffer and its size; 0 or a negative
// ZQ_ERR_* code (zqCameraCommands.h).
using ZqcCommandHandler = int32_t (*)(const char* params, char* response, uint16_t response_size);
// A command that makes its own answer (a file, a stream): the parameter text and the request.
using ZqcAnswerCommand = ZqAnswer (*)(const char* params, ZqRequest& request);
// A pre-step runs before the handler (non-zero: the handler is skipped and this is the
// status); a post-step runs after it, also when the pre-step failed.
using ZqcPreStep = int32_t (*)();
using ZqcPostStep = void (*)();

// A record has a handler or, for a command that answers itself, an answer command.
struct ZqcUriRecord {
  ZqcCommandHandler handler;
  ZqcPreStep pre;           // may be nullptr
  ZqcPostStep post;         // may be nullptr
  ZqcAnswerCommand answer;  // nullptr for an ordinary command
};

struct ZqcUriRow {
  const char* path;
  ZqcUriRecord record;
};

// The fixed tables, in registration order.
std::span<const ZqcUriRow> zqcontrol_default_handlers();
std::span<const ZqcUriRow> zqcontrol_custom_handlers();

// Opens the control service, then makes sure the default table is registered. On failure
// logs, closes what it opened and returns the status.
int32_t zqcontrol_uri_interface_open() REQUIRES(g_accessMutex);

// Closes the control service; returns the close status. The registry is kept.
int32_t zqcontrol_uri_interface_close();

// Registers the custom table unless it is registered. On failure `*row` is the 1-based row
// that failed and the status is returned.
int32_t add_custom_handlers(int* row) REQUIRES(g_accessMutex);

// Adds one record. A path already present prints "Handler already exists for key [%s]" on
// standard error and returns -1.
int32_t zqcontrol_uri_add_handler(const char* path, const ZqcUriRecord& record)
    REQUIRES(g_accessMutex);

// Empties the registry (the tables are registered again by the next open).
void remove_all_handlers() REQUIRES(g_accessMutex);

// The record of `path`, or nullptr.
const ZqcUriRecord* zqcontrol_uri_find(std::string_view path) REQUIRES(g_accessMutex);

// Looks `path` up and runs its record with `params`. A path that is not registered but starts
// with "setting" runs the setting handler with the rest of the path after "setting". Returns
// ZQ_ERR_NOT_SUPPORTED for an unknown path or a command that answers itself, else the status
// of the pre-step or handler.
int32_t zqcontrol_uri_handle_uri_param(const char* path, const char* params, char* response,
                                       uint16_t response_size) REQUIRES(g_accessMutex);

// Runs the command that answers itself at `path` (its pre-step, the answer command, its
// post-step) into `*answer`. False when `path` names no such command; a failed pre-step
// leaves `*answer` empty and its status in `*status`.
bool zqcontrol_uri_answer(const char* path, const char* params, ZqRequest& request,
                          std::optional<ZqAnswer>* answer, int32_t* status) REQUIRES(g_accessMutex);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROLURI_H_
