// The BLE accessory commands: addresses, pages and their assembly, the JSON answers, and the
// link to the simulated BLE service running in this process.
#include "zqcontrolapi/zqBle.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <mqueue.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "csi.h"
#include "zqSimTestSupport.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqcontrolapi/zqBleLink.h"
#include "zqcontrolapi/zqRecord.h"
#include "zqsim/SimNetService.h"
#include "zqsim/SimState.h"

namespace {

TEST(ZqBle, AddressesAreReadRightAlignedAndReversed) {
  struct Case {
    std::string text;
    bool ok;
    std::string sent;  // the six bytes as sent, hex
  };
  const Case cases[] = {
      {"a3b2c1d00010", true, "1000d0c1b2a3"},
      {"1", true, "010000000000"},                // padded with leading zeros
      {"fffa3b2c1d00010", true, "1000d0c1b2a3"},  // only the last 12 digits count
      {"", false, ""},
      {"a3b2c1d0001g", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ZqBleAddress a{};
    ASSERT_EQ(parse_device_address(c.text, &a), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(zq_hex(a), c.sent);
    // The JSON text is what parsing reads back.
    ZqBleAddress again{};
    ASSERT_TRUE(parse_device_address(zq_ble_address_text(a), &again));
    EXPECT_EQ(again, a);
  }
  ZqBleAddress a{};
  ASSERT_TRUE(parse_device_address("A3B2C1D00010", &a));
  EXPECT_EQ(zq_ble_address_text(a), "a3b2c1d00010");
}

// One 82-byte entry as the service sends it.
std::vector<uint8_t> Entry(const ZqBleAddress& address, uint8_t type, int8_t rssi,
                           const std::string& name, const std::vector<uint8_t>& uuid16,
                           const std::vector<uint8_t>& uuid128) {
  std::vector<uint8_t> e(kZqBleEntrySize);
  ZqRecordWriter w(e);
  w.PutBytes(0, address);
  w.Put(6, type, 1);
  w.Put(7, static_cast<uint8_t>(rssi), 1);
  size_t at = kZqBleDataArea;
  auto put = [&](std::span<const uint8_t> bytes, size_t field) {
    if (bytes.empty()) return;
    w.Put(field, at, 1);
    w.Put(field + 1, bytes.size(), 1);
    w.PutBytes(at, bytes);
    at += bytes.size();
  };
  put({reinterpret_cast<const uint8_t*>(name.data()), name.size()}, 8);
  put(uuid128, 10);
  put(uuid16, 12);
  return e;
}

std::vector<uint8_t> PageBytes(uint8_t list_id, uint8_t total, uint8_t index,
                               const std::vector<std::vector<uint8_t>>& entries) {
  std::vector<uint8_t> out = {list_id, total, index, static_cast<uint8_t>(entries.size())};
  for (const auto& e : entries) out.insert(out.end(), e.begin(), e.end());
  return out;
}

ZqBleAddress Address(uint8_t last) { return {last, 0, 0xd0, 0xc1, 0xb2, 0xa3}; }

TEST(ZqBle, PagesAreReadFromTheirLayout) {
  const std::vector<uint8_t> u16 = {0x0d, 0x18, 0x0f, 0x18};
  std::vector<uint8_t> u128(16);
  for (size_t i = 0; i < 16; ++i) u128[i] = static_cast<uint8_t>(0xb0 + i);
  auto bytes = PageBytes(7, 9, 3,
                         {Entry(Address(1), 0x81, -60, "Heart Rate 2", u16, u128),
                          Entry(Address(2), 0x01, 5, "", {}, {})});
  ZqBlePage page;
  ASSERT_TRUE(zq_ble_page_parse(bytes, ZqBleList::kScanResults, &page));
  EXPECT_EQ(page.list_id, 7);
  EXPECT_EQ(page.total, 9);
  EXPECT_EQ(page.index, 3);
  ASSERT_EQ(page.entries.size(), 2u);
  const ZqBleEntry& e = page.entries[0];
  EXPECT_EQ(e.address, Address(1));
  EXPECT_EQ(e.address_type, 0x81);  // scan results carry no auto-connect bit
  EXPECT_FALSE(e.auto_connect);
  EXPECT_EQ(e.rssi, -60);
  EXPECT_EQ(e.name, "Heart Rate 2");
  EXPECT_EQ(e.uuid16, u16);
  EXPECT_EQ(e.uuid128, u128);

  // In remembered-device pages bit 7 of the type is the auto-connect flag.
  ASSERT_TRUE(zq_ble_page_parse(bytes, ZqBleList::kWhitelist, &page));
  EXPECT_EQ(page.entries[0].address_type, 1);
  EXPECT_TRUE(page.entries[0].auto_connect);
  EXPECT_FALSE(page.entries[1].auto_connect);

  // A name ends at its first zero byte or its maximum length.
  auto cut = bytes;
  cut[4 + 9] = 5;
  ASSERT_TRUE(zq_ble_page_parse(cut, ZqBleList::kScanResults, &page));
  EXPECT_EQ(page.entries[0].name, "Heart");

  // A field pointing outside the data area is left out; the rest of the entry stays.
  auto outside = bytes;
  outside[4 + 12] = 80;  // 16-bit list at 80, 4 bytes long: past the entry's end
  ASSERT_TRUE(zq_ble_page_parse(outside, ZqBleList::kScanResults, &page));
  EXPECT_TRUE(page.entries[0].uuid16.empty());
  EXPECT_EQ(page.entries[0].name, "Heart Rate 2");

  // Fewer bytes than the header and its entries claim.
  bytes.pop_back();
  EXPECT_FALSE(zq_ble_page_parse(bytes, ZqBleList::kScanResults, &page));
  EXPECT_FALSE(zq_ble_page_parse(std::vector<uint8_t>{1, 0, 0}, ZqBleList::kScanResults, &page));
  EXPECT_TRUE(zq_ble_page_parse(std::vector<uint8_t>{1, 0, 0, 0}, ZqBleList::kScanResults, &page));
}

TEST(ZqBle, DeviceObjectsAndListBodiesAreValidJson) {
  ZqBleEntry e;
  e.address = Address(0x10);
  e.address_type = 1;
  e.rssi = -42;
  e.name = "Ann's \"remote\"";
  e.uuid16 = {0x12, 0x18, 0x0f, 0x18, 0x01};  // an odd length: the whole UUIDs are written
  e.uuid128 = std::vector<uint8_t>(16, 0xab);
  e.auto_connect = true;
  const auto scan = nlohmann::json::parse(zq_ble_device_json(e, ZqBleList::kScanResults));
  EXPECT_EQ(scan["rssi"], -42);
  EXPECT_EQ(scan["name"], "Ann's \"remote\"");
  EXPECT_EQ(scan["profile_uuid16"], (nlohmann::json{"1218", "0f18"}));
  EXPECT_EQ(scan["profile_uuid128"], (nlohmann::json{"abababababababababababababababab"}));
  EXPECT_FALSE(scan.contains("auto_connect"));
  const auto white = nlohmann::json::parse(zq_ble_device_json(e, ZqBleList::kWhitelist));
  EXPECT_EQ(white["auto_connect"], 1);

  ZqBleListResult result{4, 2, 0, {}};
  EXPECT_EQ(nlohmann::json::parse(zq_ble_list_body(result, ZqBleList::kWhitelist))["device_array"],
            nlohmann::json::array());
}

// A BLE service holding `count` devices, answering pages of at most `page_max`; its list can
// be rebuilt before given requests, and it can misbehave.
struct FakeService {
  int count = 20;
  size_t page_max = 15;
  uint8_t list_id = 1;
  std::vector<int> rebuild_before;         // request numbers (1-based) at which the list id changes
  int wrong_index_at = 0;                  // the request that answers from another index
  std::vector<std::pair<int, int>> asked;  // {index, max} of every request

  int32_t Fetch(uint8_t index, uint8_t max, ZqBlePage* page) {
    asked.emplace_back(index, max);
    const int n = static_cast<int>(asked.size());
    for (int r : rebuild_before) {
      if (r == n) ++list_id;
    }
    std::vector<std::vector<uint8_t>> entries;
    for (int i = index; i < count && entries.size() < std::min<size_t>(max, page_max); ++i) {
      entries.push_back(
          Entry(Address(static_cast<uint8_t>(i)), 0, -50, "d" + std::to_string(i), {}, {}));
    }
    const uint8_t from = n == wrong_index_at ? static_cast<uint8_t>(index + 1) : index;
    return zq_ble_page_parse(PageBytes(list_id, static_cast<uint8_t>(count), from, entries),
                             ZqBleList::kScanResults, page)
               ? ZQ_OK
               : ZQ_ERR;
  }
  ZqBlePageFetch fetch() {
    return [this](uint8_t i, uint8_t m, ZqBlePage* p) { return Fetch(i, m, p); };
  }
};

TEST(ZqBle, WholeListsAreAssembledFromPagesAndRestartOnceOnANewList) {
  ZqBleListResult r;
  FakeService twenty;
  ASSERT_EQ(zq_ble_list_fetch(twenty.fetch(), ZqBleList::kScanResults, std::nullopt, &r), ZQ_OK);
  EXPECT_EQ(twenty.asked, (std::vector<std::pair<int, int>>{{0, 15}, {15, 5}}));
  ASSERT_EQ(r.entries.size(), 20u);
  EXPECT_EQ(r.entries[19].name, "d19");

  // Remembered devices are asked for 255 at a time.
  FakeService white;
  ASSERT_EQ(zq_ble_list_fetch(white.fetch(), ZqBleList::kWhitelist, std::nullopt, &r), ZQ_OK);
  EXPECT_EQ(white.asked, (std::vector<std::pair<int, int>>{{0, 255}, {15, 5}}));

  // With a first index, one page.
  FakeService one;
  ASSERT_EQ(zq_ble_list_fetch(one.fetch(), ZqBleList::kScanResults, 4, &r), ZQ_OK);
  EXPECT_EQ(one.asked, (std::vector<std::pair<int, int>>{{4, 15}}));
  EXPECT_EQ(r.index, 4);
  EXPECT_EQ(r.entries.size(), 15u);

  FakeService rebuilt;
  rebuilt.rebuild_before = {2};
  ASSERT_EQ(zq_ble_list_fetch(rebuilt.fetch(), ZqBleList::kScanResults, std::nullopt, &r), ZQ_OK);
  EXPECT_EQ(rebuilt.asked, (std::vector<std::pair<int, int>>{{0, 15}, {15, 5}, {0, 15}, {15, 5}}));
  EXPECT_EQ(r.list_id, 2);
  EXPECT_EQ(r.entries.size(), 20u);

  FakeService restless;
  restless.rebuild_before = {2, 4};
  EXPECT_EQ(zq_ble_list_fetch(restless.fetch(), ZqBleList::kScanResults, std::nullopt, &r), ZQ_ERR);
  EXPECT_EQ(restless.asked.size(), 4u);
}

TEST(ZqBle, PagesThatAreNotWhatWasAskedFailTheList) {
  ZqBleListResult r;
  FakeService wrong;
  wrong.wrong_index_at = 2;
  EXPECT_EQ(zq_ble_list_fetch(wrong.fetch(), ZqBleList::kScanResults, std::nullopt, &r), ZQ_ERR);

  // A service that claims entries it never delivers cannot hold the request forever.
  int calls = 0;
  auto empty = [&](uint8_t index, uint8_t, ZqBlePage* page) {
    ++calls;
    return zq_ble_page_parse(PageBytes(1, 5, index, {}), ZqBleList::kScanResults, page) ? ZQ_OK
                                                                                        : ZQ_ERR;
  };
  EXPECT_EQ(zq_ble_list_fetch(empty, ZqBleList::kScanResults, std::nullopt, &r), ZQ_ERR);
  EXPECT_EQ(calls, 2);
}

// The messages the services received since the last call: "CMD:params-hex>destination".
std::vector<std::string> TakeNetLog() {
  const std::string path = zqsim::SimState::Get().dir() + "/net.log";
  std::istringstream lines(zqtest::ReadFile(path));
  std::vector<std::string> out;
  for (std::string line; std::getline(lines, line);) {
    const auto j = nlohmann::json::parse(line);
    out.push_back(j["cmd"].get<std::string>() + ":" + j["cmdarg"].get<std::string>() + ">" +
                  j["dst"].get<std::string>());
    EXPECT_EQ(j["src"], "/to_ZQCC" + std::to_string(getpid()));
  }
  zqtest::WriteFile(path, "");
  return out;
}

// Asked of the queue itself: /dev/mqueue need not be mounted.
bool QueueExists(const std::string& camera_name) {
  const mqd_t q = mq_open(zq_mq_name(camera_name).c_str(), O_RDONLY | O_NONBLOCK);
  if (q == static_cast<mqd_t>(-1)) return errno != ENOENT;
  mq_close(q);
  return true;
}

class ZqBleLink : public zqsimtest::NetServiceTest {
 protected:
  void SetUp() override {
    NetServiceTest::SetUp();
    ASSERT_EQ(zq_ble_link_open(), ZQ_OK);
  }
  void TearDown() override {
    zq_ble_link_close();
    EXPECT_FALSE(QueueExists("/to_ZQCC" + std::to_string(getpid())));
  }
};

TEST_F(ZqBleLink, OpensOnceAndLeavesNoQueueBehind) {
  const std::string rx = "/to_ZQCC" + std::to_string(getpid());
  EXPECT_EQ(zq_ble_link_rx_name(), rx);
  EXPECT_TRUE(QueueExists(rx));
  EXPECT_EQ(zq_ble_link_open(), ZQ_ERR);  // already open
  zq_ble_link_close();
  EXPECT_FALSE(QueueExists(rx));
  EXPECT_EQ(zq_ble_link_rx_name(), "");
  EXPECT_EQ(zq_ble_scan("p=1"), ZQ_ERR);  // closed: nothing to send on
  EXPECT_EQ(TakeNetLog(), std::vector<std::string>{});
  zq_ble_link_close();  // closing twice is harmless
  ASSERT_EQ(zq_ble_link_open(), ZQ_OK);
}

TEST_F(ZqBleLink, ScanPairAndRememberDevices) {
  std::string body;
  // Before a scan the service knows no device: pairing fails.
  EXPECT_EQ(zq_ble_pair("device=a3b2c1d00010", true), ZQ_ERR);
  EXPECT_EQ(zq_ble_scan("p=1"), ZQ_OK);
  EXPECT_EQ(TakeNetLog(),
            (std::vector<std::string>{"BL:021000d0c1b2a300>/to_ble", "BL:0101>/to_ble"}));

  ASSERT_EQ(zq_ble_scan_list("p=18", &body), ZQ_OK);
  EXPECT_EQ(TakeNetLog(), std::vector<std::string>{"BL:04120f>/to_ble"});
  EXPECT_EQ(nlohmann::json::parse(body)["index_count"], 2);

  ASSERT_EQ(zq_ble_pair("device=a3b2c1d00011&address_type=1", true), ZQ_OK);

  ASSERT_EQ(zq_ble_whitelist_configure("device=a3b2c1d00011&auto_connect=0"), ZQ_OK);
  ASSERT_EQ(zq_ble_whitelist_device("address=a3b2c1d00011", &body), ZQ_OK);
  EXPECT_EQ(body[0], '\n');
  const auto doc = nlohmann::json::parse(body);
  EXPECT_EQ(doc["name"], "Heart Rate 2");
  EXPECT_FALSE(doc.contains("auto_connect"));
  TakeNetLog();
  ASSERT_EQ(zq_ble_whitelist_configure("device=a3b2c1d00011&remove=1&auto_connect=1"), ZQ_OK);
  EXPECT_EQ(TakeNetLog(), std::vector<std::string>{"BL:0700001100d0c1b2a3>/to_ble"});
  EXPECT_EQ(zq_ble_whitelist_device("address=a3b2c1d00011", &body), kZqStatusNotFound);

  ASSERT_EQ(zq_ble_configure("", &body), ZQ_OK);
  EXPECT_EQ(body, "\n{\"auto_connect\":1}\n");
  ASSERT_EQ(zq_ble_configure("auto_connect=0", &body), ZQ_OK);
  ASSERT_EQ(zq_ble_configure("", &body), ZQ_OK);
  EXPECT_EQ(body, "\n{\"auto_connect\":0}\n");
}

TEST_F(ZqBleLink, PairingPhaseGoesToTheNetworkService) {
  EXPECT_EQ(zq_ble_pairing_phase("p=0"), ZQ_OK);
  EXPECT_EQ(zq_ble_pairing_phase("p=5"), ZQ_OK);
  EXPECT_EQ(TakeNetLog(), (std::vector<std::string>{"PX:>/to_zqnet", "PD:0103>/to_zqnet"}));
}

TEST_F(ZqBleLink, BadParametersSendNothing) {
  std::string body;
  EXPECT_EQ(zq_ble_scan("p=256"), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(zq_ble_pairing_phase("p=a"), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(zq_ble_pair("device=zz", false), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(zq_ble_pair("device=10&address_type=x", true), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(zq_ble_scan_list("p=x", &body), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(zq_ble_whitelist_device("", &body), ZQ_ERR_INVALID_PARAM);
  const char* const configures[] = {"device=10", "device=10&auto_connect=2", "remove=1"};
  for (const char* q : configures) {
    EXPECT_EQ(zq_ble_whitelist_configure(q), ZQ_ERR_INVALID_PARAM) << q;
  }
  EXPECT_EQ(zq_ble_configure("auto_connect=x", &body), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(TakeNetLog(), std::vector<std::string>{});
}

TEST_F(ZqBleLink, ServiceFailuresAndSilenceFailTheCommand) {
  std::string body;
  ASSERT_EQ(zqsim::NetCommand({"fail", "BL", "4"}), 0);
  EXPECT_EQ(zq_ble_scan("p=1"), ZQ_ERR);
  ASSERT_EQ(zqsim::NetCommand({"ok", "BL"}), 0);
  ASSERT_EQ(zqsim::NetCommand({"mode", "norsparg"}), 0);
  EXPECT_EQ(zq_ble_pair_status(&body), ZQ_ERR);
  ASSERT_EQ(zqsim::NetCommand({"mode", "silent"}), 0);
  EXPECT_EQ(zq_ble_scan("p=1"), ZQ_ERR);  // after the (scaled) 15 s
  ASSERT_EQ(zqsim::NetCommand({"mode", "normal"}), 0);
  EXPECT_EQ(zq_ble_scan("p=0"), ZQ_OK);
}

TEST(ZqBlePairing, AvailableUnlessRecordingOrTheAccessPointPairs) {
  zqsim::ResetCamera();
  EXPECT_EQ(zq_ble_pairing_available(), ZQ_OK);
  const uint32_t one = 1;
  ASSERT_EQ(csi_set(54, &one, 4), 0);
  EXPECT_EQ(zq_ble_pairing_available(), ZQ_ERR);
  const uint32_t two = 2;
  ASSERT_EQ(csi_set(54, &two, 4), 0);
  EXPECT_EQ(zq_ble_pairing_available(), ZQ_OK);
  ASSERT_EQ(csi_set(3, &one, 4), 0);
  EXPECT_EQ(zq_ble_pairing_available(), ZQ_ERR);
  zqsim::ResetCamera();
}

}  // namespace
