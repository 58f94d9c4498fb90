#include "zqmediadb/zqMediaDBApp.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "zqcommon/zqPaths.h"
#include "zqcommon/zqUniqueFd.h"
#include "zqmediadb/zqCardId.h"
#include "zqmediadb/zqMediaDBList.h"
#include "zqsim/SimMediaDb.h"
#include "zqtest/TempDir.h"

namespace {

// Silent peers must not make the tests slow: every time-out and retry delay shrinks, though
// not so far that a loaded machine or an emulated ARM build misses the simulated peer's
// replies (a 30 s wait becomes 300 ms).
const bool kFastTime = (setenv("ZQ_TIME_SCALE", "0.01", 1), true);

void Le32(std::string* s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s->push_back(static_cast<char>(v >> (8 * i)));
}
void Le64(std::string* s, uint64_t v) {
  Le32(s, static_cast<uint32_t>(v));
  Le32(s, static_cast<uint32_t>(v >> 32));
}
void Be32(std::string* s, uint32_t v) {
  for (int i = 3; i >= 0; --i) s->push_back(static_cast<char>(v >> (8 * i)));
}

std::string ReplyHeader(uint32_t command, int32_t status, uint32_t count, uint32_t version,
                        uint32_t token) {
  std::string s;
  Le32(&s, command);
  Le32(&s, static_cast<uint32_t>(status));
  Le32(&s, count);
  Le32(&s, version);
  Le32(&s, token);
  return s;
}

std::string ScanEntry(const std::string& name, uint64_t time, uint64_t size) {
  std::string s = name;
  s.resize(12, '\0');
  Le64(&s, time);
  Le64(&s, size);
  return s;
}

// A content record (76 bytes) with the given type, flags, upload word and tag count.
std::string ContentRecord(uint32_t type, uint32_t flags, uint32_t upload, uint32_t tags) {
  std::string s;
  Le32(&s, type);
  s.append(20, '\0');
  Le32(&s, 1700000000);  // creation
  Le32(&s, 1700000100);  // modification
  Le32(&s, tags);
  Le32(&s, flags);
  Le32(&s, upload);
  Le64(&s, 123456789);
  s.push_back(static_cast<char>(0xC5));  // "mahs": only the low 7 bits count
  s.append(7, '\0');
  Le32(&s, 90);
  Le32(&s, 122);
  Le32(&s, 2);
  Le32(&s, 1);
  return s;
}

std::string VideoInfo(uint32_t lrv, uint32_t ms, uint32_t tags) {
  std::string s;
  Le32(&s, lrv);
  Le32(&s, ms);
  Le32(&s, 3);    // profile
  Le32(&s, 100);  // AVC profile
  Le32(&s, tags);
  Le32(&s, 7);  // "cl"
  for (uint32_t i = 0; i < tags; ++i) Le32(&s, 1000 * (i + 1));
  return s;
}

DbReply ReplyOf(const std::string& bytes) {
  DbReply r;
  memcpy(r.bytes, bytes.data(), std::min(bytes.size(), sizeof r.bytes));
  r.length = static_cast<int>(bytes.size());
  return r;
}

bool AcceptMp4(const char* name, int length) {
  return length == 12 && strncmp(name + 8, ".MP4", 4) == 0;
}

TEST(MediaDbFraming, FolderListingRepliesAreCheckedInOrder) {
  struct Case {
    const char* what;
    std::string reply;
    uint32_t capacity;
    int result;
    std::vector<std::string> names;
  };
  const std::string two = ScanEntry("ZQ010001.MP4", 5, 10) + ScanEntry("ZQ010001.LRV", 6, 11);
  const Case cases[] = {
      {"short header", ReplyHeader(12, 0, 1, 2, 1).substr(0, 19), 10, kDbScanShortReply, {}},
      {"non-zero status", ReplyHeader(12, 3, 1, 2, 1) + two, 10, kDbScanStatus, {}},
      {"no entries", ReplyHeader(12, 0, 1, 2, 1) + std::string(27, 'x'), 10, kDbScanNoEntries, {}},
      {"wrong token accepted", ReplyHeader(12, 0, 1, 2, 999) + two, 10, 0, {"ZQ010001.MP4"}},
      {"clipped to announced", ReplyHeader(12, 0, 1, 1, 1) + two + two, 10, 0, {"ZQ010001.MP4"}},
      {"over capacity keeps what fits",
       ReplyHeader(12, 0, 1, 4, 1) + two + two,
       2,
       kDbScanOverflow,
       {"ZQ010001.MP4"}},
  };
  for (const Case& c : cases) {
    std::vector<DbScanEntry> out;
    uint32_t taken = 0, announced = 0, transfers = 0;
    int r = db_scan_first_reply(reinterpret_cast<const uint8_t*>(c.reply.data()), c.reply.size(), 1,
                                c.capacity, AcceptMp4, &out, &taken, &announced, &transfers);
    EXPECT_EQ(r, c.result) << c.what;
    std::vector<std::string> names;
    for (const DbScanEntry& e : out) names.push_back(e.name);
    EXPECT_EQ(names, c.names) << c.what;
  }
}

TEST(MediaDbFraming, LaterMessagesStopAtTheAnnouncedCount) {
  std::vector<DbScanEntry> out;
  uint32_t taken = 1;
  const std::string more = ScanEntry("A", 1, 1) + ScanEntry("B", 2, 2) + ScanEntry("C", 3, 3);
  const auto* p = reinterpret_cast<const uint8_t*>(more.data());
  EXPECT_EQ(db_scan_next_reply(p, more.size(), 10, nullptr, &out, &taken, 3), 1);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_STREQ(out[1].name, "B");
  EXPECT_EQ(out[1].size, 2u);
  // Too short to hold an entry: the listing ends.
  EXPECT_EQ(db_scan_next_reply(p, 27, 10, nullptr, &out, &taken, 9), 1);
  // Capacity runs out part-way.
  taken = 0;
  out.clear();
  EXPECT_EQ(db_scan_next_reply(p, more.size(), 2, nullptr, &out, &taken, 9), kDbScanOverflow);
  EXPECT_EQ(out.size(), 2u);
}

TEST(MediaDbReplies, StatusAndSizeChecksMapToHttp) {
  const std::string video = ContentRecord(0, 0, 0, 2) + VideoInfo(500, 1500, 2);
  struct Case {
    const char* what;
    uint32_t command;
    std::string reply;
    DbResult result;
  };
  const Case cases[] = {
      {"ok", DB_CMD_GET_CONTENT_INFO, ReplyHeader(2, 0, 1, 1, 7) + ContentRecord(4, 0, 0, 0),
       DbResult::kOk},
      {"token mismatch accepted", DB_CMD_GET_CONTENT_INFO,
       ReplyHeader(2, 0, 1, 1, 8) + ContentRecord(4, 0, 0, 0), DbResult::kOk},
      {"three returned for one", DB_CMD_GET_CONTENT_INFO,
       ReplyHeader(2, 0, 3, 1, 7) + ContentRecord(4, 0, 0, 0), DbResult::kOk},
      {"short", DB_CMD_GET_CONTENT_INFO, ReplyHeader(2, 0, 1, 1, 7).substr(0, 12),
       DbResult::kBadReply},
      {"status 1", DB_CMD_GET_CONTENT_INFO, ReplyHeader(2, 1, 0, 1, 7), DbResult::kBusy},
      {"status 3", DB_CMD_GET_CONTENT_INFO, ReplyHeader(2, 3, 0, 1, 7), DbResult::kNotFound},
      {"status 7", DB_CMD_GET_CONTENT_INFO, ReplyHeader(2, 7, 0, 1, 7), DbResult::kFailed},
      {"unknown file", DB_CMD_GET_CONTENT_INFO,
       ReplyHeader(2, 0, 1, 1, 7) + ContentRecord(0xFFFFFFFF, 0, 0, 0), DbResult::kNotFound},
      {"video ok", DB_CMD_GET_VIDEO_SPECIFIC_INFO, ReplyHeader(4, 0, 1, 1, 7) + video,
       DbResult::kOk},
      {"video tags cut", DB_CMD_GET_VIDEO_SPECIFIC_INFO,
       ReplyHeader(4, 0, 1, 1, 7) + video.substr(0, video.size() - 4), DbResult::kBadReply},
      {"more info short", DB_CMD_GET_MORE_INFO, ReplyHeader(8, 0, 1, 1, 7) + std::string(27, '\0'),
       DbResult::kBadReply},
      {"more info", DB_CMD_GET_MORE_INFO, ReplyHeader(8, 0, 1, 1, 7) + std::string(28, '\0'),
       DbResult::kOk},
  };
  for (const Case& c : cases) {
    DbReply r = ReplyOf(c.reply);
    EXPECT_EQ(db_check_single_reply(c.command, 7, 1, &r), c.result) << c.what;
  }
}

std::string Format(const std::string& content, uint64_t mask) {
  DbJsonEntry e;
  const char* sep = "";
  db_format_content_record(&e, &sep, reinterpret_cast<const uint8_t*>(content.data()), mask,
                           "TAVR0001.MP4");
  return e.text();
}

TEST(MediaDbJson, ContentRecordKeysInTheirOrderWithOneSeparator) {
  // Flags: eis, audio bits (pta), stereo and wind (wind wins), raw, hdr.
  const uint32_t flags = (1u << 1) | (1u << 3) | (1u << 5) | (1u << 6) | (1u << 9) | (1u << 12);
  const std::string c = ContentRecord(13, flags, (1u << 17) | (1u << 18) | 5, 4);
  EXPECT_EQ(
      Format(c, 0x1 | 0x2 | 0x4 | 0x8 | 0x100 | 0x200 | 0x8000 | (uint64_t{1} << 34)),
      "\"n\":\"TAVR0001.MP4\",\"mod\":\"1700000100\",\"cre\":\"1700000000\","
      "\"s\":\"123456789\",\"mahs\":\"69\",\"hc\":\"4\",\"us\":\"5\",\"mos\":[\"pc\",\"other\"]");
  EXPECT_EQ(Format(c, 0x10000 | (uint64_t{1} << 28) | 0x20000 | 0x40000 | 0x80000 |
                          (uint64_t{1} << 20) | (uint64_t{1} << 29) | (uint64_t{1} << 30) |
                          (uint64_t{1} << 32) | (uint64_t{1} << 33)),
            "\"eis\":\"1\",\"hdr\":\"1\",\"wdr\":\"0\",\"pta\":\"1\",\"ao\":\"wind\",\"raw\":\"1\","
            "\"ct\":\"3\",\"rot\":\"90\",\"fov\":\"122\",\"lc\":\"2\",\"prjn\":\"1\"");
  EXPECT_EQ(Format(ContentRecord(4, 0, 0, 0), (uint64_t{1} << 34) | 0x80000),
            "\"mos\":[],\"ao\":\"off\"");
}

TEST(MediaDbJson, VideoInfoListsAtMost99Tags) {
  const std::string v = VideoInfo(0, 1499, 150);
  DbJsonEntry e;
  const char* sep = "";
  db_format_video_info(&e, &sep, reinterpret_cast<const uint8_t*>(v.data()),
                       0x10 | 0x20 | 0x200 | 0x400 | (uint64_t{1} << 23));
  std::string tags;
  for (int i = 1; i <= 99; ++i) tags += (i > 1 ? "," : "") + std::to_string(1000 * i);
  EXPECT_EQ(e.text(),
            "\"ls\":\"-1\",\"cl\":\"7\",\"hc\":\"150\",\"hi\":[" + tags + "],\"dur\":\"1\"");
  EXPECT_FALSE(e.failed());
}

TEST(MediaDbJson, AKeyPastTheLimitIsRefusedAndTheTextKept) {
  DbJsonEntry e;
  const std::string big(1500, 'a');
  EXPECT_TRUE(e.Add("", "\"k\":\"%s\"", big.c_str()));
  const std::string before = e.text();
  EXPECT_FALSE(e.Add(",", "\"x\":\"%s\"", std::string(40, 'b').c_str()));
  EXPECT_TRUE(e.failed());
  EXPECT_EQ(e.text(), before);
}

TEST(MediaDbQuery, MetadataQueryChecks) {
  const struct {
    const char* query;
    DbResult result;
  } cases[] = {
      {"t=dur&p=100TAVRO/TAVR0001.MP4", DbResult::kOk},
      {"t=v5info&p=100TAVRO/TAVR0001.360", DbResult::kOk},
      {"t=bogus&p=100TAVRO/TAVR0001.MP4", DbResult::kNotSupported},
      {"p=100TAVRO/TAVR0001.MP4", DbResult::kBadRequest},
      {"t=dur&t=dur&p=100TAVRO/TAVR0001.MP4", DbResult::kBadRequest},
      {"t=dur&p=100TAVRO/TAVR0001.TXT", DbResult::kNotFound},
      {"t=dur&p=100TAVROX/TAVR0001.MP4", DbResult::kBadRequest},
      {"t=dur&p=100TAVRO/TAVR00001.MP4", DbResult::kBadRequest},
      {"t=upload&p=100TAVRO/TAVR0001.MP4&status=5x", DbResult::kBadRequest},
      {"t=offload&p=100TAVRO/TAVR0001.MP4&status=pc&value=maybe", DbResult::kBadRequest},
      {"t=offload&p=100TAVRO/TAVR0001.MP4&status=pc&value=true", DbResult::kOk},
  };
  for (const auto& c : cases) EXPECT_EQ(zqdb_metadata_check_query(c.query), c.result) << c.query;
}

TEST(CardId, MadeOnceThenKeptAndRemadeWhenInvalid) {
  const std::string misc = zq_path(kZqSdCardRoot) + "/MISC";
  ASSERT_TRUE(zq_make_dirs(zq_path(kZqSdCardRoot)));
  std::string id1, id2;
  ASSERT_EQ(getCardIDStr(&id1), 0);
  EXPECT_TRUE(zq_card_id_valid(id1));
  ASSERT_EQ(getCardIDStr(&id2), 0);
  EXPECT_EQ(id1, id2);
  zqtest::WriteFile(misc + "/card", "12ab\n");
  ASSERT_EQ(getCardIDStr(&id2), 0);
  EXPECT_TRUE(zq_card_id_valid(id2));
  EXPECT_EQ(zqtest::ReadFile(misc + "/card"), id2);
  zqtest::WriteFile(misc + "/card", "4711\n");
  ASSERT_EQ(getCardIDStr(&id2), 0);
  EXPECT_EQ(id2, "4711");
  // No internal storage: no identifier.
  EXPECT_LT(getCardIDStrFromCard(&id2, 1), 0);
}

// A peer the test plays itself on the media database's endpoint.
class FakePeer {
 public:
  FakePeer() {
    zq_make_dirs(zq_path(kZqSimStateDir));
    const std::string path = zqsim::IpcSocketPath(kZqMediaDbEndpoint);
    unlink(path.c_str());
    sockaddr_un addr;
    EXPECT_TRUE(zqsim::IpcSocketAddress(path, &addr));
    listen_.reset(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    EXPECT_EQ(bind(listen_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(listen(listen_.get(), 8), 0);
  }
  ~FakePeer() { unlink(zqsim::IpcSocketPath(kZqMediaDbEndpoint).c_str()); }

  // Serves one connection on a thread: for each request, `answer` gives the messages to send.
  template <typename F>
  std::thread Serve(F answer) {
    return std::thread([this, answer] {
      UniqueFd c(accept(listen_.get(), nullptr, nullptr));
      uint8_t buf[1500];
      ssize_t n;
      while ((n = recv(c.get(), buf, sizeof buf, 0)) > 0) {
        requests_.emplace_back(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
        for (const std::string& m : answer(requests_.back())) send(c.get(), m.data(), m.size(), 0);
      }
    });
  }
  std::vector<std::string> requests_;

 private:
  UniqueFd listen_;
};

uint32_t TokenOf(const std::string& request) {
  return zq_load_le32(reinterpret_cast<const uint8_t*>(request.data()) + 8);
}

TEST(MediaDbPeer, FolderListingOverSeveralMessages) {
  FakePeer peer;
  std::thread t = peer.Serve([](const std::string& req) {
    std::string first = ReplyHeader(12, 0, 2, 3, TokenOf(req)) + ScanEntry("ZQ010001.MP4", 9, 90);
    return std::vector<std::string>{
        first, ScanEntry("ZQ010002.MP4", 8, 80) + ScanEntry("ZQ010002.LRV", 7, 70)};
  });
  std::vector<DbScanEntry> out;
  EXPECT_EQ(scandirRTOSdb("100TAVRO", &out, 100, AcceptMp4), 2);
  t.join();
  ASSERT_EQ(peer.requests_.size(), 1u);
  std::string expected;
  Le32(&expected, 12);
  Le32(&expected, 1);
  expected += peer.requests_[0].substr(8, 4) + "100TAVRO";
  EXPECT_EQ(peer.requests_[0], expected);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_STREQ(out[1].name, "ZQ010002.MP4");
  EXPECT_EQ(out[1].time, 8u);
  EXPECT_EQ(out[1].size, 80u);
}

TEST(MediaDbPeer, SilentPeerIsRetriedThenGivenUp) {
  FakePeer peer;
  std::thread t = peer.Serve([](const std::string&) { return std::vector<std::string>{}; });
  std::vector<DbScanEntry> out;
  EXPECT_EQ(scandirRTOSdb("100TAVRO", &out, 100, nullptr), -1);
  t.join();                               // the endpoint is closed, so the peer's receive ends
  EXPECT_EQ(peer.requests_.size(), 11u);  // one send per attempt: ten retries
}

TEST(MediaDbPeer, BadFolderAndNoPeer) {
  std::vector<DbScanEntry> out;
  EXPECT_EQ(scandirRTOSdb("100TAVR", &out, 100, nullptr), kDbScanBadFolder);
  EXPECT_EQ(scandirRTOSdb("100TAVRO", &out, 100, nullptr), kDbScanOpenFailed);  // nobody serves
}

// A minimal MP4: a movie box holding a movie header with its creation time and duration.
std::string Mp4(uint32_t unix_time, uint32_t duration_ms) {
  std::string mvhd;
  Be32(&mvhd, 0);  // version 0, flags
  Be32(&mvhd, unix_time + 2082844800u);
  Be32(&mvhd, unix_time + 2082844800u);
  Be32(&mvhd, 1000);
  Be32(&mvhd, duration_ms);
  mvhd.append(80, '\0');
  std::string box;
  Be32(&box, static_cast<uint32_t>(8 + mvhd.size()));
  box += "mvhd" + mvhd;
  std::string moov;
  Be32(&moov, static_cast<uint32_t>(8 + box.size()));
  moov += "moov" + box;
  std::string ftyp;
  Be32(&ftyp, 16);
  ftyp += "ftypisom";
  Be32(&ftyp, 0);
  return ftyp + moov;
}

class SimulatedDb : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(zq_path("/tmp"));
    std::filesystem::remove(zq_path(kZqSimStateDir) + "/mediadb.json");
    folder_ = zq_path(kZqSdCardRoot) + "/DCIM/100TAVRO";
    ASSERT_TRUE(zq_make_dirs(folder_));
    std::string error;
    ASSERT_TRUE(zqsim::MediaDbStart(&error)) << error;
  }
  void TearDown() override {
    zqsim::MediaDbStop();
    std::string error;
    zqsim::MediaDbSetFault("ok", "", &error);
  }
  std::string folder_;
};

TEST_F(SimulatedDb, PagedListOfAVideoWithoutItsFirstChapter) {
  // A video in chapters of 7 s (tags at 1 s and 4 s of each) lacking its first chapter is
  // named after the second, and its tags count from there.
  zqtest::WriteFile(folder_ + "/QH020007.MP4", Mp4(1600000007, 7000));
  zqtest::WriteFile(folder_ + "/QH030007.MP4", Mp4(1600000014, 7000));
  const DbMediaListAnswer a =
      generateMediaList("folder=100TAVRO&files=videogroups&fields=ghi,hc", 58);
  ASSERT_EQ(a.result, DbResult::kOk) << a.message;
  EXPECT_EQ(a.body, "{\"d\":\"100TAVRO\",\"fs\":[{\"n\":\"QH020007.MP4\",\"s\":\"" +
                        std::to_string(2 * Mp4(0, 0).size()) +
                        "\",\"hc\":\"2\",\"g\":\"7\",\"b\":\"2\",\"l\":\"3\",\"m\":[],"
                        "\"ghi\":[1000,4000,8000,11000]}]}\n");
}

// A list entry (40 bytes).
std::string ListEntry(const std::string& dir_and_name, uint32_t type, uint64_t size) {
  std::string e = dir_and_name;
  e.resize(20, '\0');
  Le32(&e, type);
  Le64(&e, size);
  Le32(&e, 1);  // creation
  Le32(&e, 2);  // modification
  return e;
}

// A group record with its length in front: numbers first..last, `missing` of them missing
// as `mask` says; the fields can be made inconsistent on purpose.
std::string GroupRecord(uint32_t group, uint32_t first, uint32_t last, uint32_t num_missing,
                        const std::string& mask, int32_t mask_size = -1, int32_t length = -1) {
  std::string r;
  Le32(&r, group);
  Le32(&r, first);
  Le32(&r, last);
  Le32(&r, num_missing);
  Le64(&r, 5000);
  Le32(&r, mask_size < 0 ? static_cast<uint32_t>(mask.size()) : static_cast<uint32_t>(mask_size));
  r += mask;
  std::string out;
  Le32(&out, length < 0 ? static_cast<uint32_t>(r.size()) : static_cast<uint32_t>(length));
  return out + r;
}

std::string ListReply(uint32_t count, uint32_t start, uint32_t total, const std::string& entries) {
  std::string reply = ReplyHeader(0, 0, count, 1, 5);
  for (uint32_t v : {start, 0u, 0u, total, 1u}) Le32(&reply, v);
  return reply + entries;
}

DbResult Page(const std::string& reply, uint32_t asked, uint32_t options,
              std::vector<DbListEntry>* out) {
  uint32_t total = 0;
  return processQueryResponse(reinterpret_cast<const uint8_t*>(reply.data()), reply.size(), 5,
                              asked, options, &total, out);
}

TEST(MediaDbList, PagesAreTruncatedWhenCountsDisagree) {
  const std::string e = ListEntry("100TAVROTAVR0001.JPG", 4, 99);
  struct Case {
    const char* what;
    uint32_t count, asked, start, total;
    size_t entries;  // in the message
    size_t expected;
  } cases[] = {
      {"as announced", 3, 3, 0, 3, 3, 3},
      {"more returned than asked", 3, 2, 0, 3, 3, 2},
      {"start 10 of 11: one left", 3, 3, 10, 11, 3, 1},
      {"start past the total", 3, 3, 12, 11, 3, 0},
      {"message shorter than the count", 3, 3, 0, 3, 2, 2},
      {"a partial entry is left out", 2, 2, 0, 2, 1, 1},
  };
  for (const Case& c : cases) {
    std::string entries;
    for (size_t i = 0; i < c.entries; ++i) entries += e;
    if (std::string(c.what) == "a partial entry is left out") entries += e.substr(0, 39);
    std::vector<DbListEntry> out;
    uint32_t total = 0;
    const std::string reply = ListReply(c.count, c.start, c.total, entries);
    EXPECT_EQ(processQueryResponse(reinterpret_cast<const uint8_t*>(reply.data()), reply.size(), 5,
                                   c.asked, 0, &total, &out),
              DbResult::kOk)
        << c.what;
    EXPECT_EQ(total, c.total) << c.what;
    ASSERT_EQ(out.size(), c.expected) << c.what;
    if (!out.empty()) {
      EXPECT_EQ(out[0].dir, "100TAVRO");
      EXPECT_EQ(out[0].name, "TAVR0001.JPG");
      EXPECT_EQ(out[0].size, 99u);
      EXPECT_FALSE(out[0].group);
    }
  }
}

// The groups' values on the wire are the end-to-end list's; here the record framing.
TEST(MediaDbList, GroupRecordsAreReadAndTheirMasksChecked) {
  // Burst 1..30 lacking 12; numbers 31..70 lacking 40, 41 and 55; a file of no group.
  std::string mask1(4, '\0'), mask2(5, '\0');
  mask1[11 / 8] = static_cast<char>(1 << (11 % 8));
  for (uint32_t n : {40u, 41u, 55u}) mask2[(n - 31) / 8] |= static_cast<char>(1 << ((n - 31) % 8));
  const std::string good =
      ListEntry("101TAVROQ0010001.JPG", 5, 1) + GroupRecord(1, 1, 30, 1, mask1) +
      ListEntry("101TAVROQ0020031.JPG", 6, 1) + GroupRecord(2, 31, 70, 3, mask2) +
      ListEntry("101TAVROTAVR0090.JPG", 4, 7) + GroupRecord(0, 0, 0, 0, "", 0, 0);
  std::vector<DbListEntry> out;
  ASSERT_EQ(Page(ListReply(3, 0, 3, good), 3, kDbListGrouping, &out), DbResult::kOk);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].size, 5000u);  // the group's size, not the entry's
  EXPECT_EQ(out[1].missing, (std::vector<uint32_t>{40, 41, 55}));
  EXPECT_FALSE(out[2].group);
  // Without grouping asked, the same bytes are not group records: the page is read as plain
  // entries and ends where the bytes no longer make one.
  out.clear();
  ASSERT_EQ(Page(ListReply(1, 0, 1, good), 1, 0, &out), DbResult::kOk);
  EXPECT_FALSE(out[0].group);

