#include "zqcontrolapi/zqStorage.h"

#include "zqCtrlD.h"
#include "zqcommon/zqContainment.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqLog.h"
#include "zqcontrolapi/zqCommand.h"
#include "zqcontrolapi/zqQuery.h"
#include "zqcontrolapi/zqRecord.h"

namespace {

constexpr uint32_t kCommandTag = 8;
constexpr uint32_t kCommandDelete = 9;
constexpr uint32_t kCommandDeleteGroup = 11;
constexpr uint32_t kCommandDeleteList = 93;
constexpr uint32_t kCommandDeleteListState = 94;

constexpr size_t kTagEnableOffset = 0;
constexpr size_t kTagPathOffset = 4;
constexpr size_t kTagPathField = 256;
constexpr size_t kTagOffsetOffset = 264;

// A media path a client names: relative to DCIM, inside it by the containment rule.
bool PathOk(std::string_view path) {
  return !path.empty() && path.back() != '/' && zq_contain_name_ok(path);
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

bool zq_path_record(std::string_view path, std::array<uint8_t, kZqPathRecordSize>* record) {
  if (!PathOk(path)) return false;
  return ZqRecordWriter(*record).PutText(0, kZqPathRecordSize, path);
}

int32_t send_delete_file(const char* path) {
  std::array<uint8_t, kZqPathRecordSize> record;
  if (path == nullptr || !zq_path_record(path, &record)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid file path for delete [%s]", path != nullptr ? path : "");
    return ZQ_ERR_INVALID_PARAM;
  }
  zq_mark_source_wifi();
  return zqcontrol_send_command_param_response(kCommandDelete, record.data(), record.size(),
                                               nullptr, 0);
}

int32_t zq_storage_delete(const char* query, bool group) {
  std::string path;
  if (!zq_query_get_decoded(query, "p=", &path)) return ZQ_ERR_INVALID_PARAM;
  if (!group) return send_delete_file(path.c_str());
  std::array<uint8_t, kZqPathRecordSize> record;
  if (!zq_path_record(path, &record)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid file path for delete [%s]", path.c_str());
    return ZQ_ERR_INVALID_PARAM;
  }
  zq_mark_source_wifi();
  return zqcontrol_send_command_param_response(kCommandDeleteGroup, record.data(), record.size(),
                                               nullptr, 0);
}

int32_t zq_tag_parse(const char* query, ZqTagRequest* request) {
  ZqTagRequest r;
  if (!zq_query_get_decoded(query, "p=", &r.path) || !PathOk(r.path) ||
      r.path.size() >= kTagPathField) {
    ZQ_LOG(ZQ_LOG_ERROR, "Missing or invalid p= parameter for tagging");
    return ZQ_ERR_INVALID_PARAM;
  }
  std::string raw;
  switch (zq_query_find(query, "tag_enable=", &raw)) {
    case ZqQueryValue::kRepeated:
      return ZQ_ERR_INVALID_PARAM;
    case ZqQueryValue::kFound:
      if (!zq_parse_u32(raw, &r.tag_enable)) {
        ZQ_LOG(ZQ_LOG_ERROR, "Couldn't parse value for tag_enable %s for file:%s", raw.c_str(),
               r.path.c_str());
        return ZQ_ERR_INVALID_PARAM;
      }
      if (r.tag_enable >= 2) {
        ZQ_LOG(ZQ_LOG_ERROR, "Invalid value %d for tag_enable %s", static_cast<int>(r.tag_enable),
               r.path.c_str());
        return ZQ_ERR_INVALID_PARAM;
      }
      break;
    case ZqQueryValue::kAbsent:
      break;
  }
  r.photo = EndsWith(r.path, "JPG");
  if (r.photo) {
    ZQ_LOG(ZQ_LOG_DEBUG, "Tagging a photo [%s]: tag_enable:%d", r.path.c_str(),
           static_cast<int>(r.tag_enable));
  } else {
    if (!zq_query_get(query, "tag=", &raw)) {
      ZQ_LOG(ZQ_LOG_ERROR, "No tag offset specified for file %s", r.path.c_str());
      return ZQ_ERR_INVALID_PARAM;
    }
    if (!zq_parse_i32(raw, &r.offset_ms)) {
      ZQ_LOG(ZQ_LOG_ERROR, "Couldn't parse value for offset:%s for %s", raw.c_str(),
             r.path.c_str());
      return ZQ_ERR_INVALID_PARAM;
    }
    ZQ_LOG(ZQ_LOG_DEBUG, "Tagging a video [%s]: tag_enable:%d, offset:%d", r.path.c_str(),
           static_cast<int>(r.tag_enable), r.offset_ms);
  }
  *request = std::move(r);
  return ZQ_OK;
}

std::array<uint8_t, kZqTagRecordSize> zq_tag_record(uint32_t tag_enable, std::string_view path,
                                                    int32_t offset_ms) {
  std::array<uint8_t, kZqTagRecordSize> record;
  ZqRecordWriter w(record);
  w.Put(kTagEnableOffset, tag_enable, 4);
  w.PutText(kTagPathOffset, kTagPathField, path.substr(0, kTagPathField - 1));
  w.Put(kTagOffsetOffset, static_cast<uint32_t>(offset_ms), 4);
  return record;
}

int32_t send_tag_playback(const void* request, uint32_t size) {
  zq_mark_source_wifi();
  return zqcontrol_send_command_param_response(kCommandTag, request, size, nullptr, 0);
}

int32_t zq_storage_tag(const char* query) {
  ZqTagRequest r;
  if (zq_tag_parse(query, &r) != ZQ_OK) return ZQ_ERR_INVALID_PARAM;
  const auto record = zq_tag_record(r.tag_enable, r.path, r.photo ? 0 : r.offset_ms);
  // The camera answers for the tag itself (it shows on the media); the request has succeeded
  // once the command went out.
  send_tag_playback(record.data(), record.size());
  return ZQ_OK;
}

bool zq_delete_list_entries(std::string_view filelist, std::vector<uint8_t>* entries) {
  std::vector<uint8_t> out;
  size_t at = 0;
  while (at < filelist.size()) {
    size_t end = filelist.find('\n', at);
    if (end == std::string_view::npos) end = filelist.size();
    std::string_view line = filelist.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos) {
      ZQ_LOG(ZQ_LOG_ERROR, "Delete list line without two fields");
      return false;
    }
    const std::string_view name = line.substr(0, comma);
    const std::string_view flag = line.substr(comma + 1);
    // A longer name is refused, not cut: a cut name could name another file.
    if (name.size() > kZqDeleteListNameMax || !PathOk(name)) {
      ZQ_LOG(ZQ_LOG_ERROR, "Invalid file name in delete list");
      return false;
    }
    uint8_t entry[kZqDeleteListEntrySize];
    ZqRecordWriter w(entry);
    w.Put(0, flag == "1" ? 1 : 0, 1);
    w.PutText(1, kZqDeleteListEntrySize - 1, name);
    out.insert(out.end(), entry, entry + sizeof entry);
  }
  if (out.empty()) {
    ZQ_LOG(ZQ_LOG_ERROR, "Delete list names no file");
    return false;
  }
  *entries = std::move(out);
  return true;
}

bool zq_delete_list_form_value(std::string_view body, std::string* filelist) {
  const std::string text(body);
  std::string raw;
  if (!zq_query_get(text.c_str(), "filelist=", &raw)) return false;
  for (char& c : raw) {
    if (c == '+') c = ' ';
  }
  *filelist = urlDecode(raw.c_str());
  return true;
}

int32_t zq_delete_list_send(std::string_view filelist) {
  std::vector<uint8_t> entries;
  if (!zq_delete_list_entries(filelist, &entries)) return ZQ_ERR_INVALID_PARAM;
  zq_mark_source_wifi();
  const int32_t status = zqcontrol_send_command_param_response(
      kCommandDeleteList, entries.data(), static_cast<uint32_t>(entries.size()), nullptr, 0);
  if (g_logLevel >= ZQ_LOG_DEBUG) {
    for (size_t i = 0; i < entries.size(); i += kZqDeleteListEntrySize) {
      const std::string name = ZqRecordReader(entries).Text(i + 1, kZqDeleteListEntrySize - 1);
      ZQ_LOG(ZQ_LOG_DEBUG, "deleting %s (%s)\n", name.c_str(), entries[i] != 0 ? "1" : "0");
    }
    ZQ_LOG(ZQ_LOG_DEBUG, "done\n");
  }
  return status;
}

int32_t zq_delete_list_state(std::string* body) {
  uint8_t result = 0;
  zq_mark_source_wifi();
  const int32_t status = zqcontrol_send_command_param_response(kCommandDeleteListState, nullptr, 0,
                                                               &result, sizeof result);
  if (status != ZQ_OK) return status;
  *body = "{\n    \"result\":" + std::to_string(result) + "\n}\n";
  return ZQ_OK;
}
