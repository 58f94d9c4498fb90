// The control-service library's status and settings serializers, over the simulator's record
// layout (SimCamera.h).
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

}  // namespace

void camera_status_serialize_status_to_json(std::string& stream,
                                            const all_status_settings_t* record,
                                            uint8_t /*model_number*/) {
  stream += "\"status\":{";
  const char* sep = "";
  for (const zqsim::StatusField& f : zqsim::StatusFields()) {
    if (f.type == zqsim::StatusType::kDateTime) {
      // The camera's clock in the form the date-time command takes: hexadecimal fields.
      const uint8_t* t = record->system_settings.data + f.offset;
      ss_printf(stream, "%s\"%d\":\"%%%02x%%%02x%%%02x%%%02x%%%02x%%%02x\"", sep, f.id,
                static_cast<unsigned>(Get(t, 2) - 2000) & 0xFFFF, t[2], t[3], t[4], t[5], t[6]);
    } else {
      ss_printf(stream, "%s\"%d\":%llu", sep, f.id,
                static_cast<unsigned long long>(Get(record->status.data + f.offset, f.width)));
    }
    sep = ",";
  }
  stream += "}";
}

void camera_settings_serialize_to_json(std::string& stream, const camera_settings_t* settings,
                                       const camera_status_t* /*status*/,
                                       const system_settings_t* /*system_settings*/,
                                       uint8_t model_number) {
  const zqsim::ModelSpec& model = zqsim::ModelOrDefault(model_number);
  stream += "\"settings\":{";
  const char* sep = "";
  for (const zqsim::SettingSpec& s : zqsim::Settings()) {
    if (s.id >= zqsim::kRecordSettingIds || !zqsim::ModelHasSetting(model, s)) continue;
    ss_printf(stream, "%s\"%d\":%u", sep, s.id,
              static_cast<unsigned>(Get(settings->data + 2 * s.id, 2)));
    sep = ",";
  }
  stream += "}";
}
