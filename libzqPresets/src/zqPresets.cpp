#include "zqpresets/zqPresets.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "zqControlCommands/zqControl_presets.pb.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqLog.h"
#include "zqproto/zqProtoJson.h"

namespace {

namespace zp = zqcontrol::presets;

// What differs between the operations.
struct Operation {
  uint32_t command;
  const char* entry_log;    // the debug line on entry
  const char* name;         // the operation's name in error bodies
  uint32_t reply_capacity;  // 0: the command has no reply
  const char* error_type;   // content type of error answers
};

constexpr Operation kListGroups = {ZQCONTROL_PRESET_LIST_GROUPS, "inside list groups",
                                   "ZQCONTROL_PRESET_LIST_GROUPS", 1500, kZqPresetOctetStream};
constexpr Operation kListIds = {ZQCONTROL_PRESET_LIST_IDS, "inside list ids",
                                "ZQCONTROL_PRESET_LIST_IDS", 1500, kZqPresetOctetStream};
constexpr Operation kGetInfo = {ZQCONTROL_PRESET_GET_INFO, "inside get info", "PRESET_GET_INFO",
                                1500, kZqPresetOctetStream};
constexpr Operation kCustomCreate = {ZQCONTROL_PRESET_CUSTOM_CREATE, "inside custom create",
                                     "ZQCONTROL_PRESET_CUSTOM_CREATE", 1500, kZqPresetOctetStream};
constexpr Operation kCustomRemove = {ZQCONTROL_PRESET_CUSTOM_REMOVE, "inside custom remove",
                                     "ZQCONTROL_PRESET_CUSTOM_REMOVE", 0, kZqPresetOctetStream};
constexpr Operation kSetOrder = {ZQCONTROL_PRESET_SET_ORDER, "inside set order",
                                 "ZQCONTROL_PRESET_SET_ORDER", 0, kZqPresetOctetStream};
constexpr Operation kEditStart = {ZQCONTROL_PRESET_EDIT_START, "inside edit start",
                                  "ZQCONTROL_PRESET_EDIT_START", 0, kZqPresetOctetStream};
constexpr Operation kEditCancel = {ZQCONTROL_PRESET_EDIT_CANCEL, "inside edit cancel",
                                   "ZQCONTROL_PRESET_EDIT_CANCEL", 0, kZqPresetOctetStream};
constexpr Operation kEditStore = {ZQCONTROL_PRESET_EDIT_STORE, "inside edit store",
                                  "ZQCONTROL_PRESET_EDIT_STORE", 0, kZqPresetOctetStream};
constexpr Operation kFactoryReset = {ZQCONTROL_PRESET_FACTORY_RESET, "inside factory reset",
                                     "ZQCONTROL_PRESET_FACTORY_RESET", 0, kZqPresetJson};
constexpr Operation kGetPresets = {ZQCONTROL_PRESET_GET_PRESETS, "inside get_presets",
                                   "ZQCONTROL_PRESET_GET_PRESETS", 10000, kZqPresetOctetStream};
constexpr Operation kSwitchFlatmode = {ZQCONTROL_PRESET_SWITCH_FLATMODE, "inside switch flatmode",
                                       "ZQCONTROL_PRESET_SWITCH_FLATMODE", 0, kZqPresetJson};
constexpr Operation kSetTitleIcon = {ZQCONTROL_PRESET_SET_TITLE_ICON, "inside set title icon",
                                     "ZQCONTROL_PRESET_SET_TITLE_ICON", 0, kZqPresetJson};

std::string Message(const Operation& op, const std::string& text) {
  return std::string("{ \"message\": \"") + op.name + text + "\" }";
}

// The result of sending one command.
struct Sent {
  bool ok = false;  // sent, and the reply is there when one is expected
  int32_t result = 0;
  uint16_t length = 0;
  std::string reply;
  ZqPresetAnswer failure;  // the answer when !ok
};

// The operation template: encode the request (when there is one), send, check.
Sent Send(const Operation& op, const google::protobuf::MessageLite* request) {
  ZQ_LOG(ZQ_LOG_DEBUG, "%s", op.entry_log);
  Sent s;
  std::string param;
  if (request != nullptr && !request->SerializeToString(&param)) {
    ZQ_LOG(ZQ_LOG_ERROR, "failed to encode protobuf");
    s.failure = {500, op.error_type, Message(op, " failed to encode protobuf")};
    return s;
  }
  std::vector<uint8_t> reply(op.reply_capacity);
  s.result = zqcontrol_send_command_param_response_ex(
      op.command, param.empty() ? nullptr : param.data(), static_cast<uint32_t>(param.size()),
      reply.empty() ? nullptr : reply.data(), op.reply_capacity, &s.length);
  if (op.reply_capacity == 0) {
    s.ok = s.result == ZQ_OK;
    if (!s.ok) {
      ZQ_LOG(ZQ_LOG_ERROR, "zqcontrol returned BAD, err=%d", s.result);
      s.failure = {500, op.error_type,
                   Message(op, " return failed with err " + std::to_string(s.result))};
    }
    return s;
  }
  // A reply longer than the buffer was cut by the service: what arrived is what fits.
  const uint16_t length = static_cast<uint16_t>(std::min<uint32_t>(s.length, op.reply_capacity));
  s.ok = s.result == ZQ_OK && length > 0;
  if (!s.ok) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqcontrol returned BAD, err=%d and length=%d", s.result, s.length);
    s.failure = {500, op.error_type,
                 Message(op, " return size:" + std::to_string(s.length) + ", failed with err " +
                                 std::to_string(s.result))};
    return s;
  }
  s.reply.assign(reinterpret_cast<const char*>(reply.data()), length);
  return s;
}

