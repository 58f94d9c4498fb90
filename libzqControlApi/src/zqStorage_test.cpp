#include "zqcontrolapi/zqStorage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zqSimTestSupport.h"
#include "zqcommon/zqErrors.h"
#include "zqcontrolapi/zqRecord.h"
#include "zqsim/SimState.h"

namespace {

using zqsimtest::Sent;
using zqsimtest::TakeJournal;

std::string Path257(const std::string& path) {
  std::string hex = zq_hex(std::span(reinterpret_cast<const uint8_t*>(path.data()), path.size()));
  return hex + std::string(2 * (257 - path.size()), '0');
}

TEST(ZqStorage, PathRecordsHoldRelativePathsInsideTheCard) {
  std::array<uint8_t, kZqPathRecordSize> record;
  ASSERT_TRUE(zq_path_record("100TAVRO/ZQ010001.MP4", &record));
  EXPECT_EQ(zq_hex(record), Path257("100TAVRO/ZQ010001.MP4"));
  const std::string longest = "100TAVRO/" + std::string(247, 'a');
  ASSERT_TRUE(zq_path_record(longest, &record));
  EXPECT_EQ(record[255], 'a');
  EXPECT_EQ(record[256], 0);
  for (const std::string& bad :
       {longest + "a", std::string("/tmp/fuse_d/DCIM/100TAVRO/A.MP4"),
        std::string("100TAVRO/../../etc"), std::string("a\0b", 3), std::string("100TAVRO/")}) {
    EXPECT_FALSE(zq_path_record(bad, &record)) << bad;
  }
}

TEST(ZqStorage, TagRecordLayout) {
  const auto record = zq_tag_record(1, "100TAVRO/ZQ010001.MP4", -2);
  ASSERT_EQ(record.size(), 268u);
  ZqRecordReader r(record);
  EXPECT_EQ(r.U32(0), 1u);
  EXPECT_EQ(r.Text(4, 256), "100TAVRO/ZQ010001.MP4");
  EXPECT_EQ(r.I32(264), -2);
  EXPECT_EQ(zq_hex(r.Bytes(25, 239)), std::string(478, '0'));
}

TEST(ZqStorage, TagQueriesNeedAnOffsetForVideosOnly) {
  struct Case {
    const char* query;
    int32_t status;
    uint32_t enable;
    int32_t offset;
    bool photo;
  };
  const Case cases[] = {
      {"p=100TAVRO/TAVR0003.JPG", 0, 1, 0, true},
      {"p=100TAVRO/TAVR0003.JPG&tag_enable=0", 0, 0, 0, true},
      {"p=100TAVRO/ZQ010001.MP4&tag=1500", 0, 1, 1500, false},
      {"tag=-5&p=100TAVRO/ZQ010001.MP4&tag_enable=1", 0, 1, -5, false},
      {"p=100TAVRO/ZQ010001.MP4", ZQ_ERR_INVALID_PARAM, 0, 0, false},
      {"p=100TAVRO/ZQ010001.MP4&tag=1.5", ZQ_ERR_INVALID_PARAM, 0, 0, false},
      {"p=100TAVRO/TAVR0003.JPG&tag_enable=2", ZQ_ERR_INVALID_PARAM, 0, 0, false},
      {"tag=1", ZQ_ERR_INVALID_PARAM, 0, 0, false},
  };
  for (const Case& c : cases) {
    ZqTagRequest r;
    ASSERT_EQ(zq_tag_parse(c.query, &r), c.status) << c.query;
    if (c.status != 0) continue;
    EXPECT_EQ(r.tag_enable, c.enable) << c.query;
    EXPECT_EQ(r.offset_ms, c.offset) << c.query;
    EXPECT_EQ(r.photo, c.photo) << c.query;
  }
}

// The entries' layout and the form's decoding are on the wire end to end.
TEST(ZqStorage, DeleteListLinesBecomeEntries) {
  std::vector<uint8_t> entries;
  // Any flag other than "1" is 0.
  ASSERT_TRUE(zq_delete_list_entries("A.JPG,yes", &entries));
  EXPECT_EQ(zq_hex(entries),
            "00" + zq_hex(std::vector<uint8_t>{'A', '.', 'J', 'P', 'G'}) + std::string(34, '0'));
  for (const char* bad : {"", "A.JPG,1\nB.JPG", "100TAVRO/ZQ010001.MP4X,1", "../A.JPG,1", ",1"}) {
    EXPECT_FALSE(zq_delete_list_entries(bad, &entries)) << bad;
  }
  std::string filelist;
  EXPECT_FALSE(zq_delete_list_form_value("list=A.JPG,1", &filelist));
}

class ZqStorageCommands : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zqsim::ResetCamera());
    TakeJournal();
  }
};

TEST_F(ZqStorageCommands, DeletesAndTagsSendTheirRecords) {
  zqsimtest::FailCommand(9, ZQ_ERR_NAK);
  zqsimtest::FailCommand(11, ZQ_ERR_NAK);
  zqsimtest::FailCommand(8, ZQ_ERR_NAK);
  EXPECT_EQ(zq_storage_delete("p=100TAVRO/ZQ010001.MP4", false), ZQ_ERR_NAK);
  EXPECT_EQ(zq_storage_delete("p=101TAVRO/Q0010001.JPG", true), ZQ_ERR_NAK);
  // The service's answer to a tag is not the request's.
  EXPECT_EQ(zq_storage_tag("p=100TAVRO/ZQ010001.MP4&tag=20"), ZQ_OK);
  EXPECT_EQ(
      TakeJournal(),
      (std::vector<Sent>{{9, Path257("100TAVRO/ZQ010001.MP4"), ZQ_ERR_NAK},
                         {11, Path257("101TAVRO/Q0010001.JPG"), ZQ_ERR_NAK},
                         {8, zq_hex(zq_tag_record(1, "100TAVRO/ZQ010001.MP4", 20)), ZQ_ERR_NAK}}));
  EXPECT_EQ(zqsimtest::StatusBytes(92), "\x01");

  for (const char* bad : {"p=", "p=a/../b", "p=1&p=2"}) {
    EXPECT_EQ(zq_storage_delete(bad, false), ZQ_ERR_INVALID_PARAM) << bad;
    EXPECT_EQ(zq_storage_delete(bad, true), ZQ_ERR_INVALID_PARAM) << bad;
  }
  EXPECT_EQ(zq_storage_tag("p=100TAVRO/ZQ010001.MP4"), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(send_delete_file(nullptr), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(TakeJournal(), std::vector<Sent>{});
}

}  // namespace
