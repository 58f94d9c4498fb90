#include "zqcontrolapi/zqWifi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "csi.h"
#include "zqSimTestSupport.h"
#include "zqcommon/zqErrors.h"
#include "zqcontrolapi/zqRecord.h"
#include "zqsim/SimState.h"

namespace {

using zqsimtest::Sent;
using zqsimtest::TakeJournal;

std::string Hex(std::span<const uint8_t> b) { return zq_hex(b); }

TEST(ZqWifi, NetworkRecordHasItsFieldsAtTheirOffsets) {
  ZqNetworkRecord r;
  r.ssid = "Home";
  r.password = "secret";
  r.auth_type = 0x01020304;
  r.no_bounce = 1;
  const auto bytes = zq_network_record_bytes(r);
  ASSERT_EQ(bytes.size(), 108u);
  std::vector<uint8_t> want(108, 0);
  memcpy(want.data(), "Home", 4);
  memcpy(want.data() + 33, "secret", 6);
  want[100] = 4, want[101] = 3, want[102] = 2, want[103] = 1;
  want[104] = 1;
  EXPECT_EQ(Hex(bytes), Hex(want));

  // The longest texts fill their fields up to the terminator.
  r.ssid = std::string(40, 'n');
  r.password = std::string(70, 'p');
  const auto full = zq_network_record_bytes(r);
  EXPECT_EQ(ZqRecordReader(full).Text(0, 33), std::string(32, 'n'));
  EXPECT_EQ(full[32], 0);
  EXPECT_EQ(ZqRecordReader(full).Text(33, 65), std::string(64, 'p'));
  EXPECT_EQ(full[97], 0);
}

// A page as the control service sends it.
std::vector<uint8_t> Page(uint8_t index, uint16_t total, int32_t scan_id,
                          const std::vector<ZqNetworkEntry>& entries) {
  std::vector<uint8_t> b(kZqNetworkPageSize);
  ZqRecordWriter w(b);
  w.Put(0, index, 1);
  w.Put(2, total, 2);
  w.Put(4, entries.size(), 2);
  w.Put(8, static_cast<uint32_t>(scan_id), 4);
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t at = 12 + 48 * i;
    w.PutText(at, 36, entries[i].ssid);
    w.Put(at + 36, entries[i].auth_type, 4);
    w.Put(at + 44, entries[i].bars, 1);
  }
  return b;
}

TEST(ZqWifi, PagesAreReadFromTheirLayout) {
  auto bytes = Page(10, 23, -5, {{"a", 3, 4}, {std::string(35, 'x'), 0xFFFFFFFF, 255}});
  ZqNetworkPage page;
  ASSERT_TRUE(zq_network_page_parse(bytes, &page));
  EXPECT_EQ(page.index, 10);
  EXPECT_EQ(page.total, 23);
  EXPECT_EQ(page.count, 2);
  EXPECT_EQ(page.scan_id, -5);
  ASSERT_EQ(page.entries.size(), 2u);
  EXPECT_EQ(page.entries[0].ssid, "a");
  EXPECT_EQ(page.entries[0].auth_type, 3u);
  EXPECT_EQ(page.entries[0].bars, 4);
  EXPECT_EQ(page.entries[1].ssid, std::string(35, 'x'));
  EXPECT_EQ(page.entries[1].auth_type, 0xFFFFFFFFu);

  // An unterminated name ends at its field: the type after it is not part of it.
  memset(bytes.data() + 12, 'z', 36);
  ASSERT_TRUE(zq_network_page_parse(bytes, &page));
  EXPECT_EQ(page.entries[0].ssid, std::string(36, 'z'));
  EXPECT_EQ(page.entries[0].auth_type, 3u);

  bytes[4] = 11;  // more entries than a page holds
  EXPECT_FALSE(zq_network_page_parse(bytes, &page));
  bytes[4] = 2;
  bytes.resize(491);
  EXPECT_FALSE(zq_network_page_parse(bytes, &page));
}

// A camera that has seen `networks` in scan `scan_id`, answering pages of up to ten; it can
// rescan before a given request and fail some requests.
struct FakeCamera {
  explicit FakeCamera(std::vector<ZqNetworkEntry> n) : networks(std::move(n)) {}

  std::vector<ZqNetworkEntry> networks;
  int32_t scan_id = 1;
  int rescan_before = -1;  // request number at which the scan id changes
  int fail_every = 0;      // every n-th request fails
  std::vector<int> asked;  // the index of every request

  int32_t Fetch(uint8_t index, ZqNetworkPage* page) {
    asked.push_back(index);
    const int n = static_cast<int>(asked.size());
    if (n == rescan_before) {
      ++scan_id;
      for (ZqNetworkEntry& e : networks) e.ssid += "'";
    }
    if (fail_every > 0 && n % fail_every == 0) return ZQ_ERR_NAK;
    std::vector<ZqNetworkEntry> entries;
    for (size_t i = index; i < networks.size() && entries.size() < 10; ++i) {
      entries.push_back(networks[i]);
    }
    return zq_network_page_parse(
               Page(index, static_cast<uint16_t>(networks.size()), scan_id, entries), page)
               ? ZQ_OK
               : ZQ_ERR;
  }
  ZqNetworkPageFetch fetch() {
    return [this](uint8_t i, ZqNetworkPage* p) { return Fetch(i, p); };
  }
};

