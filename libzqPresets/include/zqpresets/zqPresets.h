// The camera's preset operations, shared by the control API's preset commands and the Open
// API's presets endpoints.
//
// Each operation is one control-service command (70 to 83) whose parameters are a serialised
// request of package zqcontrol.presets (an unset optional field is absent). Its answer is
// made here, as a value: the control service's reply passed through unchanged, an empty body,
// the preset status as JSON (open_tavro.NotifyPresetStatus through protobuf's JSON mapping),
// or an error body naming the operation. The caller writes it, and has the control-service
// interface open around the call.
//
// Operations keep no state; like the control service, they are meant to be called one at a
// time (the callers serialise their requests).
#ifndef ZQ_LIBZQPRESETS_INCLUDE_ZQPRESETS_ZQPRESETS_H_
#define ZQ_LIBZQPRESETS_INCLUDE_ZQPRESETS_ZQPRESETS_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

inline constexpr char kZqPresetOctetStream[] = "application/octet-stream";
inline constexpr char kZqPresetJson[] = "application/json";

// An answer: status 200 or 500, content type, body bytes (possibly empty).
struct ZqPresetAnswer {
  int status = 500;
  const char* content_type = kZqPresetOctetStream;
  std::string body;
};

ZqPresetAnswer handle_preset_list_groups();             // 70, reply passed through
ZqPresetAnswer handle_preset_list_ids(uint32_t group);  // 71, reply passed through
ZqPresetAnswer handle_preset_get_info(uint32_t id);     // 72, reply passed through
ZqPresetAnswer handle_preset_custom_create(uint32_t group, uint32_t flat_mode, uint32_t icon,
                                           uint32_t name, uint32_t number);  // 73, reply
ZqPresetAnswer handle_preset_custom_remove(uint32_t id);                     // 74
ZqPresetAnswer handle_preset_set_order(uint32_t id, uint32_t position);      // 75
// 76: with `json` (the Open API) 200 "{}" or 500 "{}" as application/json.
ZqPresetAnswer handle_preset_load(uint32_t id, bool json);
ZqPresetAnswer handle_preset_edit_start(uint32_t id);     // 77
ZqPresetAnswer handle_preset_edit_cancel();               // 78
ZqPresetAnswer handle_preset_edit_store();                // 79
ZqPresetAnswer handle_preset_factory_reset(uint32_t id);  // 80
// 81: with `json` the reply as JSON (500 "{}" when it does not convert), else the reply.
ZqPresetAnswer handle_preset_get_presets(bool json);
ZqPresetAnswer handle_preset_switch_flatmode(uint32_t flat_mode);  // 82
// 83: a negative `name` or `icon` leaves that field out of the request.
ZqPresetAnswer handle_preset_set_title_icon(int64_t name, int64_t icon);

// The value of query variable `key` (decoded) in `*value`; false when absent.
using ZqPresetLookup = std::function<bool(const char* key, std::string* value)>;

// The control API's preset command `name` ("load", "get_presets", ...), its parameters read
// through `lookup` ("id", "group_id", "pos", "fmode", "icon", "name", "num": decimal numbers;
// absent counts as -1). Returns 0 with `*answer` filled (errors of the command included), -1
// for an unknown name, -3 when a required parameter is missing or negative, or a value is no
// decimal number of at most 31 characters (nothing is sent then).
int32_t zqpreset_commands(std::string_view name, const ZqPresetLookup& lookup,
                          ZqPresetAnswer* answer);

#endif  // ZQ_LIBZQPRESETS_INCLUDE_ZQPRESETS_ZQPRESETS_H_
