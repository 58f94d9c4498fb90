#include "zqcontrolapi/zqWifi.h"

#include <algorithm>
#include <cstring>

#include "csi.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcontrolapi/zqBase64.h"
#include "zqcontrolapi/zqCommand.h"
#include "zqcontrolapi/zqGenericResult.h"
#include "zqcontrolapi/zqNetMessage.h"
#include "zqcontrolapi/zqQuery.h"
#include "zqcontrolapi/zqRecord.h"

namespace {

// Network record fields.
constexpr size_t kNameOffset = 0;
constexpr size_t kNameField = 33;
constexpr size_t kPasswordOffset = 33;
constexpr size_t kPasswordField = 65;
constexpr size_t kAuthOffset = 100;
constexpr size_t kNoBounceOffset = 104;

// Network list page fields.
constexpr size_t kPageIndex = 0;
constexpr size_t kPageTotal = 2;
constexpr size_t kPageCount = 4;
constexpr size_t kPageScanId = 8;
constexpr size_t kPageEntries = 12;
constexpr size_t kEntryName = 0;
constexpr size_t kEntryNameField = 36;
constexpr size_t kEntryAuth = 36;
constexpr size_t kEntryBars = 44;

// The bit of the camera information's features word that marks an access point configured
// without a password.
constexpr uint32_t kWireless2 = 1;

std::string Cut(const std::string& text, size_t max) { return text.substr(0, max); }

// An integer parameter as the wireless commands read them; false when missing or unreadable.
bool ReadInt(const char* query, const char* key, int32_t* out) {
  std::string raw;
  return zq_query_get(query, key, &raw) && zq_parse_leading_i32(raw, out);
}

void AppendEntry(std::string& out, const ZqNetworkEntry& e) {
  out += "{\"ssid\":\"";
  out += zq_json_escape(e.ssid);
  out += "\",\"auth_type\":";
  out += std::to_string(e.auth_type);
  out += ",\"bars\":";
  out += std::to_string(e.bars);
  out += "}";
}

}  // namespace

std::array<uint8_t, kZqNetworkRecordSize> zq_network_record_bytes(const ZqNetworkRecord& record) {
  std::array<uint8_t, kZqNetworkRecordSize> bytes;
  ZqRecordWriter w(bytes);
  w.PutText(kNameOffset, kNameField, Cut(record.ssid, kNameField - 1));
  w.PutText(kPasswordOffset, kPasswordField, Cut(record.password, kPasswordField - 1));
  w.Put(kAuthOffset, record.auth_type, 4);
  w.Put(kNoBounceOffset, record.no_bounce, 4);
  return bytes;
}

bool zq_network_page_parse(std::span<const uint8_t> bytes, ZqNetworkPage* page) {
  if (bytes.size() < kZqNetworkPageSize) return false;
  ZqRecordReader r(bytes);
  ZqNetworkPage p;
  p.index = r.U8(kPageIndex);
  p.total = r.U16(kPageTotal);
  p.count = r.U16(kPageCount);
  p.scan_id = r.I32(kPageScanId);
  if (p.count > kZqNetworkPageEntries) return false;
  for (size_t i = 0; i < p.count; ++i) {
    const size_t at = kPageEntries + i * kZqNetworkEntrySize;
    p.entries.push_back(
        {r.Text(at + kEntryName, kEntryNameField), r.U32(at + kEntryAuth), r.U8(at + kEntryBars)});
  }
  *page = std::move(p);
  return true;
}

int32_t zq_network_list_fetch(const ZqNetworkPageFetch& fetch, ZqNetworkList* list) {
  ZqNetworkList out;
  std::vector<ZqNetworkEntry> table;
  bool have_reply = false;
  size_t next = 0;
  for (int attempt = 0; attempt < kZqNetworkListAttempts; ++attempt) {
    ZqNetworkPage page;
    if (fetch(static_cast<uint8_t>(next), &page) != ZQ_OK) continue;
    if (!have_reply || page.scan_id != out.scan_id) {
      // A new scan: its total holds from now on. Its entries belong in the table only when they
      // are the first page; otherwise the list is asked for again from the start.
      const bool restart = have_reply && next != 0;
      have_reply = true;
      out.scan_id = page.scan_id;
      out.total = page.total;
      table.assign(std::min<size_t>(page.total, kZqNetworkListMax), ZqNetworkEntry());
      if (restart) {
        ZQ_LOG(ZQ_LOG_WARN, "scan_id changed on attempt:%d while acquiring list. Reacquiring!",
               attempt);
        next = 0;
        continue;
      }
    }
    for (size_t i = 0; i < page.entries.size() && next + i < table.size(); ++i) {
      table[next + i] = page.entries[i];
    }
    next += page.entries.size();
    if (next >= table.size()) {
      out.entries = std::move(table);
      *list = std::move(out);
      return ZQ_OK;
    }
  }
  return ZQ_ERR;
}