  // Near misses (one per check): each fails the page, since the entries after it cannot be
  // found.
  const std::string entry = ListEntry("101TAVROQ0010001.JPG", 5, 1);
  struct Bad {
    const char* what;
    std::string record;
  } bad[] = {
      {"mask one byte short", GroupRecord(1, 1, 30, 1, mask1.substr(0, 3))},
      {"length beyond the message", GroupRecord(1, 1, 30, 1, mask1, -1, 200)},
      {"last before first", GroupRecord(1, 30, 1, 0, "")},
      {"missing count not the mask's", GroupRecord(1, 1, 30, 2, mask1)},
      {"span past the limit",
       GroupRecord(1, 1, kDbMaxGroupSpan + 1, 0, std::string((kDbMaxGroupSpan + 8) / 8, '\0'))},
  };
  for (const Bad& b : bad) {
    out.clear();
    EXPECT_EQ(Page(ListReply(1, 0, 1, entry + b.record), 1, kDbListGrouping, &out),
              DbResult::kBadReply)
        << b.what;
    EXPECT_TRUE(out.empty()) << b.what;
  }
  // The limit itself is a group.
  out.clear();
  const std::string widest =
      GroupRecord(1, 1, kDbMaxGroupSpan, 0, std::string(kDbMaxGroupSpan / 8, '\0'));
  EXPECT_EQ(Page(ListReply(1, 0, 1, entry + widest), 1, kDbListGrouping, &out), DbResult::kOk);
}

TEST(MediaDbPeer, ListRequestsCarryTheirOptionsAndSelectors) {
  struct Case {
    const char* what;
    DbResult (*call)(uint32_t* total, std::vector<DbListEntry>* out);
    std::vector<uint32_t> words;  // after the header's command and count
  } cases[] = {
      {"paged list: 24 bytes, options as given",
       [](uint32_t* t, std::vector<DbListEntry>* o) {
         return dbGetPagedList(7, 9, 1, 0x200, t, o);
       },
       {7, 1, 0x200}},
      {"cloud list: videos and photos when no class is given, the selectors in the params",
       [](uint32_t* t, std::vector<DbListEntry>* o) {
         return dbGetCAHList(3, 9, kDbListGrouping, kDbQueryGroups, {true, 5, kDbOffloadPc}, t, o);
       },
       {3, kDbListGrouping, kDbQueryGroups | kDbQueryVideos | kDbQueryPhotos | 0x1000 | 0x2000, 5,
        kDbOffloadPc}},
      {"cloud list: status 0 is a selector too; never the session files",
       [](uint32_t* t, std::vector<DbListEntry>* o) {
         return dbGetCAHList(0, 9, 0, kDbQueryPhotos | RTOS_DB_QUERY_METADATA_SESSION_FILES,
                             {true, 0, 0}, t, o);
       },
       {0, 0, kDbQueryPhotos | 0x1000, 0, 0}},
      {"session files: their class and the selectors",
       [](uint32_t* t, std::vector<DbListEntry>* o) {
         return dbGetCAHSessionFileList(2, 9, {false, 0, kDbOffloadApp | kDbOffloadOther}, t, o);
       },
       {2, 0, 0x400 | 0x2000, 0, kDbOffloadApp | kDbOffloadOther}},
  };
  for (const Case& c : cases) {
    FakePeer peer;
    std::thread t = peer.Serve([](const std::string& req) {
      return std::vector<std::string>{ReplyHeader(0, 0, 0, 1, TokenOf(req)) +
                                      std::string(20, '\0')};
    });
    uint32_t total = 0;
    std::vector<DbListEntry> out;
    EXPECT_EQ(c.call(&total, &out), DbResult::kOk) << c.what;
    t.join();
    ASSERT_EQ(peer.requests_.size(), 1u) << c.what;  // a list query is not repeated
    std::string expected;
    Le32(&expected, 0);
    Le32(&expected, 9);
    expected += peer.requests_[0].substr(8, 4);
    for (uint32_t w : c.words) Le32(&expected, w);
    EXPECT_EQ(peer.requests_[0], expected) << c.what;
  }
}

}  // namespace