// Operations whose answer is the reply as it came, or an empty body.
ZqPresetAnswer Passed(const Operation& op, const google::protobuf::MessageLite* request) {
  Sent s = Send(op, request);
  if (!s.ok) return s.failure;
  return {200, kZqPresetOctetStream, std::move(s.reply)};
}

}  // namespace

ZqPresetAnswer handle_preset_list_groups() { return Passed(kListGroups, nullptr); }

ZqPresetAnswer handle_preset_list_ids(uint32_t group) {
  zp::ZQC_Preset_List_Req req;
  req.set_group_id(group);
  return Passed(kListIds, &req);
}

ZqPresetAnswer handle_preset_get_info(uint32_t id) {
  zp::ZQC_Preset_Info_Req req;
  req.set_preset_id(id);
  return Passed(kGetInfo, &req);
}

ZqPresetAnswer handle_preset_custom_create(uint32_t group, uint32_t flat_mode, uint32_t icon,
                                           uint32_t name, uint32_t number) {
  zp::ZQC_Preset_Custom_Create_Req req;
  req.set_group_id(group);
  req.set_flat_mode(flat_mode);
  req.set_preset_icon(icon);
  req.set_preset_name(name);
  req.set_preset_name_iterator(number);
  return Passed(kCustomCreate, &req);
}

ZqPresetAnswer handle_preset_custom_remove(uint32_t id) {
  zp::ZQC_Preset_Custom_Remove_Req req;
  req.set_preset_id(id);
  return Passed(kCustomRemove, &req);
}

ZqPresetAnswer handle_preset_set_order(uint32_t id, uint32_t position) {
  zp::ZQC_Preset_Set_Order_Req req;
  req.set_preset_id(id);
  req.set_order(position);
  return Passed(kSetOrder, &req);
}

ZqPresetAnswer handle_preset_load(uint32_t id, bool json) {
  zp::ZQC_Preset_Load_Req req;
  req.set_preset_id(id);
  ZQ_LOG(ZQ_LOG_DEBUG, "inside load preset");
  std::string param;
  const char* type = json ? kZqPresetJson : kZqPresetOctetStream;
  // The load answers "{}" for every failure, in the type of its success.
  if (!req.SerializeToString(&param)) {
    ZQ_LOG(ZQ_LOG_ERROR, "failed to encode protobuf");
    return {500, type, "{}"};
  }
  const int32_t result = zqcontrol_send_command_param_response_ex(
      ZQCONTROL_PRESET_LOAD, param.data(), static_cast<uint32_t>(param.size()), nullptr, 0,
      nullptr);
  if (result != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqcontrol returned BAD, err=%d", result);
    return {500, type, "{}"};
  }
  return {200, type, json ? "{}" : ""};
}

ZqPresetAnswer handle_preset_edit_start(uint32_t id) {
  zp::ZQC_Preset_Edit_Start_Req req;
  req.set_preset_id(id);
  return Passed(kEditStart, &req);
}

ZqPresetAnswer handle_preset_edit_cancel() { return Passed(kEditCancel, nullptr); }
ZqPresetAnswer handle_preset_edit_store() { return Passed(kEditStore, nullptr); }

ZqPresetAnswer handle_preset_factory_reset(uint32_t id) {
  zp::ZQC_Preset_Factory_Reset_Req req;
  req.set_preset_id(id);
  return Passed(kFactoryReset, &req);
}

ZqPresetAnswer handle_preset_get_presets(bool json) {
  Sent s = Send(kGetPresets, nullptr);
  if (!s.ok) return s.failure;
  ZQ_LOG(ZQ_LOG_DEBUG, "zqcontrol returned ok");
  if (!json) return {200, kZqPresetOctetStream, std::move(s.reply)};
  ZqProtoJsonAnswer j = zqproto_preset_status_json(s.reply.data(), s.reply.size());
  return {j.status, kZqPresetJson, std::move(j.body)};
}

ZqPresetAnswer handle_preset_switch_flatmode(uint32_t flat_mode) {
  zp::ZQC_Preset_Switch_Flatmode_Req req;
  req.set_flat_mode(flat_mode);
  return Passed(kSwitchFlatmode, &req);
}