std::string zq_network_scan_body(uint32_t scan_id) {
  return "\n{\"scan_id\":" + std::to_string(scan_id) + "}";
}

std::string zq_network_list_body(int32_t scan_id, uint32_t total, uint32_t index,
                                 std::span<const ZqNetworkEntry> entries) {
  std::string out = "\n{\"scan_id\":" + std::to_string(scan_id) +
                    ",\"total\":" + std::to_string(total) + ",\"index\":" + std::to_string(index) +
                    ",\"index_count\":" + std::to_string(entries.size()) + ",\"ssid_array\":[";
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) out += ",";
    AppendEntry(out, entries[i]);
  }
  out += "]\n}\n";
  return out;
}

std::string zq_network_list_failed_body() { return "\n{\"scan_failed\":1}\n"; }

int32_t zq_network_page_request(uint8_t index, ZqNetworkPage* page) {
  uint8_t reply[kZqNetworkPageSize] = {};
  const int32_t status = zqcontrol_send_command_param_response(20, &index, 1, reply, sizeof reply);
  if (status != ZQ_OK) return status;
  if (!zq_network_page_parse(reply, page)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Network list page from index %d is malformed", index);
    return ZQ_ERR;
  }
  return ZQ_OK;
}

int32_t zq_network_parse(const char* query, ZqNetworkUse use, ZqNetworkRecord* record) {
  ZqNetworkRecord r;
  if (!zq_query_get_decoded(query, "ssid=", &r.ssid) || r.ssid.empty() ||
      r.ssid.size() > kZqNetworkNameMax || r.ssid.find('\0') != std::string::npos) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid ssid= parameter, expect 1 to %d characters",
           static_cast<int>(kZqNetworkNameMax));
    return ZQ_ERR_INVALID_PARAM;
  }
  if (use != ZqNetworkUse::kDelete) {
    switch (std::string raw; zq_query_find(query, "pw=", &raw)) {
      case ZqQueryValue::kRepeated:
        return ZQ_ERR_INVALID_PARAM;
      case ZqQueryValue::kFound:
        r.password = urlDecode(raw.c_str());
        if (r.password.empty() || r.password.size() > kZqNetworkPasswordMax ||
            r.password.find('\0') != std::string::npos) {
          ZQ_LOG(ZQ_LOG_ERROR, "Invalid pw= parameter, expect 1 to %d characters",
                 static_cast<int>(kZqNetworkPasswordMax));
          return ZQ_ERR_INVALID_PARAM;
        }
        break;
      case ZqQueryValue::kAbsent:
        break;
    }
  }
  if (use == ZqNetworkUse::kSelect) {
    std::string raw;
    int32_t auth = 0;
    if (!zq_query_get(query, "auth_type=", &raw) || !zq_parse_leading_i32(raw, &auth) || auth < 0) {
      ZQ_LOG(ZQ_LOG_ERROR, "Missing or invalid auth_type= parameter");
      return ZQ_ERR_INVALID_PARAM;
    }
    r.auth_type = static_cast<uint32_t>(auth);
  }
  *record = std::move(r);
  return ZQ_OK;
}

int32_t zq_network_send(const char* query, ZqNetworkUse use) {
  ZqNetworkRecord record;
  const int32_t status = zq_network_parse(query, use, &record);
  if (status != ZQ_OK) return status;
  const uint32_t command = use == ZqNetworkUse::kSave ? 21 : use == ZqNetworkUse::kSelect ? 22 : 23;
  const auto bytes = zq_network_record_bytes(record);
  zq_mark_source_wifi();
  return zqcontrol_send_command_param_response(command, bytes.data(), bytes.size(), nullptr, 0);
}

