// The control-service library's status and settings serializers, over the simulator's record
// layout (SimCamera.h).
#include <charconv>
#include <cstdio>
#include <string>

#include "zqCtrlD.h"
#include "zqsim/SimCamera.h"

namespace {

uint64_t Get(const uint8_t* p, size_t width) {
  uint64_t v = 0;
  for (size_t i = 0; i < width; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

// Appends `"id":value` after "{" (the first member) or "," (the status is polled often: no
// printf per member).
void Member(std::string& out, bool first, int32_t id, uint64_t value) {
  char num[24];
  out += first ? "{\"" : ",\"";
  out.append(num, static_cast<size_t>(std::to_chars(num, num + sizeof num, id).ptr - num));
  out += "\":";
  out.append(num, static_cast<size_t>(std::to_chars(num, num + sizeof num, value).ptr - num));
}

}  // namespace

void camera_status_serialize_status_to_json(std::string& stream,
                                            const all_status_settings_t* record,
                                            uint8_t /*model_number*/) {
  stream += "\"status\":";
  bool first = true;
  for (const zqsim::StatusField& f : zqsim::StatusFields()) {
    if (f.type == zqsim::StatusType::kDateTime) {
      // The camera's clock in the form the date-time command takes: hexadecimal fields.
      const uint8_t* t = record->system_settings.data + f.offset;
      char text[64];
      snprintf(text, sizeof text, "%c\"%d\":\"%%%02x%%%02x%%%02x%%%02x%%%02x%%%02x\"",
               first ? '{' : ',', f.id, static_cast<unsigned>(Get(t, 2) - 2000) & 0xFFFF, t[2],
               t[3], t[4], t[5], t[6]);
      stream += text;
    } else {
      Member(stream, first, f.id, Get(record->status.data + f.offset, f.width));
    }
    first = false;
  }
  stream += first ? "{}" : "}";
}

void camera_settings_serialize_to_json(std::string& stream, const camera_settings_t* settings,
                                       const camera_status_t* /*status*/,
                                       const system_settings_t* /*system_settings*/,
                                       uint8_t model_number) {
  const zqsim::ModelSpec& model = zqsim::ModelOrDefault(model_number);
  stream += "\"settings\":";
  bool first = true;
  for (const zqsim::SettingSpec& s : zqsim::Settings()) {
    if (s.id >= zqsim::kRecordSettingIds || !zqsim::ModelHasSetting(model, s)) continue;
    Member(stream, first, s.id, Get(settings->data + 2 * s.id, 2));
    first = false;
  }
  // Every model takes the apps' keep-alive, so every model reports it.
  Member(stream, first, zqsim::kKeepAliveSetting,
         Get(settings->data + 2 * zqsim::kKeepAliveSetting, 2));
  stream += "}";
}
