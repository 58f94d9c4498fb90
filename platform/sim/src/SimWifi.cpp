#include "zqsim/SimWifi.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zqCtrlD.h"
#include "zqcommon/zqByteOrder.h"
#include "zqcommon/zqErrors.h"
#include "zqsim/SimState.h"

namespace zqsim {
namespace {

// Network record fields.
constexpr size_t kName = 0;
constexpr size_t kNameField = 33;
constexpr size_t kPassword = 33;
constexpr size_t kPasswordField = 65;
constexpr size_t kAuth = 100;

// Page fields.
constexpr size_t kPageEntries = 10;
constexpr size_t kEntrySize = 48;

// A text field of the record: up to its first NUL or its end.
std::string Field(const uint8_t* p, size_t width) {
  const char* c = reinterpret_cast<const char*>(p);
  return std::string(c, strnlen(c, width));
}

void CopyText(char* dst, size_t size, const std::string& text) {
  memset(dst, 0, size);
  memcpy(dst, text.data(), text.size() < size ? text.size() : size - 1);
}

WifiNetwork* Find(WifiState& w, const std::string& ssid) {
  for (WifiNetwork& n : w.remembered) {
    if (n.used && ssid == n.ssid) return &n;
  }
  return nullptr;
}

int32_t Remember(WifiState& w, const std::string& ssid, const std::string& password,
                 uint32_t auth) {
  WifiNetwork* n = Find(w, ssid);
  for (WifiNetwork& free : w.remembered) {
    if (n == nullptr && !free.used) n = &free;
  }
  if (n == nullptr) return ZQ_ERR_NAK;  // the camera remembers no more
  CopyText(n->ssid, sizeof n->ssid, ssid);
  CopyText(n->password, sizeof n->password, password);
  n->auth_type = auth;
  n->used = 1;
  return ZQ_OK;
}

int Fail(const std::string& message) {
  fprintf(stderr, "zqsim: %s\n", message.c_str());
  return 1;
}

bool ParseLong(const std::string& text, long long min, long long max, long long* out) {
  char* end = nullptr;
  errno = 0;
  const long long v = strtoll(text.c_str(), &end, 10);
  if (text.empty() || errno != 0 || *end != '\0' || v < min || v > max) return false;
  *out = v;
  return true;
}

}  // namespace

int32_t WifiExecute(SimStateData& d, uint32_t command, const uint8_t* p, uint8_t* reply,
                    uint32_t* reply_len) {
  WifiState& w = d.wifi;
  *reply_len = 0;
  switch (command) {
    case ZQCONTROL_AP_CONFIG: {
      const std::string ssid = Field(p + kName, kNameField);
      const std::string password = Field(p + kPassword, kPasswordField);
      if (ssid.empty()) return ZQ_ERR_INVALID_PARAM;
      CopyText(d.identity.ap_ssid, sizeof d.identity.ap_ssid, ssid);
      StatusSlot& s = d.status[15];
      memset(s.data, 0, sizeof s.data);
      memcpy(s.data, password.data(), password.size());
      s.size = static_cast<uint16_t>(password.size());
      s.kind = StatusKind::kText;
      s.present = 1;
      return ZQ_OK;
    }
    case ZQCONTROL_SSID_SCAN:
      zq_store_le(reply, static_cast<uint32_t>(w.scan_id), 4);
      *reply_len = 4;
      return ZQ_OK;
    case ZQCONTROL_SSID_LIST: {
      const uint32_t first = p[0];
      const uint32_t total = w.scanned_count;
      const uint32_t count =
          first < total ? (total - first < kPageEntries ? total - first : kPageEntries) : 0;
      memset(reply, 0, kWifiPageSize);
      zq_store_le(reply, first, 1);
      zq_store_le(reply + 2, total, 2);
      zq_store_le(reply + 4, count, 2);
      zq_store_le(reply + 8, static_cast<uint32_t>(w.scan_id), 4);
      for (uint32_t i = 0; i < count; ++i) {
        const WifiNetwork& n = w.scanned[first + i];
        uint8_t* e = reply + 12 + i * kEntrySize;
        memcpy(e, n.ssid, strnlen(n.ssid, sizeof n.ssid));
        zq_store_le(e + 36, n.auth_type, 4);
        e[44] = n.bars;
      }
      *reply_len = kWifiPageSize;
      return ZQ_OK;
    }
    case ZQCONTROL_SSID_SAVE:
    case ZQCONTROL_SSID_SELECT: {
      const std::string ssid = Field(p + kName, kNameField);
      if (ssid.empty()) return ZQ_ERR_INVALID_PARAM;
      const int32_t status =
          Remember(w, ssid, Field(p + kPassword, kPasswordField), zq_load_le32(p + kAuth));
      if (status == ZQ_OK && command == ZQCONTROL_SSID_SELECT) {
        CopyText(w.joined, sizeof w.joined, ssid);
      }
      return status;
    }
    case ZQCONTROL_SSID_DELETE: {
      const std::string ssid = Field(p + kName, kNameField);
      if (WifiNetwork* n = Find(w, ssid)) *n = {};
      if (ssid == w.joined) w.joined[0] = '\0';
      return ZQ_OK;
    }
    default:
      return ZQ_ERR_INVALID_PARAM;
  }
}

int WifiCommand(const std::vector<std::string>& a) {
  const size_t n = a.size();
  long long auth = 0;
  long long bars = 0;
  long long id = 0;
  if (n == 4 && a[0] == "add") {
    if (a[1].empty() || a[1].size() > 32) return Fail("SSID must be 1 to 32 characters");
    if (!ParseLong(a[2], 0, UINT32_MAX, &auth)) return Fail("AUTH must be 0 to 4294967295");
    if (!ParseLong(a[3], 0, 255, &bars)) return Fail("BARS must be 0 to 255");
    const bool added = SimState::Get().Write([&](SimStateData& d) {
      WifiState& w = d.wifi;
      if (w.scanned_count >= kWifiScannedMax) return false;
      WifiNetwork& net = w.scanned[w.scanned_count++];
      net = {};
      CopyText(net.ssid, sizeof net.ssid, a[1]);
      net.auth_type = static_cast<uint32_t>(auth);
      net.bars = static_cast<uint8_t>(bars);
      net.used = 1;
      return true;
    });
    return added ? 0 : Fail("the camera sees no more networks");
  }
  if (n == 1 && a[0] == "clear") {
    SimState::Get().Write([](SimStateData& d) {
      for (WifiNetwork& net : d.wifi.scanned) net = {};
      return d.wifi.scanned_count = 0;
    });
    return 0;
  }
  if (n == 2 && a[0] == "scan-id") {
    if (!ParseLong(a[1], INT32_MIN, INT32_MAX, &id)) return Fail("N must be a 32-bit number");
    SimState::Get().Write(
        [&](SimStateData& d) { return d.wifi.scan_id = static_cast<int32_t>(id); });
    return 0;
  }
  return Fail("usage: zqsim wifi add SSID AUTH BARS | wifi clear | wifi scan-id N");
}

}  // namespace zqsim
