#include "zqcontrolapi/zqTranscode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zqSimTestSupport.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqcontrolapi/zqRecord.h"
#include "zqsim/SimState.h"

namespace {

using zqsimtest::Sent;
using zqsimtest::TakeJournal;

TEST(ZqTranscode, VideoRequestFieldsSitAtTheirOffsets) {
  ZqTranscodeVideo v;
  ASSERT_EQ(zq_transcode_video_parse(
                "source=100TAVRO/ZQ010001.MP4&res=9&fps_divisor=2&in_ms=1000&out_ms=3000&lrv=1&"
                "idr=4&gop_m=5&gop_n=6&bitrate=7000000",
                &v),
            0);
  EXPECT_EQ(v.source, "100TAVRO\\ZQ010001.MP4");
  const auto bytes = zq_transcode_video_bytes(v);
  ZqRecordReader r(bytes);
  EXPECT_EQ(r.Text(0, 256), "100TAVRO\\ZQ010001.MP4");
  EXPECT_EQ(zq_hex(r.Bytes(256, 8)), "0000000000000000");
  const uint32_t want[] = {1, 1, 9, 2, 1000, 3000, 4, 5, 6, 7000000};
  for (size_t i = 0; i < std::size(want); ++i) EXPECT_EQ(r.U32(264 + 4 * i), want[i]) << i;

  // Optional fields are 0 when not given; a 256-character source fills its field.
  const std::string longest = "100TAVRO/" + std::string(247, 'a');
  ASSERT_EQ(zq_transcode_video_parse(
                ("source=" + longest + "&res=1&fps_divisor=1&in_ms=0&out_ms=1").c_str(), &v),
            0);
  const auto full = zq_transcode_video_bytes(v);
  EXPECT_EQ(full[255], 'a');
  EXPECT_EQ(ZqRecordReader(full).U32(264), 0u);
  EXPECT_EQ(ZqRecordReader(full).U32(288), 0u);
}

TEST(ZqTranscode, VideoRequestsRefuseMissingOrBadParameters) {
  const std::string base = "source=A/B.MP4&res=1&fps_divisor=1&in_ms=0&out_ms=1";
  ZqTranscodeVideo v;
  ASSERT_EQ(zq_transcode_video_parse(base.c_str(), &v), 0);
  for (const std::string& bad :
       {std::string("res=1&fps_divisor=1&in_ms=0&out_ms=1"), base + "&idr=-1",
        base + "&bitrate=99999999999", std::string("source=A/B.MP4&res=1&fps_divisor=1&in_ms=0"),
        "source=" + std::string(257, 'a') + "&res=1&fps_divisor=1&in_ms=0&out_ms=1",
        std::string("source=../B.MP4&res=1&fps_divisor=1&in_ms=0&out_ms=1"), base + "&res=2"}) {
    EXPECT_EQ(zq_transcode_video_parse(bad.c_str(), &v), ZQ_ERR_INVALID_PARAM) << bad;
  }
}

TEST(ZqTranscode, PhotoRequestFieldsSitAtTheirOffsets) {
  ZqTranscodePhoto p;
  ASSERT_EQ(zq_transcode_photo_parse("source=101TAVRO/Q0010001.JPG&sc=30&res=12", &p), 0);
  const auto bytes = zq_transcode_photo_bytes(p);
  ASSERT_EQ(bytes.size(), 280u);
  ZqRecordReader r(bytes);
  EXPECT_EQ(r.Text(0, 256), "101TAVRO\\Q0010001.JPG");
  EXPECT_EQ(r.U32(256), 0u);
  EXPECT_EQ(r.U32(260), 1u);
  EXPECT_EQ(r.U32(264), 30u);
  EXPECT_EQ(r.U32(268), 12u);
  EXPECT_EQ(zq_hex(r.Bytes(272, 8)), "0000000000000000");
  EXPECT_EQ(zq_transcode_photo_parse("source=A.JPG&sc=x&res=1", &p), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(zq_transcode_photo_parse("source=A.JPG&sc=3", &p), ZQ_ERR_INVALID_PARAM);
}

// A record as the camera sends it.
std::vector<uint8_t> Record(const std::string& source, int64_t id, int32_t status, int32_t reason,
                            uint32_t estimate, uint32_t completion, const std::string& output) {
  std::vector<uint8_t> b(kZqTranscodeRecordSize);
  ZqRecordWriter w(b);
  w.PutText(0, 256, source);
  w.Put(264, static_cast<uint64_t>(id), 8);
  w.Put(272, static_cast<uint32_t>(status), 4);
  w.Put(276, static_cast<uint32_t>(reason), 4);
  w.Put(280, estimate, 4);
  w.Put(284, completion, 4);
  w.PutText(288, 264, output);
  return b;
}

TEST(ZqTranscode, RecordsAreReadAndWrittenWithSlashes) {
  ZqTranscodeRecord r;
  ASSERT_TRUE(zq_transcode_record_parse(
      Record("100TAVRO\\ZQ010001.MP4", 0x100000002, 1, -2, 30, 45, "100TAVRO/TRAN0001.MP4"), &r));
  EXPECT_EQ(r.source, "100TAVRO/ZQ010001.MP4");
  EXPECT_EQ(r.id, 0x100000002);
  std::string text;
  serialize_transcode_status(text, r);
  EXPECT_EQ(text,
            "{\"id\":4294967298,\"source\":\"100TAVRO/ZQ010001.MP4\",\"status\":1,"
            "\"failure_reason\":-2,\"estimate\":30,\"completion\":45,"
            "\"output\":\"100TAVRO/TRAN0001.MP4\"}");
  EXPECT_EQ(zq_transcode_status_body(r), "\n{\"status\":" + text + "}\n");
  EXPECT_FALSE(zq_transcode_record_parse(std::vector<uint8_t>(551), &r));

  // A source with a quote still gives a valid document.
  ASSERT_TRUE(zq_transcode_record_parse(Record("a\"b", 1, 0, 0, 0, 0, ""), &r));
  EXPECT_TRUE(nlohmann::json::accept(zq_transcode_status_body(r)));
}

TEST(ZqTranscode, HistoryListsTheRecordsWithASource) {
  ZqTranscodeRecord a, empty;
  a.source = "A.MP4";
  a.id = 1;
  const ZqTranscodeRecord one_empty[] = {a, empty};
  const ZqTranscodeRecord two_empty[] = {empty, empty};
  EXPECT_EQ(nlohmann::json::parse(zq_transcode_history_body(one_empty))["history"].size(), 1u);
  EXPECT_EQ(zq_transcode_history_body(two_empty), "\n{\"history\":[]}\n");
}

class ZqTranscodeCommands : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zqsim::ResetCamera());
    TakeJournal();
  }
};