int32_t zq_ap_config_parse(const char* query, ZqApConfigQuery* out) {
  ZqApConfigQuery q;
  if (!zq_query_get_decoded(query, "ssid=", &q.ssid)) return ZQ_ERR_INVALID_PARAM;
  switch (std::string raw; zq_query_find(query, "pw=", &raw)) {
    case ZqQueryValue::kRepeated:
      return ZQ_ERR_INVALID_PARAM;
    case ZqQueryValue::kFound:
      q.has_password = true;
      q.password = urlDecode(raw.c_str());
      break;
    case ZqQueryValue::kAbsent:
      break;
  }
  switch (std::string raw; zq_query_find(query, "no_bounce=", &raw)) {
    case ZqQueryValue::kRepeated:
      return ZQ_ERR_INVALID_PARAM;
    case ZqQueryValue::kFound: {
      int32_t v = 0;
      if (!zq_parse_leading_i32(raw, &v)) {
        ZQ_LOG(ZQ_LOG_ERROR, "Invalid paramater value for no_bounce, expect 0,1 got [%s]",
               raw.c_str());
        return ZQ_ERR_INVALID_PARAM;
      }
      if (v < 0 || v >= 2) {
        ZQ_LOG(ZQ_LOG_ERROR, "Invalid range for no_bounce param, must be 0,1 was %d", v);
        return ZQ_ERR_INVALID_PARAM;
      }
      q.no_bounce = static_cast<uint32_t>(v);
      break;
    }
    case ZqQueryValue::kAbsent:
      break;
  }
  *out = std::move(q);
  return ZQ_OK;
}

ZqNetworkRecord zq_ap_config_record(const ZqApConfigQuery& query, bool wireless2,
                                    const std::string& current_password) {
  ZqNetworkRecord r;
  r.ssid = Cut(query.ssid, kZqApNameMax);
  const bool own = query.has_password && !wireless2;
  r.password = Cut(own ? query.password : current_password, kZqApPasswordMax);
  r.no_bounce = query.no_bounce;
  return r;
}

int32_t zq_ap_config(const char* query) {
  ZqApConfigQuery q;
  if (zq_ap_config_parse(query, &q) != ZQ_OK) return ZQ_ERR_INVALID_PARAM;
  zqcontrol_camera_info info;
  memset(&info, 0, sizeof info);
  const int32_t err = zqcontrol_get_camera_info(&info);
  if (err != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqcontrol_get_camera_info error, %d", err);
    return ZQ_ERR_INVALID_PARAM;
  }
  const bool wireless2 = (info.common_camera_features & kWireless2) != 0;
  std::string current;
  if (!q.has_password || wireless2) {
    if (q.has_password)
      ZQ_LOG(ZQ_LOG_DEBUG, "Wireless 2.0 flow - skipping password/only setting SSID");
    char text[kCsiTextMax + 1] = {};
    uint32_t len = 0;
    const int32_t st = csi_get(kCsiApPassword, kCsiTextMax, &len, text);
    if (st != ZQ_OK) {
      ZQ_LOG(ZQ_LOG_ERROR, "get_csi_str error, %d", st);
      return ZQ_ERR_INVALID_PARAM;
    }
    current.assign(text, strnlen(text, kCsiTextMax));
  }
  const auto bytes = zq_network_record_bytes(zq_ap_config_record(q, wireless2, current));
  zq_mark_source_wifi();
  return zqcontrol_send_command_param_response(17, bytes.data(), bytes.size(), nullptr, 0);
}

int32_t zq_network_scan(const char* query, std::string* body) {
  int32_t p = 0;
  if (!ReadInt(query, "p=", &p)) return ZQ_ERR_INVALID_PARAM;
  zq_mark_source_wifi();
  const uint8_t low = static_cast<uint8_t>(p);
  uint8_t reply[4] = {};
  const int32_t status = zqcontrol_send_command_param_response(19, &low, 1, reply, sizeof reply);
  if (status != ZQ_OK) return status;
  *body = zq_network_scan_body(ZqRecordReader(reply).U32(0));
  return ZQ_OK;
}

int32_t zq_network_list(const char* query, std::string* body) {
  std::string raw;
  const ZqQueryValue given = zq_query_find(query, "p=", &raw);
  if (given == ZqQueryValue::kRepeated) return ZQ_ERR_INVALID_PARAM;
  int32_t index = 0;
  if (given == ZqQueryValue::kFound &&
      (!zq_parse_leading_i32(raw, &index) || index < 0 || index > 255)) {
    return ZQ_ERR_INVALID_PARAM;
  }
  zq_mark_source_wifi();
  if (given == ZqQueryValue::kFound) {
    ZqNetworkPage page;
    const int32_t status = zq_network_page_request(static_cast<uint8_t>(index), &page);
    if (status != ZQ_OK) return status;
    *body = zq_network_list_body(page.scan_id, page.total, page.index, page.entries);
    return ZQ_OK;
  }
  ZqNetworkList list;
  if (zq_network_list_fetch(zq_network_page_request, &list) != ZQ_OK) {
    *body = zq_network_list_failed_body();
    return ZQ_ERR;
  }
  *body = zq_network_list_body(list.scan_id, list.total, 0, list.entries);
  return ZQ_OK;
}