ZqPresetAnswer handle_preset_set_title_icon(int64_t name, int64_t icon) {
  zp::ZQC_Preset_Set_Title_Icon_Req req;
  if (name >= 0) req.set_preset_name(static_cast<uint32_t>(name));
  if (icon >= 0) req.set_preset_icon(static_cast<uint32_t>(icon));
  return Passed(kSetTitleIcon, &req);
}

namespace {

// A query variable as a number: absent is -1. A value that is no decimal number of at most 31
// characters (the camera reads them into 32-byte buffers), or lies outside -2^31 and 2^32 - 1,
// is bad.
struct Number {
  int64_t value = -1;
  bool bad = false;
};

Number Variable(const ZqPresetLookup& lookup, const char* key) {
  Number n;
  std::string text;
  if (!lookup(key, &text)) return n;
  char* end = nullptr;
  errno = 0;
  const long long v = strtoll(text.c_str(), &end, 10);
  if (text.empty() || text.size() > 31 || errno != 0 || *end != '\0' || v < INT32_MIN ||
      v > UINT32_MAX) {
    n.bad = true;
    return n;
  }
  n.value = v;
  return n;
}

// Required parameters: present, well-formed and not negative.
bool Required(std::initializer_list<Number> numbers) {
  for (const Number& n : numbers) {
    if (n.bad || n.value < 0) return false;
  }
  return true;
}

uint32_t U32(const Number& n) { return static_cast<uint32_t>(n.value); }
long long Log(const Number& n) { return static_cast<long long>(n.value); }

}  // namespace

int32_t zqpreset_commands(std::string_view name, const ZqPresetLookup& lookup,
                          ZqPresetAnswer* answer) {
  const Number id = Variable(lookup, "id");
  const Number group = Variable(lookup, "group_id");
  if (name == "get_presets") {
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------get presets called");
    *answer = handle_preset_get_presets(false);
  } else if (name == "reset") {
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------factory reset preset called %lld", Log(id));
    if (!Required({id})) return ZQ_ERR_INVALID_PARAM;
    *answer = handle_preset_factory_reset(U32(id));
  } else if (name == "edit_store") {
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------edit store called");
    *answer = handle_preset_edit_store();
  } else if (name == "edit_cancel") {
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------edit cancel called");
    *answer = handle_preset_edit_cancel();
  } else if (name == "edit_start") {
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------edit start called %lld", Log(id));
    if (!Required({id})) return ZQ_ERR_INVALID_PARAM;
    *answer = handle_preset_edit_start(U32(id));
  } else if (name == "load") {
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------load preset called %lld", Log(id));
    if (!Required({id})) return ZQ_ERR_INVALID_PARAM;
    *answer = handle_preset_load(U32(id), false);
  } else if (name == "set_order") {
    const Number pos = Variable(lookup, "pos");
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------set order called %lld %lld", Log(id), Log(pos));
    if (!Required({id, pos})) return ZQ_ERR_INVALID_PARAM;
    *answer = handle_preset_set_order(U32(id), U32(pos));
  } else if (name == "remove") {
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------remove preset called %lld", Log(id));
    if (!Required({id})) return ZQ_ERR_INVALID_PARAM;
    *answer = handle_preset_custom_remove(U32(id));
  } else if (name == "create") {
    const Number fmode = Variable(lookup, "fmode"), icon = Variable(lookup, "icon"),
                 title = Variable(lookup, "name"), num = Variable(lookup, "num");
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------create preset called %lld", Log(group));
    if (!Required({group, fmode, icon, title}) || num.bad) return ZQ_ERR_INVALID_PARAM;
    // An absent (or negative) number lets the camera choose: it travels as 4294967295.
    *answer = handle_preset_custom_create(U32(group), U32(fmode), U32(icon), U32(title),
                                          num.value < 0 ? UINT32_MAX : U32(num));
  } else if (name == "get_info") {
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------get info called %lld", Log(id));
    if (!Required({id})) return ZQ_ERR_INVALID_PARAM;
    *answer = handle_preset_get_info(U32(id));
  } else if (name == "list_presets") {
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------list presets called %lld", Log(group));
    if (!Required({group})) return ZQ_ERR_INVALID_PARAM;
    *answer = handle_preset_list_ids(U32(group));
  } else if (name == "list_groups") {
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------list groups called");
    *answer = handle_preset_list_groups();
  } else if (name == "switch_flatmode") {
    const Number fmode = Variable(lookup, "fmode");
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------switch flatmode called %lld", Log(fmode));
    if (!Required({fmode})) return ZQ_ERR_INVALID_PARAM;
    *answer = handle_preset_switch_flatmode(U32(fmode));
  } else if (name == "set_title_icon") {
    const Number icon = Variable(lookup, "icon"), title = Variable(lookup, "name");
    ZQ_LOG(ZQ_LOG_DEBUG, "--------------------set title icon called %lld %lld", Log(title),
           Log(icon));
    if (icon.bad || title.bad || (icon.value < 0 && title.value < 0)) return ZQ_ERR_INVALID_PARAM;
    *answer = handle_preset_set_title_icon(title.value, icon.value);
  } else {
    return ZQ_ERR;
  }
  return ZQ_OK;
}
