// The BLE accessory commands' bytes and answers: device addresses, the "BL" command bytes of
// the BLE service, its list pages (scan results and remembered devices), and the JSON texts.
//
// Command bytes (first byte the sub-command; addresses in the order sent, see below):
//   [1, p]                     scan start (p != 0) or stop
//   [2, address(6), type]      pair start          [3, address(6), type]  pair cancel
//   [4, first, max]            scan results page   [6, first, max]        remembered devices page
//   [7, op, value, address(6)] remembered device: op 0 removes it, op 4 sets its auto-connect
//   [8, 0, auto_connect]       set configuration   [9] pairing status   [10] get configuration
//
// Page (reply data after the result byte): byte 0 list id (changes when the service rebuilds
// its list), 1 total entries, 2 index of the first entry, 3 entries in the page, then 82-byte
// entries:
//
//   offset  0  6 bytes  device address, in the order sent with commands
//   offset  6  u8       address type; in remembered-device pages bit 7 is the device's
//                       auto-connect flag (the type is the low 7 bits)
//   offset  7  i8       signal strength
//   offset  8  u8       name offset (0: no name)      offset  9  u8  name's maximum length
//   offset 10  u8       128-bit UUID list offset      offset 11  u8  its length in bytes
//   offset 12  u8       16-bit UUID list offset       offset 13  u8  its length in bytes
//   offset 14  68 bytes data area holding the name and the UUID lists
//
// Offsets count from the start of the entry and point into the data area; a name ends at its
// first zero byte or its maximum length. A field that points outside the data area is left
// out (logged).
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQBLE_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQBLE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t kZqBleEntrySize = 82;
inline constexpr size_t kZqBlePageHeader = 4;
inline constexpr size_t kZqBleDataArea = 14;
inline constexpr uint8_t kZqBleAutoConnectBit = 0x80;
// Entries asked for per scan-results page, and per remembered-devices page.
inline constexpr uint8_t kZqBleScanPageMax = 15;
inline constexpr uint8_t kZqBleWhitelistPageMax = 255;

// BL sub-commands.
enum ZqBleCommand : uint8_t {
  kZqBleScan = 1,
  kZqBlePairStart = 2,
  kZqBlePairCancel = 3,
  kZqBleScanPage = 4,
  kZqBleWhitelistPage = 6,
  kZqBleWhitelistConfigure = 7,
  kZqBleSetConfig = 8,
  kZqBlePairStatus = 9,
  kZqBleGetConfig = 10,
};
// Operations of the remembered-device command.
inline constexpr uint8_t kZqBleOpRemove = 0;
inline constexpr uint8_t kZqBleOpAutoConnect = 4;

using ZqBleAddress = std::array<uint8_t, 6>;

// Reads up to 12 hexadecimal digits without separators, right-aligned (a shorter text is
// padded with leading zeros; of a longer one only the last 12 count), as six pairs stored in
// reverse: the text's first pair becomes the address's last byte. False for an empty text or
// a pair that is not hexadecimal.
bool parse_device_address(std::string_view text, ZqBleAddress* address);
// The JSON form: 12 lower-case hexadecimal digits, last byte first (what parsing reads).
std::string zq_ble_address_text(const ZqBleAddress& address);

struct ZqBleEntry {
  ZqBleAddress address{};
  uint8_t address_type = 0;
  int8_t rssi = 0;
  std::string name;
  std::vector<uint8_t> uuid16;   // the list's bytes as the entry holds them
  std::vector<uint8_t> uuid128;  // the list's bytes as the entry holds them
  bool auto_connect = false;     // remembered devices only
};

struct ZqBlePage {
  uint8_t list_id = 0;
  uint8_t total = 0;
  uint8_t index = 0;
  uint8_t count = 0;
  std::vector<ZqBleEntry> entries;
};

enum class ZqBleList : uint8_t { kScanResults, kWhitelist };

// Reads a page from the reply data. False when the data is shorter than its header and
// entries claim.
bool zq_ble_page_parse(std::span<const uint8_t> data, ZqBleList list, ZqBlePage* page);

// The JSON object of one device: address, address_type, rssi, name, profile_uuid16 and
// profile_uuid128 (arrays of hexadecimal texts, one per UUID, its bytes in entry order), and
// "auto_connect":1 for a remembered device that has it.
std::string zq_ble_device_json(const ZqBleEntry& entry, ZqBleList list);

struct ZqBleListResult {
  uint8_t list_id = 0;
  uint8_t total = 0;
  uint8_t index = 0;
  std::vector<ZqBleEntry> entries;
};

// Asks the service for the page of at most `max` entries from `index`: 0 and `*page`, or a
// failure status.
using ZqBlePageFetch = std::function<int32_t(uint8_t index, uint8_t max, ZqBlePage* page)>;

// One page from `first`, or (without it) the whole list: pages asked for from index 0 with the
// list's page size, then from where the last one ended with the rest as maximum. A page that
// starts elsewhere than asked, holds more than asked, or holds nothing while entries remain
// fails the list; a list id that changes restarts it once (the second change fails). 0 or
// ZQ_ERR (logged).
int32_t zq_ble_list_fetch(const ZqBlePageFetch& fetch, ZqBleList list, std::optional<uint8_t> first,
                          ZqBleListResult* result);

// "\n{\"list_id\":...,\"device_array\":[...]\n}\n".
std::string zq_ble_list_body(const ZqBleListResult& result, ZqBleList list);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQBLE_H_