TEST_F(ZqTranscodeCommands, RefusalsAreReportedApartFromParameterErrors) {
  zqsimtest::FailCommand(46, ZQ_ERR_INVALID_PARAM);
  std::string body;
  bool refused = false;
  EXPECT_EQ(zq_transcode_video_to_video("source=A/B.MP4&res=1&fps_divisor=1&in_ms=0&out_ms=1",
                                        &body, &refused),
            ZQ_ERR_INVALID_PARAM);
  EXPECT_TRUE(refused);
  EXPECT_EQ(TakeJournal().size(), 1u);
  EXPECT_EQ(zq_transcode_video_to_video("source=A/B.MP4", &body, &refused), ZQ_ERR_INVALID_PARAM);
  EXPECT_FALSE(refused);
  EXPECT_EQ(zq_transcode_status("id=x", false, &body), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(zq_transcode_status("", true, &body), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(TakeJournal(), std::vector<Sent>{});

  zqsimtest::FailCommand(49, ZQ_ERR_NAK);
  EXPECT_EQ(zq_transcode_status("id=-1", false, &body), ZQ_ERR_NAK);
  EXPECT_EQ(TakeJournal(), (std::vector<Sent>{{49, "ffffffffffffffff", ZQ_ERR_NAK}}));
}

}  // namespace