std::vector<ZqNetworkEntry> Networks(int n) {
  std::vector<ZqNetworkEntry> out;
  for (int i = 0; i < n; ++i) {
    out.push_back(
        {"net" + std::to_string(i), static_cast<uint32_t>(i % 4), static_cast<uint8_t>(i % 5)});
  }
  return out;
}

TEST(ZqWifi, ListRestartsFromTheStartWhenTheCameraScansAgain) {
  FakeCamera cam(Networks(23));
  cam.rescan_before = 2;  // the second page comes from a new scan
  ZqNetworkList list;
  ASSERT_EQ(zq_network_list_fetch(cam.fetch(), &list), ZQ_OK);
  EXPECT_EQ(cam.asked, (std::vector<int>{0, 10, 0, 10, 20}));
  EXPECT_EQ(list.scan_id, 2);
  ASSERT_EQ(list.entries.size(), 23u);
  for (const auto& e : list.entries) EXPECT_EQ(e.ssid.back(), '\'') << e.ssid;  // all new
}

TEST(ZqWifi, FailedRequestsAreAskedAgainWithinFiftyAttempts) {
  FakeCamera cam(Networks(23));
  cam.fail_every = 2;
  ZqNetworkList list;
  ASSERT_EQ(zq_network_list_fetch(cam.fetch(), &list), ZQ_OK);
  EXPECT_EQ(cam.asked, (std::vector<int>{0, 10, 10, 20, 20}));
  EXPECT_EQ(list.entries.size(), 23u);

  FakeCamera broken(Networks(23));
  broken.fail_every = 1;
  EXPECT_EQ(zq_network_list_fetch(broken.fetch(), &list), ZQ_ERR);
  EXPECT_EQ(broken.asked.size(), 50u);

  // A camera that keeps rescanning never gives a whole list.
  FakeCamera restless(Networks(23));
  int calls = 0;
  auto fetch = [&](uint8_t i, ZqNetworkPage* p) {
    restless.rescan_before = ++calls;  // every request sees a new scan
    return restless.Fetch(i, p);
  };
  EXPECT_EQ(zq_network_list_fetch(fetch, &list), ZQ_ERR);
  EXPECT_EQ(calls, 50);
}

TEST(ZqWifi, EmptyAndOversizedLists) {
  FakeCamera none({});
  ZqNetworkList list;
  ASSERT_EQ(zq_network_list_fetch(none.fetch(), &list), ZQ_OK);
  EXPECT_TRUE(list.entries.empty());
  EXPECT_EQ(none.asked.size(), 1u);

  // The list holds 256 entries, the most one-byte indexes can ask for.
  FakeCamera many(Networks(300));
  ASSERT_EQ(zq_network_list_fetch(many.fetch(), &list), ZQ_OK);
  EXPECT_EQ(list.total, 300);
  EXPECT_EQ(list.entries.size(), 256u);
  EXPECT_EQ(many.asked.back(), 250);
}

TEST(ZqWifi, BodiesEscapeNamesAndKeepTheirShape) {
  EXPECT_EQ(zq_network_scan_body(7), "\n{\"scan_id\":7}");
  EXPECT_EQ(zq_network_list_failed_body(), "\n{\"scan_failed\":1}\n");
  const std::vector<ZqNetworkEntry> odd = {{"a\"b\\c\x01", 1, 2}};
  const std::string body = zq_network_list_body(-1, 5, 3, odd);
  EXPECT_EQ(body,
            "\n{\"scan_id\":-1,\"total\":5,\"index\":3,\"index_count\":1,\"ssid_array\":"
            "[{\"ssid\":\"a\\\"b\\\\c\\u0001\",\"auth_type\":1,\"bars\":2}]\n}\n");
}

class ZqWifiCommands : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zqsim::ResetCamera());
    TakeJournal();
  }
};

std::string Record(const std::string& ssid, const std::string& pw, uint32_t auth = 0,
                   uint32_t bounce = 0) {
  return Hex(zq_network_record_bytes({ssid, pw, auth, bounce}));
}

