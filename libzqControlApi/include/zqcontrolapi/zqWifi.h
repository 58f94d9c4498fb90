// The wireless commands of the control interface: the camera's access point, the networks it
// remembers and scans, the end of app pairing, and the network daemon's suspend and resume
// values.
//
// Network record (108 bytes, commands 17, 21, 22 and 23), little-endian:
//
//   offset   0  33 bytes  network name (SSID), NUL-terminated, zero-filled
//   offset  33  65 bytes  password, NUL-terminated, zero-filled
//   offset  98   2 bytes  zero
//   offset 100  u32       authentication type (select only; else 0)
//   offset 104  u32       no-bounce flag 0 or 1 (access-point configuration only; else 0)
//
// Network list page (reply of command 20, 492 bytes; the parameter is the first wanted index
// as one byte):
//
//   offset 0  u8   index of the first entry
//   offset 2  u16  total networks
//   offset 4  u16  entries in this page (at most 10)
//   offset 8  i32  scan id
//   offset 12      up to ten entries of 48 bytes: name (NUL-terminated) at 0, authentication
//                  type (u32) at 36, signal bars (u8) at 44
//
// Command functions return 0 or a negative ZQ_ERR_* code: ZQ_ERR_INVALID_PARAM for a missing,
// repeated or unreadable parameter (nothing is sent then), else the control service's status
// or ZQ_ERR. Integers are read as a C++ stream extracts them (zq_parse_leading_i32). Names and
// passwords are percent-decoded before their lengths are checked.
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQWIFI_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQWIFI_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

inline constexpr size_t kZqNetworkRecordSize = 108;
inline constexpr size_t kZqNetworkPageSize = 492;
inline constexpr size_t kZqNetworkPageEntries = 10;
inline constexpr size_t kZqNetworkEntrySize = 48;
// Longest name and password the save, select and delete commands take.
inline constexpr size_t kZqNetworkNameMax = 32;
inline constexpr size_t kZqNetworkPasswordMax = 32;
// The access-point configuration cuts longer texts to these.
inline constexpr size_t kZqApNameMax = 31;
inline constexpr size_t kZqApPasswordMax = 63;
// Requests the whole network list may take, and the entries it holds.
inline constexpr int kZqNetworkListAttempts = 50;
inline constexpr size_t kZqNetworkListMax = 256;
// The suspend and resume values: base64 text and decoded size limits.
inline constexpr size_t kZqSuspendResumeTextMax = 60;
inline constexpr size_t kZqSuspendResumeValueMax = 20;

struct ZqNetworkRecord {
  std::string ssid;      // at most 32 bytes
  std::string password;  // at most 64 bytes
  uint32_t auth_type = 0;
  uint32_t no_bounce = 0;
};

// The record's bytes. Longer texts than their fields hold are cut (callers check first).
std::array<uint8_t, kZqNetworkRecordSize> zq_network_record_bytes(const ZqNetworkRecord& record);

struct ZqNetworkEntry {
  std::string ssid;
  uint32_t auth_type = 0;
  uint8_t bars = 0;
};

struct ZqNetworkPage {
  uint8_t index = 0;
  uint16_t total = 0;
  uint16_t count = 0;
  int32_t scan_id = 0;
  std::vector<ZqNetworkEntry> entries;  // `count` entries
};

// Reads a page. False when it is shorter than 492 bytes or claims more than ten entries.
bool zq_network_page_parse(std::span<const uint8_t> bytes, ZqNetworkPage* page);

// The whole network list, assembled from pages.
struct ZqNetworkList {
  int32_t scan_id = 0;
  uint16_t total = 0;
  std::vector<ZqNetworkEntry> entries;
};

// Asks for the page starting at `index`; 0 and `*page` filled, or a failure status.
using ZqNetworkPageFetch = std::function<int32_t(uint8_t index, ZqNetworkPage* page)>;

