#include "zqcontrolapi/zqBle.h"

#include <algorithm>

#include "zqcommon/zqErrors.h"
#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcontrolapi/zqRecord.h"

namespace {

// Page header fields.
constexpr size_t kListId = 0;
constexpr size_t kTotal = 1;
constexpr size_t kIndex = 2;
constexpr size_t kCount = 3;

// Entry fields.
constexpr size_t kAddress = 0;
constexpr size_t kAddressType = 6;
constexpr size_t kRssi = 7;
constexpr size_t kNameOffset = 8;
constexpr size_t kNameMax = 9;
constexpr size_t kUuid128Offset = 10;
constexpr size_t kUuid128Length = 11;
constexpr size_t kUuid16Offset = 12;
constexpr size_t kUuid16Length = 13;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a field of the data area, or nothing (logged) when it points elsewhere.
std::span<const uint8_t> DataField(std::span<const uint8_t> entry, size_t offset, size_t length,
                                   const char* what) {
  if (offset == 0 || length == 0) return {};
  if (offset < kZqBleDataArea || offset > kZqBleEntrySize || length > kZqBleEntrySize - offset) {
    ZQ_LOG(ZQ_LOG_ERROR, "BLE entry %s at %d+%d is outside the entry", what,
           static_cast<int>(offset), static_cast<int>(length));
    return {};
  }
  return entry.subspan(offset, length);
}

void AppendUuids(std::string& out, const std::vector<uint8_t>& bytes, size_t size) {
  for (size_t i = 0; i + size <= bytes.size(); i += size) {
    if (i > 0) out += ",";
    out += "\"" + zq_hex(std::span(bytes).subspan(i, size)) + "\"";
  }
}

}  // namespace

bool parse_device_address(std::string_view text, ZqBleAddress* address) {
  if (text.empty()) return false;
  if (text.size() > 12) text = text.substr(text.size() - 12);
  std::string digits(12 - text.size(), '0');
  digits.append(text);
  ZqBleAddress out;
  for (size_t pair = 0; pair < 6; ++pair) {
    const int hi = HexDigit(digits[2 * pair]);
    const int lo = HexDigit(digits[2 * pair + 1]);
    if (hi < 0 || lo < 0) return false;
    out[5 - pair] = static_cast<uint8_t>(hi << 4 | lo);
  }
  *address = out;
  return true;
}

std::string zq_ble_address_text(const ZqBleAddress& address) {
  ZqBleAddress reversed;
  std::reverse_copy(address.begin(), address.end(), reversed.begin());
  return zq_hex(reversed);
}

bool zq_ble_page_parse(std::span<const uint8_t> data, ZqBleList list, ZqBlePage* page) {
  if (data.size() < kZqBlePageHeader) return false;
  ZqRecordReader r(data);
  ZqBlePage p;
  p.list_id = r.U8(kListId);
  p.total = r.U8(kTotal);
  p.index = r.U8(kIndex);
  p.count = r.U8(kCount);
  if ((data.size() - kZqBlePageHeader) / kZqBleEntrySize < p.count) return false;
  for (size_t i = 0; i < p.count; ++i) {
    const auto bytes = data.subspan(kZqBlePageHeader + i * kZqBleEntrySize, kZqBleEntrySize);
    ZqRecordReader e(bytes);
    ZqBleEntry entry;
    std::copy_n(bytes.begin() + kAddress, 6, entry.address.begin());
    entry.address_type = e.U8(kAddressType);
    if (list == ZqBleList::kWhitelist) {
      entry.auto_connect = (entry.address_type & kZqBleAutoConnectBit) != 0;
      entry.address_type &= static_cast<uint8_t>(~kZqBleAutoConnectBit);
    }
    entry.rssi = e.I8(kRssi);
    const auto name = DataField(bytes, e.U8(kNameOffset), e.U8(kNameMax), "name");
    entry.name.assign(name.begin(), std::find(name.begin(), name.end(), 0));
    const auto u128 = DataField(bytes, e.U8(kUuid128Offset), e.U8(kUuid128Length), "UUID128 list");
    entry.uuid128.assign(u128.begin(), u128.end());
    const auto u16 = DataField(bytes, e.U8(kUuid16Offset), e.U8(kUuid16Length), "UUID16 list");
    entry.uuid16.assign(u16.begin(), u16.end());
    p.entries.push_back(std::move(entry));
  }
  *page = std::move(p);
  return true;
}