TEST_F(ZqWifiCommands, SaveSelectDeleteSendTheirRecords) {
  struct Case {
    ZqNetworkUse use;
    std::string query;
    int32_t status;
    std::vector<Sent> sent;
  };
  const std::string name32(32, 'n');
  const Case cases[] = {
      {ZqNetworkUse::kSave, "ssid=Home&pw=secret", 0, {{21, Record("Home", "secret"), 0}}},
      {ZqNetworkUse::kSave, "ssid=My%20Home&pw=a%26b", 0, {{21, Record("My Home", "a&b"), 0}}},
      {ZqNetworkUse::kSave, "ssid=" + name32, 0, {{21, Record(name32, ""), 0}}},
      {ZqNetworkUse::kSave, "ssid=a&pw=" + std::string(33, 'p'), ZQ_ERR_INVALID_PARAM, {}},
      {ZqNetworkUse::kSave, "ssid=a%00b", ZQ_ERR_INVALID_PARAM, {}},
      {ZqNetworkUse::kSelect, "ssid=Home&auth_type=3&pw=pw", 0, {{22, Record("Home", "pw", 3), 0}}},
      {ZqNetworkUse::kSelect, "ssid=Home&auth_type=2x", 0, {{22, Record("Home", "", 2), 0}}},
      {ZqNetworkUse::kSelect, "ssid=Home&auth_type=-1", ZQ_ERR_INVALID_PARAM, {}},
      {ZqNetworkUse::kDelete, "ssid=Home&pw=ignored", 0, {{23, Record("Home", ""), 0}}},
      {ZqNetworkUse::kDelete, "pw=x", ZQ_ERR_INVALID_PARAM, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    EXPECT_EQ(zq_network_send(c.query.c_str(), c.use), c.status);
    EXPECT_EQ(TakeJournal(), c.sent);
    EXPECT_EQ(zqsimtest::StatusBytes(92), c.sent.empty() ? std::string(1, '\0') : "\x01");
    zqsim::ResetCamera();
    TakeJournal();
  }
}

TEST_F(ZqWifiCommands, AccessPointConfigurationTakesThePasswordFromTheQueryOrTheCamera) {
  auto set_features = [](uint32_t f) {
    zqsim::SimState::Get().Write(
        [&](zqsim::SimStateData& d) { return d.identity.common_camera_features = f; });
  };
  const std::string current = "current-pw";
  ASSERT_EQ(csi_set(15, current.data(), static_cast<uint32_t>(current.size())), 0);
  TakeJournal();

  set_features(0);
  ASSERT_EQ(zq_ap_config("ssid=Cam"), 0);
  EXPECT_EQ(TakeJournal(), (std::vector<Sent>{{17, Record("Cam", current), 0}}));
  ASSERT_EQ(zq_ap_config("ssid=Cam&pw=newpw&no_bounce=1"), 0);
  EXPECT_EQ(TakeJournal(), (std::vector<Sent>{{17, Record("Cam", "newpw", 0, 1), 0}}));
  // The camera now holds the new password (status 15); without a password on the access
  // point it keeps that one whatever the query says.
  set_features(1);
  ASSERT_EQ(zq_ap_config("ssid=Cam&pw=other"), 0);
  EXPECT_EQ(TakeJournal(), (std::vector<Sent>{{17, Record("Cam", "newpw"), 0}}));
  // Long texts are cut to 31 and 63 characters.
  set_features(0);
  const std::string long_name(40, 'n');
  const std::string long_pw(70, 'p');
  ASSERT_EQ(zq_ap_config(("ssid=" + long_name + "&pw=" + long_pw).c_str()), 0);
  EXPECT_EQ(TakeJournal(),
            (std::vector<Sent>{{17, Record(long_name.substr(0, 31), long_pw.substr(0, 63)), 0}}));

  for (const char* bad : {"ssid=a&no_bounce=2", "ssid=a&pw=1&pw=2"}) {
    EXPECT_EQ(zq_ap_config(bad), ZQ_ERR_INVALID_PARAM) << bad;
  }
  EXPECT_EQ(TakeJournal(), std::vector<Sent>{});
}

TEST_F(ZqWifiCommands, PairCompleteArgumentsAndPhoneName) {
  EXPECT_EQ(Hex(zq_pair_complete_arg(true)), "0001");
  EXPECT_EQ(Hex(zq_pair_complete_arg(false)), "0200");
  ZqPairComplete p;
  ASSERT_EQ(zq_pair_complete_parse("success=0", &p), 0);
  EXPECT_FALSE(p.success);
  EXPECT_EQ(p.device_name, "Unknown");
  ASSERT_EQ(zq_pair_complete_parse("success=7&deviceName=Ann%27s%20phone", &p), 0);
  EXPECT_TRUE(p.success);
  EXPECT_EQ(p.device_name, "Ann's phone");
  const std::string long_name(1500, 'x');
  ASSERT_EQ(zq_pair_complete_parse(("success=1&deviceName=" + long_name).c_str(), &p), 0);
  EXPECT_EQ(p.device_name.size(), 1400u);
  for (const char* bad : {"deviceName=a", "success=yes"}) {
    EXPECT_EQ(zq_pair_complete_parse(bad, &p), ZQ_ERR_INVALID_PARAM) << bad;
  }
}

TEST_F(ZqWifiCommands, SuspendResumeValuesAreCheckedForSizeAndEncoding) {
  struct Case {
    std::string text;
    int32_t status;
    size_t bytes;
  };
  const Case cases[] = {
      {"CAE=", 0, 2},
      {std::string(24, 'A') + "AAA=", 0, 20},           // the most a value holds
      {std::string(28, 'A'), ZQ_ERR_INVALID_PARAM, 0},  // 21 bytes
      {"CA%20E", ZQ_ERR_INVALID_PARAM, 0},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> value;
    EXPECT_EQ(zq_suspend_resume_value(c.text, &value), c.status) << c.text;
    EXPECT_EQ(value.size(), c.bytes) << c.text;
  }
}

}  // namespace