int32_t zq_pair_complete_parse(const char* query, ZqPairComplete* out) {
  std::string raw;
  if (!zq_query_get(query, "success=", &raw)) {
    ZQ_LOG(ZQ_LOG_ERROR, "missing required parameters!\n");
    return ZQ_ERR_INVALID_PARAM;
  }
  int32_t success = 0;
  if (!zq_parse_leading_i32(raw, &success)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Could not parse success= parameter %s", raw.c_str());
    return ZQ_ERR_INVALID_PARAM;
  }
  ZqPairComplete p;
  p.success = success != 0;
  if (zq_query_get_decoded(query, "deviceName=", &p.device_name)) {
    ZQ_LOG(ZQ_LOG_DEBUG, "Parsed source string %s", p.device_name.c_str());
  } else {
    p.device_name = "Unknown";
  }
  if (p.device_name.size() > kCsiTextMax) {
    ZQ_LOG(ZQ_LOG_ERROR, "deviceName length exceeds limit, truncating!");
    p.device_name.resize(kCsiTextMax);
  }
  *out = std::move(p);
  return ZQ_OK;
}

std::array<uint8_t, 2> zq_pair_complete_arg(bool success) {
  return success ? std::array<uint8_t, 2>{0, 1} : std::array<uint8_t, 2>{2, 0};
}

int32_t zq_pair_complete(const char* query) {
  ZqPairComplete p;
  if (zq_pair_complete_parse(query, &p) != ZQ_OK) return ZQ_ERR_INVALID_PARAM;
  const int32_t st =
      csi_set(kCsiPhoneName, p.device_name.data(), static_cast<uint32_t>(p.device_name.size()));
  if (st != ZQ_OK) ZQ_LOG(ZQ_LOG_ERROR, "csi_set of CSI_PHONE_NAME failed! err:%d", st);
  ZqNetReply reply;
  const auto arg = zq_pair_complete_arg(p.success);
  if (zq_net_exchange("KX", arg, &reply) != ZQ_OK || reply.result.empty() || reply.result[0] != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "command failed");
    ZQ_LOG(ZQ_LOG_ERROR, "KX Pair complete success:%d failed", p.success ? 1 : 0);
    return ZQ_ERR;
  }
  return ZQ_OK;
}

int32_t zq_suspend_resume_value(const std::string& text, std::vector<uint8_t>* value) {
  const std::string decoded = urlDecode(text.c_str());
  if (decoded.size() > kZqSuspendResumeTextMax) {
    ZQ_LOG(ZQ_LOG_ERROR, "Parameter length for base64 value is too long > %d",
           static_cast<int>(kZqSuspendResumeTextMax));
    return ZQ_ERR_INVALID_PARAM;
  }
  std::vector<uint8_t> bytes;
  if (!zq_base64_decode(decoded, &bytes)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Base64 decode failed for [%s]", decoded.c_str());
    return ZQ_ERR_INVALID_PARAM;
  }
  if (bytes.size() > kZqSuspendResumeValueMax) {
    ZQ_LOG(ZQ_LOG_ERROR, "Protobuff decoded length %d is > expected %d",
           static_cast<int>(bytes.size()), static_cast<int>(kZqSuspendResumeValueMax));
    return ZQ_ERR_INVALID_PARAM;
  }
  *value = std::move(bytes);
  return ZQ_OK;
}

namespace {

// Sends one value ("SP" or "RP") and checks the generic result of the reply.
int32_t ApplyValue(const char* query, const char* key, const char* cmd) {
  std::string text;
  if (!zq_query_get(query, key, &text)) return ZQ_ERR_INVALID_PARAM;
  std::vector<uint8_t> value;
  if (zq_suspend_resume_value(text, &value) != ZQ_OK) return ZQ_ERR_INVALID_PARAM;
  ZqNetReply reply;
  int32_t result = 0;
  if (zq_net_exchange(cmd, value, &reply) != ZQ_OK || !reply.has_result ||
      !zq_generic_result_decode(reply.result, &result) || result != kZqResultSuccess) {
    ZQ_LOG(ZQ_LOG_ERROR, "command failed");
    if (cmd[0] == 'S') {
      ZQ_LOG(ZQ_LOG_ERROR, "SP command:%s failed", text.c_str());
    } else {
      ZQ_LOG(ZQ_LOG_ERROR, "RP command:%s failed", text.c_str());
    }
    return ZQ_ERR;
  }
  return ZQ_OK;
}

}  // namespace

int32_t zq_suspend_resume(const char* query) {
  const int32_t status = ApplyValue(query, "suspend=", "SP");
  if (status != ZQ_OK) return status;
  return ApplyValue(query, "resume=", "RP");
}