// Fetches every page, at most kZqNetworkListAttempts requests in all (failed requests count
// and are asked again). The first reply gives the total; a reply whose scan id differs from
// the previous one means the camera scanned again: the list restarts from index 0 with the
// new total (that reply's entries are kept only when it is the page at 0). Each page's entries
// go to the position asked for; the list is whole when the next position reaches the total
// (or the 256 entries the list holds). 0, or ZQ_ERR when the attempts ran out.
int32_t zq_network_list_fetch(const ZqNetworkPageFetch& fetch, ZqNetworkList* list);

// The answer bodies of the scan and list commands.
std::string zq_network_scan_body(uint32_t scan_id);
std::string zq_network_list_body(int32_t scan_id, uint32_t total, uint32_t index,
                                 std::span<const ZqNetworkEntry> entries);
// The body when the list could not be assembled: "\n{\"scan_failed\":1}\n".
std::string zq_network_list_failed_body();

// Page requests through the control service (command 20 with the index byte).
int32_t zq_network_page_request(uint8_t index, ZqNetworkPage* page);

// "command/wireless/ssid/save", ".../select", ".../delete": "ssid=" (1 to 32 bytes), "pw="
// (optional; 1 to 32 bytes when present; delete ignores it), "auth_type=" (select only,
// required, unsigned). Marks the source and sends command 21, 22 or 23.
enum class ZqNetworkUse : uint8_t { kSave, kSelect, kDelete };
int32_t zq_network_parse(const char* query, ZqNetworkUse use, ZqNetworkRecord* record);
int32_t zq_network_send(const char* query, ZqNetworkUse use);

// "command/wireless/ap/ssid": "ssid=" required, "pw=" and "no_bounce=" (0 or 1) optional.
struct ZqApConfigQuery {
  std::string ssid;
  bool has_password = false;
  std::string password;
  uint32_t no_bounce = 0;
};
int32_t zq_ap_config_parse(const char* query, ZqApConfigQuery* out);
// The record: the name cut to 31 bytes; the given password (cut to 63) unless the camera
// configures its access point without one (`wireless2`, bit 0 of the features word of the
// camera information) or none was given, in which case `current_password` (status 15).
ZqNetworkRecord zq_ap_config_record(const ZqApConfigQuery& query, bool wireless2,
                                    const std::string& current_password);
// The whole command: parse, camera information, status 15 when needed, source, command 17.
int32_t zq_ap_config(const char* query);

// "command/wireless/ssid/scan": "p=" integer; command 19 with its low byte; `*body` is the scan
// id answer.
int32_t zq_network_scan(const char* query, std::string* body);

// "command/wireless/ssid/list": one page with "p=" (its index, 0 to 255), else the whole list.
// `*body` is the answer (also the "scan_failed" body with ZQ_ERR).
int32_t zq_network_list(const char* query, std::string* body);

// "command/wireless/pair/complete": "success=" integer (required), "deviceName=" optional.
struct ZqPairComplete {
  bool success = false;
  std::string device_name;  // decoded, at most 1,400 bytes; "Unknown" when none was given
};
int32_t zq_pair_complete_parse(const char* query, ZqPairComplete* out);
// The 2-byte argument of the "KX" message: [0, 1] on success, [2, 0] otherwise.
std::array<uint8_t, 2> zq_pair_complete_arg(bool success);
// The whole command: the phone name into status 86 (a failure is logged, the command goes
// on), then "KX" to the network service; ZQ_ERR unless its reply's first result byte is 0.
int32_t zq_pair_complete(const char* query);

// A suspend or resume value: base64 text (percent-decoded first) of at most 60 characters in
// the standard alphabet with "=" padding, decoding to at most 20 bytes. 0 and the bytes, or
// ZQ_ERR_INVALID_PARAM (logged).
int32_t zq_suspend_resume_value(const std::string& text, std::vector<uint8_t>* value);
// "command/system/suspend_resume_state": "suspend=" applied first ("SP"), then "resume="
// ("RP"); each reply must carry a generic result of RESULT_SUCCESS. A missing "resume=" is
// ZQ_ERR_INVALID_PARAM after the suspend value was sent.
int32_t zq_suspend_resume(const char* query);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQWIFI_H_
