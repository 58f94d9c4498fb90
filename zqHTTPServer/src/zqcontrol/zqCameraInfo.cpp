#include "zqcontrol/zqCameraInfo.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "core/zqCsi.h"
#include "csi.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"
#include "zqcontrol/zqControl.h"

namespace {

struct ModelEntry {
  uint8_t number;
  const char* dir;
};

// Camera models and the directories of their settings documents.
constexpr ModelEntry kModels[] = {
    {22, "S1"}, {51, "S2"}, {57, "T10"}, {58, "T11"}, {60, "T11X"}, {61, "T12"}, {62, "T12L"},
};

// Models with two lenses.
bool DualLens(uint8_t model) { return model == 51 || model == 22; }

constexpr char kDocumentPath[] = "get_settings_json";

ZqAnswer Error(int32_t status, const char* detail) {
  return zqcontrol_error_answer(kDocumentPath, "", 500, status, detail,
                                "camera_description_output_json", __LINE__);
}

// The identity texts and values, read in their fixed order; stops at the first failure, which
// it logs and answers.
int32_t ReadIdentity(std::optional<ZqAnswer>* answer, ZqcCameraInfo* info) {
  using TextGetter = int32_t (*)(char*, size_t);
  struct Text {
    const char* name;
    TextGetter get;
    std::string* value;
  };
  const Text texts[] = {
      {"zqc_state_get_model_name", zqc_state_get_model_name, &info->model_name},
      {"zqc_state_get_firmware_version", zqc_state_get_firmware_version, &info->firmware_version},
      {"zqc_state_get_serial_number", zqc_state_get_serial_number, &info->serial_number},
      {"zqc_state_get_board_type", zqc_state_get_board_type, &info->board_type},
      {"zqc_state_get_ap_mac", zqc_state_get_ap_mac, &info->ap_mac},
      {"zqc_state_get_ap_ssid", zqc_state_get_ap_ssid, &info->ap_ssid},
  };
  for (const Text& t : texts) {
    char buf[kZqcTextSize] = {};
    const int32_t err = t.get(buf, sizeof buf);
    if (err != 0) {
      ZQ_LOG(ZQ_LOG_ERROR, "%s err, %d\n", t.name, err);
      *answer = Error(err, t.name);
      return err;
    }
    buf[sizeof buf - 1] = '\0';
    *t.value = buf;
  }
  int32_t err = zqc_state_get_ap_has_default_credentials(&info->ap_has_default_credentials);
  const char* failed = "zqc_state_get_ap_has_default_credentials";
  if (err == 0) {
    err = zqc_state_get_common_camera_features(&info->common_camera_features);
    failed = "zqc_state_get_common_camera_features";
  }
  if (err == 0) {
    err = zqc_state_get_update_required(&info->update_required);
    failed = "zqc_state_get_update_required";
  }
  if (err != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "%s err, %d\n", failed, err);
    *answer = Error(err, failed);
  }
  return err;
}

std::string SettingsPath(const char* dir) {
  return zq_path(std::string(kZqSettingsDir) + "/" + dir + "/settings.json");
}

// The file's lines joined without their line ends.
bool ReadJoined(FILE* f, std::string* text) {
  char buf[4096];
  while (fgets(buf, sizeof buf, f) != nullptr) {
    size_t n = strlen(buf);
    while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r')) --n;
    text->append(buf, n);
  }
  return ferror(f) == 0;
}

}  // namespace

const char* zqc_model_directory(uint8_t model_number) {
  for (const ModelEntry& m : kModels) {
    if (m.number == model_number) return m.dir;
  }
  return nullptr;
}

void zqc_append_info_members(std::string& out, const ZqcCameraInfo& info, const char* git_sha1) {
  auto text = [&](const char* name, const std::string& value) {
    out += ",\"";
    out += name;
    out += "\":\"";
    out += zq_json_escape(value);
    out += "\"";
  };
  out += "\"model_number\":" + std::to_string(info.model_number);
  text("model_name", info.model_name);
  text("firmware_version", info.firmware_version);
  text("serial_number", info.serial_number);
  text("board_type", info.board_type);
  text("ap_mac", info.ap_mac);
  text("ap_ssid", info.ap_ssid);
  text("ap_has_default_credentials", info.ap_has_default_credentials ? "1" : "0");
  if (git_sha1 != nullptr) text("git_sha1", git_sha1);
  if (info.common_camera_features != 0) {
    text("capabilities", (info.common_camera_features & 1) != 0 ? "16" : "0");
  }
  text("lens_count", DualLens(info.model_number) ? "2" : "1");
  text("update_required", std::to_string(info.update_required));
  out += ",\"required_networks\":[],\"http_keepalive\":1";
}