std::string zq_ble_device_json(const ZqBleEntry& entry, ZqBleList list) {
  const std::string address = zq_ble_address_text(entry.address);
  if (entry.uuid16.size() % 2 != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid UUID16_Len %d  on %s", static_cast<int>(entry.uuid16.size()),
           address.c_str());
  }
  if (entry.uuid128.size() % 16 != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid UUID_128bit_Len %d on %s", static_cast<int>(entry.uuid128.size()),
           address.c_str());
  }
  std::string out = "{\"address\":\"" + address +
                    "\",\"address_type\":" + std::to_string(entry.address_type) +
                    ",\"rssi\":" + std::to_string(entry.rssi) + ",\"name\":\"" +
                    zq_json_escape(entry.name) + "\",\"profile_uuid16\":[";
  AppendUuids(out, entry.uuid16, 2);
  out += "],\"profile_uuid128\":[";
  AppendUuids(out, entry.uuid128, 16);
  out += "]";
  if (list == ZqBleList::kWhitelist && entry.auto_connect) out += ",\"auto_connect\":1";
  out += "}";
  return out;
}

namespace {

// One page, checked against what was asked.
int32_t FetchPage(const ZqBlePageFetch& fetch, uint8_t index, uint8_t max, ZqBlePage* page) {
  const int32_t status = fetch(index, max, page);
  if (status != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to get proper response for scan results: %d", status);
    return ZQ_ERR;
  }
  if (page->index != index) {
    ZQ_LOG(ZQ_LOG_ERROR, "Requested data from index:%d got data from :%d", index, page->index);
    return ZQ_ERR;
  }
  if (page->count > max) {
    ZQ_LOG(ZQ_LOG_ERROR, "Requested %d entries got %d", max, page->count);
    return ZQ_ERR;
  }
  return ZQ_OK;
}

}  // namespace

int32_t zq_ble_list_fetch(const ZqBlePageFetch& fetch, ZqBleList list, std::optional<uint8_t> first,
                          ZqBleListResult* result) {
  const uint8_t page_max =
      list == ZqBleList::kScanResults ? kZqBleScanPageMax : kZqBleWhitelistPageMax;
  for (int attempt = 1; attempt <= 2; ++attempt) {
    ZqBlePage page;
    if (FetchPage(fetch, first.value_or(0), page_max, &page) != ZQ_OK) return ZQ_ERR;
    ZqBleListResult out{page.list_id, page.total, page.index, std::move(page.entries)};
    bool changed = false;
    while (!first && out.entries.size() < out.total) {
      const size_t remaining = out.total - out.entries.size();
      const uint8_t max = static_cast<uint8_t>(std::min<size_t>(remaining, 255));
      const uint8_t next = static_cast<uint8_t>(out.entries.size());
      if (FetchPage(fetch, next, max, &page) != ZQ_OK) return ZQ_ERR;
      if (page.list_id != out.list_id) {
        if (list == ZqBleList::kScanResults) {
          ZQ_LOG(ZQ_LOG_WARN,
                 "scan_id changed on attempt:%d from %d to %d while acquiring list. Reacquiring!",
                 attempt, out.list_id, page.list_id);
        } else {
          ZQ_LOG(ZQ_LOG_WARN,
                 "list_id changed on attempt:%d from %d to %d while acquiring list. Reacquiring!",
                 attempt, out.list_id, page.list_id);
        }
        changed = true;
        break;
      }
      if (page.count == 0) {
        ZQ_LOG(ZQ_LOG_ERROR, "Requested %d entries got %d", max, 0);
        return ZQ_ERR;
      }
      for (ZqBleEntry& e : page.entries) out.entries.push_back(std::move(e));
    }
    if (!changed) {
      *result = std::move(out);
      return ZQ_OK;
    }
  }
  ZQ_LOG(ZQ_LOG_ERROR, "Failed to get continuous list results after %d attempts.", 2);
  return ZQ_ERR;
}

std::string zq_ble_list_body(const ZqBleListResult& result, ZqBleList list) {
  std::string out =
      "\n{\"list_id\":" + std::to_string(result.list_id) +
      ",\"total\":" + std::to_string(result.total) + ",\"index\":" + std::to_string(result.index) +
      ",\"index_count\":" + std::to_string(result.entries.size()) + ",\"device_array\":[";
  for (size_t i = 0; i < result.entries.size(); ++i) {
    if (i > 0) out += ",";
    out += zq_ble_device_json(result.entries[i], list);
  }
  out += "]\n}\n";
  return out;
}
