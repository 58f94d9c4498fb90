#include "zqsim/SimPresets.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "opentavro/preset_status.pb.h"
#include "zqControlCommands/zqControl_presets.pb.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqsim/SimCamera.h"
#include "zqsim/SimControl.h"
#include "zqsim/SimState.h"

namespace zqsim {
namespace {

namespace ot = open_tavro;
namespace zp = zqcontrol::presets;

constexpr PresetGroupSpec kOneLensGroups[] = {
    {ot::PRESET_GROUP_ID_VIDEO, "Video", 0},
    {ot::PRESET_GROUP_ID_PHOTO, "Photo", 1},
    {ot::PRESET_GROUP_ID_TIMELAPSE, "Time Lapse", 2},
};
constexpr PresetGroupSpec kTwoLensGroups[] = {
    {ot::PRESET_GROUP_ID_VIDEO_DUAL_LENS, "Video", 0},
    {ot::PRESET_GROUP_ID_PHOTO_DUAL_LENS, "Photo", 1},
    {ot::PRESET_GROUP_ID_TIMELAPSE_DUAL_LENS, "Time Lapse", 2},
};

// Flat modes a group's presets may use, by group kind.
bool FlatModeInKind(int32_t flat, uint32_t kind) {
  static const std::vector<int32_t> kKinds[] = {
      {ot::FLAT_MODE_VIDEO, ot::FLAT_MODE_LOOPING, ot::FLAT_MODE_SLOMO},
      {ot::FLAT_MODE_PHOTO_SINGLE, ot::FLAT_MODE_PHOTO, ot::FLAT_MODE_PHOTO_NIGHT,
       ot::FLAT_MODE_PHOTO_BURST, ot::FLAT_MODE_LIVE_BURST},
      {ot::FLAT_MODE_TIME_LAPSE_VIDEO, ot::FLAT_MODE_TIME_LAPSE_PHOTO,
       ot::FLAT_MODE_NIGHT_LAPSE_PHOTO, ot::FLAT_MODE_TIME_WARP_VIDEO,
       ot::FLAT_MODE_NIGHT_LAPSE_VIDEO, ot::FLAT_MODE_VIDEO_STAR_TRAIL,
       ot::FLAT_MODE_VIDEO_LIGHT_PAINTING, ot::FLAT_MODE_VIDEO_LIGHT_TRAIL},
  };
  return kind < 3 &&
         std::find(kKinds[kind].begin(), kKinds[kind].end(), flat) != kKinds[kind].end();
}

// A predefined preset: its look and the settings it changes from their defaults.
struct PresetValue {
  int32_t setting;
  int32_t value;
};
struct PredefinedSpec {
  uint32_t kind;
  int32_t flat_mode;
  uint32_t title;
  uint32_t icon;
  std::vector<PresetValue> values;
};

const std::vector<PredefinedSpec>& Predefined() {
  static const std::vector<PredefinedSpec> kPresets = {
      {0,
       ot::FLAT_MODE_VIDEO,
       ot::PRESET_TITLE_STANDARD,
       ot::PRESET_ICON_VIDEO,
       {{2, 1}, {3, 5}, {4, 0}, {5, 1}}},
      {0,
       ot::FLAT_MODE_VIDEO,
       ot::PRESET_TITLE_ACTIVITY,
       ot::PRESET_ICON_ACTIVITY,
       {{2, 4}, {3, 1}, {4, 3}, {5, 2}}},
      {0,
       ot::FLAT_MODE_VIDEO,
       ot::PRESET_TITLE_CINEMATIC,
       ot::PRESET_ICON_CINEMATIC,
       {{2, 18}, {3, 10}, {4, 4}, {5, 1}, {7, 2}}},
      {0,
       ot::FLAT_MODE_LOOPING,
       ot::PRESET_TITLE_LOOPING,
       ot::PRESET_ICON_LOOPING,
       {{2, 9}, {3, 8}}},
      {1, ot::FLAT_MODE_PHOTO, ot::PRESET_TITLE_PHOTO, ot::PRESET_ICON_PHOTO, {{13, 2}, {14, 0}}},
      {1,
       ot::FLAT_MODE_PHOTO_NIGHT,
       ot::PRESET_TITLE_NIGHT,
       ot::PRESET_ICON_PHOTO_NIGHT,
       {{13, 0}, {9, 0}}},
      {1, ot::FLAT_MODE_PHOTO_BURST, ot::PRESET_TITLE_BURST, ot::PRESET_ICON_BURST, {{16, 2}}},
      {2,
       ot::FLAT_MODE_TIME_WARP_VIDEO,
       ot::PRESET_TITLE_TIME_WARP,
       ot::PRESET_ICON_TIMEWARP,
       {{2, 1}, {25, 0}}},
      {2,
       ot::FLAT_MODE_TIME_LAPSE_VIDEO,
       ot::PRESET_TITLE_TIME_LAPSE,
       ot::PRESET_ICON_TIMELAPSE,
       {{15, 1}, {2, 1}}},
      {2,
       ot::FLAT_MODE_NIGHT_LAPSE_VIDEO,
       ot::PRESET_TITLE_NIGHT_LAPSE,
       ot::PRESET_ICON_NIGHTLAPSE,
       {{15, 3}, {26, 0}}},
  };
  return kPresets;
}

// Predefined presets of group kind k have ids k * 65536 + n; custom presets count up from
// kFirstCustomId.
constexpr uint32_t kFirstCustomId = 0x1000;

const ModelSpec& Model(const SimStateData& d) { return ModelOrDefault(d.identity.model_number); }

const PresetGroupSpec* FindGroup(const ModelSpec& model, uint32_t id) {
  for (const PresetGroupSpec& g : PresetGroups(model)) {
    if (g.id == id) return &g;
  }
  return nullptr;
}

// The settings a preset of `flat_mode` keeps: those of the mode it records in that the model
// has, in display order.
void FillSettings(const ModelSpec& model, int32_t flat_mode, SimPreset* p) {
  uint32_t mode = 0, sub = 0;
  FlatModeToMode(flat_mode, &mode, &sub);
  p->setting_count = 0;
  for (int32_t id : Modes()[mode].settings) {
    const SettingSpec* s = FindSetting(id);
    if (s == nullptr || !ModelHasSetting(model, *s) || p->setting_count == kPresetSettings)
      continue;
    p->setting_ids[p->setting_count] = id;
    p->values[p->setting_count] = s->default_value;
    ++p->setting_count;
  }
}

void MakePresets(SimStateData& d) {
  PresetStore& store = d.presets;
  memset(&store, 0, sizeof store);
  const ModelSpec& model = Model(d);
  store.model = model.number;
  store.made = 1;
  store.current = kNoPreset;
  store.editing = kNoPreset;
  store.next_id = kFirstCustomId;
  for (uint32_t& last : store.group_last) last = kNoPreset;
  uint32_t slot = 0;
  uint32_t count[3] = {};
  for (const PredefinedSpec& def : Predefined()) {
    const PresetGroupSpec& group = PresetGroups(model)[def.kind];
    SimPreset& p = store.presets[slot++];
    p.id = def.kind * 65536 + count[def.kind];
    p.order = count[def.kind]++;
    p.group = group.id;
    p.flat_mode = def.flat_mode;
    p.title = def.title;
    p.icon = def.icon;
    p.predefined = 1;
    FillSettings(model, def.flat_mode, &p);
    for (const PresetValue& v : def.values) {
      for (uint8_t i = 0; i < p.setting_count; ++i) {
        // A value the model does not offer keeps the default.
        if (p.setting_ids[i] == v.setting && SettingAccepts(model, v.setting, v.value))
          p.values[i] = v.value;
      }
    }
    memcpy(p.factory, p.values, sizeof p.values);
  }
}

PresetStore& Store(SimStateData& d) {
  if (!d.presets.made || d.presets.model != Model(d).number) MakePresets(d);
  return d.presets;
}

SimPreset* Find(PresetStore& store, uint32_t id) {
  for (SimPreset& p : store.presets) {
    if (p.group != 0 && p.id == id) return &p;
  }
  return nullptr;
}

// The presets of a group in their order.
std::vector<SimPreset*> InGroup(PresetStore& store, uint32_t group) {
  std::vector<SimPreset*> out;
  for (SimPreset& p : store.presets) {
    if (p.group == group) out.push_back(&p);
  }
  std::sort(out.begin(), out.end(),
            [](const SimPreset* a, const SimPreset* b) { return a->order < b->order; });
  return out;
}

void Renumber(PresetStore& store, uint32_t group) {
  uint32_t n = 0;
  for (SimPreset* p : InGroup(store, group)) p->order = n++;
}

uint32_t KindOf(const SimStateData& d, uint32_t group) {
  const PresetGroupSpec* g = FindGroup(Model(d), group);
  return g != nullptr ? g->kind : 0;
}

// Puts the preset's flat mode and values on the camera.
void Apply(SimStateData& d, const SimPreset& p) {
  uint32_t mode = 0, sub = 0;
  FlatModeToMode(p.flat_mode, &mode, &sub);
  d.camera.mode = mode;
  d.camera.sub_mode = sub;
  d.camera.mode_group = p.group;
  for (uint8_t i = 0; i < p.setting_count; ++i) d.camera.settings[p.setting_ids[i]] = p.values[i];
  d.presets.current = p.id;
  d.presets.group_last[KindOf(d, p.group)] = p.id;
}

// Takes the camera's current values of the preset's settings.
void Capture(const SimStateData& d, SimPreset* p) {
  for (uint8_t i = 0; i < p->setting_count; ++i)
    p->values[i] = d.camera.settings[p->setting_ids[i]];
}

int32_t ReplyWith(const google::protobuf::MessageLite& message, void* response, uint32_t size,
                  uint16_t* response_len) {
  const std::string bytes = message.SerializeAsString();
  ControlReply(bytes.data(), static_cast<uint32_t>(bytes.size()), response, size, response_len);
  return ZQ_OK;
}

const char* SettingName(int32_t id) {
  const SettingSpec* s = FindSetting(id);
  return s != nullptr ? s->display_name : "";
}

void Info(const SimPreset& p, zp::Preset_Info* info) {
  info->set_preset_id(p.id);
  info->set_flat_mode(static_cast<uint32_t>(p.flat_mode));
  info->set_preset_icon(p.icon);
  info->set_preset_name(p.title);
  if (!p.predefined) info->set_preset_name_iterator(p.title_number);
  info->set_predefined_preset(p.predefined != 0);
  for (uint8_t i = 0; i < p.setting_count; ++i) {
    zp::Setting* s = info->add_settings();
    s->set_setting_id(static_cast<uint32_t>(p.setting_ids[i]));
    s->set_value(static_cast<uint32_t>(p.values[i]));
    s->set_name(SettingName(p.setting_ids[i]));
  }
}

uint32_t CustomCount(PresetStore& store, uint32_t group) {
  uint32_t n = 0;
  for (const SimPreset* p : InGroup(store, group)) n += p->predefined ? 0 : 1;
  return n;
}

// The preset status as the Open API reports it: only what a preset has is set, so that a
// setting of value 0 and no caption carries its id alone.
ot::NotifyPresetStatus Status(SimStateData& d) {
  PresetStore& store = Store(d);
  ot::NotifyPresetStatus status;
  for (const PresetGroupSpec& g : PresetGroups(Model(d))) {
    ot::PresetGroup* group = status.add_preset_group_array();
    group->set_id(static_cast<ot::EnumPresetGroup>(g.id));
    group->set_can_add_preset(CustomCount(store, g.id) < kCustomPresetsPerGroup);
    for (const SimPreset* p : InGroup(store, g.id)) {
      ot::Preset* preset = group->add_preset_array();
      preset->set_id(static_cast<int32_t>(p->id));
      preset->set_mode(static_cast<ot::EnumFlatMode>(p->flat_mode));
      preset->set_title_id(static_cast<ot::EnumPresetTitle>(p->title));
      if (!p->predefined) {
        preset->set_title_number(static_cast<int32_t>(p->title_number));
        preset->set_user_defined(true);
      }
      preset->set_icon(static_cast<ot::EnumPresetIcon>(p->icon));
      for (uint8_t i = 0; i < p->setting_count; ++i) {
        ot::PresetSetting* s = preset->add_setting_array();
        s->set_id(p->setting_ids[i]);
        if (p->values[i] != 0) s->set_value(p->values[i]);
        if (i < 2) s->set_is_caption(true);  // the first two are shown on the preset's tile
      }
      if (p->modified) preset->set_is_modified(true);
      if (p->predefined) preset->set_is_fixed(true);
    }
  }
  return status;
}

template <typename M>
bool ParseRequest(const uint8_t* param, uint32_t len, M* out) {
  return out->ParseFromArray(param, static_cast<int>(len));
}

int32_t Create(SimStateData& d, const uint8_t* param, uint32_t len, void* response, uint32_t size,
               uint16_t* response_len) {
  zp::ZQC_Preset_Custom_Create_Req req;
  if (!ParseRequest(param, len, &req) || !req.has_group_id() || !req.has_flat_mode() ||
      !req.has_preset_icon() || !req.has_preset_name()) {
    return ZQ_ERR_INVALID_PARAM;
  }
  PresetStore& store = Store(d);
  const PresetGroupSpec* group = FindGroup(Model(d), req.group_id());
  const int32_t flat = static_cast<int32_t>(req.flat_mode());
  if (group == nullptr || !FlatModeInKind(flat, group->kind) ||
      !ot::EnumPresetIcon_IsValid(static_cast<int>(req.preset_icon())) ||
      req.preset_icon() == ot::PRESET_ICON_MAX ||
      !ot::EnumPresetTitle_IsValid(static_cast<int>(req.preset_name())) ||
      req.preset_name() == ot::PRESET_TITLE_MAX ||
      CustomCount(store, group->id) >= kCustomPresetsPerGroup) {
    return ZQ_ERR_NAK;
  }
  SimPreset* slot = nullptr;
  for (SimPreset& p : store.presets) {
    if (p.group == 0 && slot == nullptr) slot = &p;
  }
  if (slot == nullptr) return ZQ_ERR_NAK;
  uint32_t number = req.has_preset_name_iterator() ? req.preset_name_iterator() : UINT32_MAX;
  if (number == UINT32_MAX) {
    // Not given: one more than the highest number of the group's presets of that title.
    number = 0;
    for (const SimPreset* p : InGroup(store, group->id)) {
      if (!p->predefined && p->title == req.preset_name())
        number = std::max(number, p->title_number);
    }
    ++number;
  }
  SimPreset p = {};
  p.id = store.next_id++;
  p.group = group->id;
  p.flat_mode = flat;
  p.title = req.preset_name();
  p.title_number = number;
  p.icon = req.preset_icon();
  p.order = static_cast<uint32_t>(InGroup(store, group->id).size());
  FillSettings(Model(d), flat, &p);
  Capture(d, &p);
  *slot = p;
  zp::ZQC_Preset_Custom_Create_Resp resp;
  resp.set_preset_id(p.id);
  return ReplyWith(resp, response, size, response_len);
}

// The preset named by a request's preset_id, or nullptr.
template <typename M>
SimPreset* Named(SimStateData& d, const uint8_t* param, uint32_t len, int32_t* error) {
  M req;
  if (!ParseRequest(param, len, &req) || !req.has_preset_id()) {
    *error = ZQ_ERR_INVALID_PARAM;
    return nullptr;
  }
  SimPreset* p = Find(Store(d), req.preset_id());
  if (p == nullptr) *error = ZQ_ERR_NAK;
  return p;
}

}  // namespace

std::span<const PresetGroupSpec> PresetGroups(const ModelSpec& model) {
  if (model.lenses == 2) return kTwoLensGroups;
  return kOneLensGroups;
}

bool FlatModeToMode(int32_t flat, uint32_t* mode, uint32_t* sub_mode) {
  struct Row {
    int32_t flat;
    uint32_t mode;
    uint32_t sub;
  };
  static constexpr Row kRows[] = {
      {ot::FLAT_MODE_VIDEO, 0, 0},
      {ot::FLAT_MODE_SLOMO, 0, 0},
      {ot::FLAT_MODE_LOOPING, 0, 1},
      {ot::FLAT_MODE_TIME_WARP_VIDEO, 0, 2},
      {ot::FLAT_MODE_PHOTO_SINGLE, 1, 0},
      {ot::FLAT_MODE_PHOTO, 1, 0},
      {ot::FLAT_MODE_PHOTO_NIGHT, 1, 1},
      {ot::FLAT_MODE_PHOTO_BURST, 1, 2},
      {ot::FLAT_MODE_LIVE_BURST, 1, 2},
      {ot::FLAT_MODE_TIME_LAPSE_VIDEO, 2, 0},
      {ot::FLAT_MODE_TIME_LAPSE_PHOTO, 2, 0},
      {ot::FLAT_MODE_NIGHT_LAPSE_PHOTO, 2, 1},
      {ot::FLAT_MODE_NIGHT_LAPSE_VIDEO, 2, 1},
      {ot::FLAT_MODE_VIDEO_STAR_TRAIL, 2, 1},
      {ot::FLAT_MODE_VIDEO_LIGHT_PAINTING, 2, 1},
      {ot::FLAT_MODE_VIDEO_LIGHT_TRAIL, 2, 1},
  };
  for (const Row& r : kRows) {
    if (r.flat == flat) {
      *mode = r.mode;
      *sub_mode = r.sub;
      return true;
    }
  }
  return false;
}

bool IsPresetCommand(uint32_t command) {
  return command >= ZQCONTROL_PRESET_LIST_GROUPS && command <= ZQCONTROL_PRESET_SET_TITLE_ICON;
}

int32_t PresetSetGroup(SimStateData& d, uint32_t group) {
  PresetStore& store = Store(d);
  const PresetGroupSpec* g = FindGroup(Model(d), group);
  if (g == nullptr || IsRecording(d)) return ZQ_ERR_NAK;
  SimPreset* p = Find(store, store.group_last[g->kind]);
  if (p == nullptr || p->group != group) {
    const std::vector<SimPreset*> presets = InGroup(store, group);
    if (presets.empty()) return ZQ_ERR_NAK;
    p = presets.front();
  }
  Apply(d, *p);
  return ZQ_OK;
}

int32_t PresetCommand(SimStateData& d, uint32_t command, const uint8_t* param, uint32_t len,
                      void* response, uint32_t size, uint16_t* response_len) {
  PresetStore& store = Store(d);
  const bool recording = IsRecording(d);
  int32_t error = ZQ_OK;
  switch (command) {
    case ZQCONTROL_PRESET_LIST_GROUPS: {
      zp::ZQC_Preset_Group_List_Resp resp;
      for (const PresetGroupSpec& g : PresetGroups(Model(d))) resp.add_preset_groups(g.id);
      return ReplyWith(resp, response, size, response_len);
    }
    case ZQCONTROL_PRESET_LIST_IDS: {
      zp::ZQC_Preset_List_Req req;
      if (!ParseRequest(param, len, &req) || !req.has_group_id()) return ZQ_ERR_INVALID_PARAM;
      if (FindGroup(Model(d), req.group_id()) == nullptr) return ZQ_ERR_NAK;
      zp::ZQC_Preset_List_Resp resp;
      for (const SimPreset* p : InGroup(store, req.group_id())) resp.add_presets(p->id);
      if (req.include_info()) {
        zp::Preset_Group* group = resp.mutable_preset_group();
        group->set_group_id(req.group_id());
        for (const SimPreset* p : InGroup(store, req.group_id())) Info(*p, group->add_presets());
      }
      return ReplyWith(resp, response, size, response_len);
    }
    case ZQCONTROL_PRESET_GET_INFO: {
      const SimPreset* p = Named<zp::ZQC_Preset_Info_Req>(d, param, len, &error);
      if (p == nullptr) return error;
      zp::ZQC_Preset_Info_Resp resp;
      Info(*p, resp.mutable_preset());
      return ReplyWith(resp, response, size, response_len);
    }
    case ZQCONTROL_PRESET_CUSTOM_CREATE:
      return Create(d, param, len, response, size, response_len);
    case ZQCONTROL_PRESET_CUSTOM_REMOVE: {
      SimPreset* p = Named<zp::ZQC_Preset_Custom_Remove_Req>(d, param, len, &error);
      if (p == nullptr) return error;
      if (p->predefined || p->id == store.editing) return ZQ_ERR_NAK;
      const uint32_t group = p->group;
      *p = SimPreset{};
      Renumber(store, group);
      return ZQ_OK;
    }
    case ZQCONTROL_PRESET_SET_ORDER: {
      zp::ZQC_Preset_Set_Order_Req req;
      if (!ParseRequest(param, len, &req) || !req.has_preset_id() || !req.has_order())
        return ZQ_ERR_INVALID_PARAM;
      SimPreset* p = Find(store, req.preset_id());
      if (p == nullptr) return ZQ_ERR_NAK;
      std::vector<SimPreset*> group = InGroup(store, p->group);
      if (req.order() >= group.size()) return ZQ_ERR_NAK;
      group.erase(std::find(group.begin(), group.end(), p));
      group.insert(group.begin() + req.order(), p);
      for (uint32_t i = 0; i < group.size(); ++i) group[i]->order = i;
      return ZQ_OK;
    }
    case ZQCONTROL_PRESET_LOAD: {
      const SimPreset* p = Named<zp::ZQC_Preset_Load_Req>(d, param, len, &error);
      if (p == nullptr) return error;
      if (recording) return ZQ_ERR_NAK;
      Apply(d, *p);
      return ZQ_OK;
    }
    case ZQCONTROL_PRESET_EDIT_START: {
      const SimPreset* p = Named<zp::ZQC_Preset_Edit_Start_Req>(d, param, len, &error);
      if (p == nullptr) return error;
      if (recording) return ZQ_ERR_NAK;
      Apply(d, *p);
      store.editing = p->id;
      return ZQ_OK;
    }
    case ZQCONTROL_PRESET_EDIT_CANCEL:
    case ZQCONTROL_PRESET_EDIT_STORE: {
      SimPreset* p = Find(store, store.editing);
      if (p == nullptr) return ZQ_ERR_NAK;
      if (command == ZQCONTROL_PRESET_EDIT_STORE) {
        Capture(d, p);
        if (p->predefined) p->modified = memcmp(p->values, p->factory, sizeof p->values) != 0;
      } else {
        Apply(d, *p);
      }
      store.editing = kNoPreset;
      return ZQ_OK;
    }
    case ZQCONTROL_PRESET_FACTORY_RESET: {
      SimPreset* p = Named<zp::ZQC_Preset_Factory_Reset_Req>(d, param, len, &error);
      if (p == nullptr) return error;
      if (!p->predefined) return ZQ_ERR_NAK;
      memcpy(p->values, p->factory, sizeof p->values);
      p->modified = 0;
      if (store.current == p->id && !recording) Apply(d, *p);
      return ZQ_OK;
    }
    case ZQCONTROL_PRESET_GET_PRESETS:
      return ReplyWith(Status(d), response, size, response_len);
    case ZQCONTROL_PRESET_SWITCH_FLATMODE: {
      zp::ZQC_Preset_Switch_Flatmode_Req req;
      if (!ParseRequest(param, len, &req) || !req.has_flat_mode()) return ZQ_ERR_INVALID_PARAM;
      uint32_t mode = 0, sub = 0;
      if (recording || !FlatModeToMode(static_cast<int32_t>(req.flat_mode()), &mode, &sub))
        return ZQ_ERR_NAK;
      d.camera.mode = mode;
      d.camera.sub_mode = sub;
      return ZQ_OK;
    }
    case ZQCONTROL_PRESET_SET_TITLE_ICON: {
      zp::ZQC_Preset_Set_Title_Icon_Req req;
      if (!ParseRequest(param, len, &req) || (!req.has_preset_name() && !req.has_preset_icon()))
        return ZQ_ERR_INVALID_PARAM;
      // Only the custom preset being edited can be renamed.
      SimPreset* p = Find(store, store.editing);
      if (p == nullptr || p->predefined) return ZQ_ERR_NAK;
      if (req.has_preset_name() &&
          (!ot::EnumPresetTitle_IsValid(static_cast<int>(req.preset_name())) ||
           req.preset_name() == ot::PRESET_TITLE_MAX))
        return ZQ_ERR_NAK;
      if (req.has_preset_icon() &&
          (!ot::EnumPresetIcon_IsValid(static_cast<int>(req.preset_icon())) ||
           req.preset_icon() == ot::PRESET_ICON_MAX))
        return ZQ_ERR_NAK;
      if (req.has_preset_name()) p->title = req.preset_name();
      if (req.has_preset_icon()) p->icon = req.preset_icon();
      return ZQ_OK;
    }
    default:
      return ZQ_ERR_NAK;
  }
}

}  // namespace zqsim