int32_t camera_description_output_json(std::optional<ZqAnswer>* answer) {
  ZqcCameraInfo info;
  info.model_number = kZqcDefaultModel;
  int32_t err = zqc_state_get_model_number(&info.model_number);
  if (err != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqc_state_get_model_number err, %d\n", err);
    *answer = Error(err, "zqc_state_get_model_number");
    return err;
  }
  const char* dir = zqc_model_directory(info.model_number);
  if (dir == nullptr) {
    ZQ_LOG(ZQ_LOG_WARN, "invalid model_number, %d\n", info.model_number);
    dir = zqc_model_directory(kZqcDefaultModel);
  }
  err = ReadIdentity(answer, &info);
  if (err != 0) return err;

  std::string path = SettingsPath(dir);
  struct stat st = {};
  if (stat(path.c_str(), &st) != 0) {
    ZQ_LOG(ZQ_LOG_WARN, "file not found, %s\n", path.c_str());
    path = SettingsPath(zqc_model_directory(kZqcDefaultModel));
    ZQ_LOG(ZQ_LOG_WARN, "using default, %s\n", path.c_str());
  }
  FILE* f = fopen(path.c_str(), "re");
  if (f == nullptr) {
    *answer = Error(ZQ_ERR_FILE_OPEN, path.c_str());
    return ZQ_ERR_FILE_OPEN;
  }
  std::string doc;
  const bool read = ReadJoined(f, &doc);
  fclose(f);

  // The document must be one JSON object; the info object replaces its closing brace.
  const size_t first = doc.find_first_not_of(" \t");
  if (!read || first == std::string::npos || doc[first] != '{' || !nlohmann::json::accept(doc)) {
    ZQ_LOG(ZQ_LOG_ERROR, "settings document %s is not a JSON object", path.c_str());
    *answer = Error(ZQ_ERR_FILE_READ, path.c_str());
    return ZQ_ERR_FILE_READ;
  }
  doc.erase(doc.rfind('}'));
  const size_t last = doc.find_last_not_of(" \t");
  doc += doc[last] == '{' ? "\n\"info\":{" : ",\n\"info\":{";
  zqc_append_info_members(doc, info, ZQ_GIT_SHA1);
  doc += "}}";

  *answer = ZqAnswer::Json(200, std::move(doc));
  return ZQ_OK;
}

int32_t handle_camera_info(const char*, char* response, uint16_t response_size) {
  zqcontrol_camera_info record;
  const int32_t err = zqcontrol_get_camera_info(&record);
  if (err != 0) return err;
  ZqcCameraInfo info;
  info.model_number = record.model_number;
  info.model_name.assign(record.model_name, strnlen(record.model_name, sizeof record.model_name));
  info.firmware_version.assign(record.firmware_version,
                               strnlen(record.firmware_version, sizeof record.firmware_version));
  info.serial_number.assign(record.serial_number,
                            strnlen(record.serial_number, sizeof record.serial_number));
  info.board_type.assign(record.board_type, strnlen(record.board_type, sizeof record.board_type));
  info.ap_mac.assign(record.ap_mac, strnlen(record.ap_mac, sizeof record.ap_mac));
  info.ap_ssid.assign(record.ap_ssid, strnlen(record.ap_ssid, sizeof record.ap_ssid));
  info.ap_has_default_credentials = record.ap_has_default_credentials;
  info.common_camera_features = record.common_camera_features;
  uint32_t len = 0;
  if (csi_get(CSI_FW_FORCE_UPDATE, sizeof info.update_required, &len, &info.update_required) != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Error getting CSI_FW_FORCE_UPDATE");
    info.update_required = 0;
  }

  std::string text = "{\"info\":{";
  zqc_append_info_members(text, info, nullptr);
  text += "}}";
  if (text.size() >= response_size) {
    ZQ_LOG(ZQ_LOG_ERROR, "Response structure not long enough to hold actual response of %d bytes",
           static_cast<int>(text.size()));
    return ZQ_ERR;
  }
  memcpy(response, text.c_str(), text.size() + 1);
  return ZQ_OK;
}
