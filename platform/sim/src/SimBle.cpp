#include "zqsim/SimBle.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "zqsim/SimState.h"

namespace zqsim {
namespace {

constexpr size_t kEntrySize = 82;
constexpr size_t kDataArea = 14;
constexpr size_t kPageMax = 15;
constexpr uint8_t kAutoConnectBit = 0x80;

constexpr uint8_t kOk = 0;
constexpr uint8_t kFailed = 1;

struct Device {
  std::array<uint8_t, 6> address;  // as commands send it
  uint8_t type;
  int8_t rssi;
  std::string name;
  std::vector<uint8_t> uuid16;   // as the entry holds them
  std::vector<uint8_t> uuid128;  // as the entry holds them
};

// The accessories in range: remotes, sensors and a few others, each with what it advertises.
const std::vector<Device>& Devices() {
  static const std::vector<Device>* devices = [] {
    static const char* const kKinds[] = {"Tavro Remote", "Heart Rate", "Cadence", "Voice Remote",
                                         "Tag"};
    // 16-bit services: heart rate 180d, cycling speed 1816, HID 1812, battery 180f.
    static const uint8_t kUuid16[][2] = {
        {0x12, 0x18}, {0x0d, 0x18}, {0x16, 0x18}, {0x12, 0x18}, {0x0f, 0x18}};
    auto* out = new std::vector<Device>();  // lives for the process
    for (size_t i = 0; i < kBleDeviceCount; ++i) {
      Device d;
      d.address = {static_cast<uint8_t>(0x10 + i), 0x00, 0xd0, 0xc1, 0xb2, 0xa3};
      d.type = static_cast<uint8_t>(i % 2);
      d.rssi = static_cast<int8_t>(-40 - static_cast<int>(i) * 3);
      d.name = std::string(kKinds[i % 5]) + " " + std::to_string(i + 1);
      d.uuid16.assign(kUuid16[i % 5], kUuid16[i % 5] + 2);
      if (i % 5 == 0) {
        d.uuid16.push_back(0x0f);
        d.uuid16.push_back(0x18);
        for (uint8_t b = 0; b < 16; ++b) d.uuid128.push_back(static_cast<uint8_t>(0xb0 + b));
      }
      out->push_back(std::move(d));
    }
    return out;
  }();
  return *devices;
}

int FindDevice(std::span<const uint8_t> address) {
  for (size_t i = 0; i < Devices().size(); ++i) {
    if (std::equal(address.begin(), address.end(), Devices()[i].address.begin())) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::array<uint8_t, kEntrySize> Entry(const Device& d, bool remembered, bool auto_connect) {
  std::array<uint8_t, kEntrySize> e{};
  std::copy(d.address.begin(), d.address.end(), e.begin());
  e[6] = static_cast<uint8_t>(d.type | (remembered && auto_connect ? kAutoConnectBit : 0));
  e[7] = static_cast<uint8_t>(d.rssi);
  size_t at = kDataArea;
  auto put = [&](const uint8_t* bytes, size_t n, size_t offset_field) {
    if (n == 0) return;
    e[offset_field] = static_cast<uint8_t>(at);
    e[offset_field + 1] = static_cast<uint8_t>(n);
    memcpy(e.data() + at, bytes, n);
    at += n;
  };
  put(reinterpret_cast<const uint8_t*>(d.name.data()), d.name.size(), 8);
  put(d.uuid128.data(), d.uuid128.size(), 10);
  put(d.uuid16.data(), d.uuid16.size(), 12);
  return e;
}

// A page of `indexes` (devices) from `first`, at most `max` (and 15) entries.
std::vector<uint8_t> Page(uint8_t list_id, const std::vector<int>& indexes,
                          const std::vector<uint8_t>& auto_flags, bool remembered, uint8_t first,
                          uint8_t max) {
  if (first > indexes.size()) return {kFailed};
  const size_t count = std::min({static_cast<size_t>(max), kPageMax, indexes.size() - first});
  std::vector<uint8_t> out = {kOk, list_id, static_cast<uint8_t>(indexes.size()), first,
                              static_cast<uint8_t>(count)};
  for (size_t i = first; i < first + count; ++i) {
    const auto e = Entry(Devices()[indexes[i]], remembered, auto_flags[i] != 0);
    out.insert(out.end(), e.begin(), e.end());
  }
  return out;
}

BleRemembered* Remembered(BleState& ble, int device) {
  for (BleRemembered& r : ble.remembered) {
    if (r.used && r.device == device) return &r;
  }
  return nullptr;
}

std::vector<uint8_t> Act(BleState& ble, std::span<const uint8_t> p) {
  if (p.empty()) return {kFailed};
  switch (p[0]) {
    case 1:  // scan start / stop
      if (p.size() != 2) return {kFailed};
      if (p[1] != 0) {
        ble.scanning = 1;
        ble.scanned = 1;
        ++ble.scan_list_id;
      } else {
        ble.scanning = 0;
      }
      return {kOk};
    case 2:    // pair start
    case 3: {  // pair cancel
      if (p.size() != 8) return {kFailed};
      const int device = FindDevice(p.subspan(1, 6));
      if (p[0] == 3) {
        ble.pairing_status = 0;
        return {kOk};
      }
      if (device < 0 || !ble.scanned) {
        ble.pairing_status = 3;
        return {kFailed};
      }
      if (Remembered(ble, device) == nullptr) {
        BleRemembered* slot = nullptr;
        for (BleRemembered& r : ble.remembered) {
          if (slot == nullptr && !r.used) slot = &r;
        }
        if (slot == nullptr) {
          ble.pairing_status = 3;
          return {kFailed};
        }
        *slot = {1, static_cast<uint8_t>(device), 1};
        ++ble.whitelist_id;
      }
      ble.pairing_status = 2;
      return {kOk};
    }
    case 4: {  // scan results page
      if (p.size() != 3) return {kFailed};
      std::vector<int> all;
      for (size_t i = 0; ble.scanned && i < Devices().size(); ++i)
        all.push_back(static_cast<int>(i));
      return Page(ble.scan_list_id, all, std::vector<uint8_t>(all.size(), 0), false, p[1], p[2]);
    }
    case 6: {  // remembered devices page
      if (p.size() != 3) return {kFailed};
      std::vector<int> devices;
      std::vector<uint8_t> flags;
      for (const BleRemembered& r : ble.remembered) {
        if (!r.used) continue;
        devices.push_back(r.device);
        flags.push_back(r.auto_connect);
      }
      return Page(ble.whitelist_id, devices, flags, true, p[1], p[2]);
    }
    case 7: {  // remembered device: remove (op 0) or its auto-connect flag (op 4)
      if (p.size() != 9) return {kFailed};
      BleRemembered* r = Remembered(ble, FindDevice(p.subspan(3, 6)));
      if (r == nullptr || (p[1] != 0 && p[1] != 4)) return {kFailed};
      if (p[1] == 0) {
        // The rest move up, keeping their order.
        BleRemembered* end = std::end(ble.remembered);
        std::move(r + 1, end, r);
        *(end - 1) = {};
        ++ble.whitelist_id;
      } else {
        r->auto_connect = p[2] != 0;
      }
      return {kOk};
    }
    case 8:  // set configuration
      if (p.size() != 3 || p[1] != 0) return {kFailed};
      ble.auto_connect = p[2];
      return {kOk};
    case 9:  // pairing status
      return p.size() == 1 ? std::vector<uint8_t>{kOk, ble.pairing_status}
                           : std::vector<uint8_t>{kFailed};
    case 10:  // get configuration
      return p.size() == 1 ? std::vector<uint8_t>{kOk, ble.auto_connect}
                           : std::vector<uint8_t>{kFailed};
    default:
      return {kFailed};
  }
}

}  // namespace

std::vector<uint8_t> BleCommand(std::span<const uint8_t> params) {
  return SimState::Get().Write([&](SimStateData& d) { return Act(d.ble, params); });
}

std::vector<uint8_t> BlePairingPhase(bool start) {
  SimState::Get().Write([&](SimStateData& d) { return d.ble.pairing_phase = start ? 1 : 0; });
  return {kOk};
}

}  // namespace zqsim
