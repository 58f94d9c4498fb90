#include "zqmedialist/zqMediaListWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

MediaListRecord Rec(const char* name, uint64_t size, uint64_t time = 0, uint16_t folder = 100,
                    char type = 'T') {
  MediaListRecord r = {};
  r.folder = folder;
  r.type = type;
  memcpy(r.name, name, strnlen(name, 12));
  r.size = size;
  r.time = time;
  return r;
}

std::string Write(std::vector<MediaListRecord> records) {
  std::string json;
  writeAllMediaFolders(&json, records.data(), static_cast<uint32_t>(records.size()));
  return json;
}

std::string Folder(const std::string& items, const char* d = "100TAVRO") {
  return std::string("{\"d\":\"") + d + "\",\"fs\":[" + items + "]}";
}

TEST(MediaListWriter, BurstWithAGapIsOneGroup) {
  std::vector<MediaListRecord> recs;
  for (int i = 30; i >= 1; --i) {  // any order: the folder is sorted
    if (i == 12) continue;
    char name[32];
    snprintf(name, sizeof name, "Q001%04d.JPG", i);
    recs.push_back(Rec(name, 10, i == 1 ? 555 : 0));
  }
  EXPECT_EQ(Write(recs),
            Folder("{\"n\":\"Q0010001.JPG\",\"g\":\"1\",\"b\":\"1\",\"l\":\"30\",\"cre\":\"555\","
                   "\"mod\":\"555\",\"s\":\"290\",\"t\":\"b\",\"m\":[\"12\"]}"));
  // 31 numbers in the span make a time-lapse.
  recs.push_back(Rec("Q0010031.JPG", 10));
  recs.push_back(Rec("Q0010031.ZQR", 99));  // a raw frame flags the group, adds no size
  EXPECT_EQ(Write(recs),
            Folder("{\"n\":\"Q0010001.JPG\",\"g\":\"1\",\"b\":\"1\",\"l\":\"31\",\"cre\":\"555\","
                   "\"mod\":\"555\",\"raw\":\"1\",\"s\":\"300\",\"t\":\"t\",\"m\":[\"12\"]}"));
}

TEST(MediaListWriter, GroupBreaks) {
  // A different group id, or a lower number, starts a new group; a single-frame group has
  // span 0 and is a burst.
  EXPECT_EQ(Write({Rec("Q0010001.JPG", 1), Rec("Q0020002.JPG", 2), Rec("Q0010003.JPG", 3)}),
            Folder("{\"n\":\"Q0010001.JPG\",\"g\":\"1\",\"b\":\"1\",\"l\":\"1\",\"s\":\"1\",\"t\":"
                   "\"b\",\"m\":[]},"
                   "{\"n\":\"Q0020002.JPG\",\"g\":\"2\",\"b\":\"2\",\"l\":\"2\",\"s\":\"2\",\"t\":"
                   "\"b\",\"m\":[]},"
                   "{\"n\":\"Q0010003.JPG\",\"g\":\"1\",\"b\":\"3\",\"l\":\"3\",\"s\":\"3\",\"t\":"
                   "\"b\",\"m\":[]}"));
}

TEST(MediaListWriter, NewStyleClipWithCompanionsAndItsSecondChapter) {
  EXPECT_EQ(
      Write({Rec("QH020005.MP4", 200, 7), Rec("QH010005.WAV", 30), Rec("QL010005.LRV", 20),
             Rec("QH010005.MP4", 100, 6)}),
      Folder("{\"n\":\"QH010005.MP4\",\"cre\":\"6\",\"mod\":\"6\",\"qlrv\":\"20\",\"pta\":\"1\","
             "\"ls\":\"-1\",\"s\":\"100\"},"
             "{\"n\":\"QH020005.MP4\",\"cre\":\"7\",\"mod\":\"7\",\"ls\":\"-1\",\"s\":\"200\"}"));
}

TEST(MediaListWriter, ChaptersSortByNumberThenChapter) {
  EXPECT_EQ(
      Write({Rec("ZQ110002.MP4", 5), Rec("ZQ020002.MP4", 4), Rec("ZQ010002.MP4", 3),
             Rec("ZQ000002.MP4", 2), Rec("TAVR0002.JPG", 1), Rec("ZQ010001.MP4", 9),
             Rec("ZQ010001.LRV", 8)}),
      Folder(
          "{\"n\":\"ZQ010001.MP4\",\"ls\":\"8\",\"s\":\"9\"},"
          "{\"n\":\"TAVR0002.JPG\",\"s\":\"1\"},{\"n\":\"ZQ000002.MP4\",\"ls\":\"-1\",\"s\":\"2\"},"
          "{\"n\":\"ZQ010002.MP4\",\"ls\":\"-1\",\"s\":\"3\"},{\"n\":\"ZQ020002.MP4\",\"ls\":\"-"
          "1\",\"s\":\"4\"},"
          "{\"n\":\"ZQ110002.MP4\",\"ls\":\"-1\",\"s\":\"5\"}"));
}

TEST(MediaListWriter, SlotsPrimaryAndCompanions) {
  // Photo with raw; proxy alone is nothing; several Q-slots of one chapter: QX is
  // primary. "QG" names carry no chapter, so a QG clip is an item of its own.
  EXPECT_EQ(Write({Rec("TAVR0001.JPG", 10), Rec("TAVR0001.ZQR", 20), Rec("TAVR0002.LRV", 5),
                   Rec("QX010003.MP4", 1), Rec("QM010003.360", 2), Rec("QS010003.MP4", 3),
                   Rec("QG010003.MP4", 4), Rec("ZQ010003.MRV", 6)}),
            Folder("{\"n\":\"TAVR0001.JPG\",\"raw\":\"1\",\"s\":\"10\"},"
                   "{\"n\":\"QG010003.MP4\",\"ls\":\"-1\",\"s\":\"4\"},"
                   "{\"n\":\"QX010003.MP4\",\"qm\":\"2\",\"qs\":\"3\",\"ms\":\"6\","
                   "\"ls\":\"-1\",\"s\":\"1\"}"));
  // A 360 clip with its proxy; names starting with "." are skipped.
  EXPECT_EQ(Write({Rec("ZQ010004.360", 7), Rec("ZQ010004.LRV", 3), Rec(".Q010004.MP4", 1)}),
            Folder("{\"n\":\"ZQ010004.360\",\"ls\":\"3\",\"s\":\"7\"}"));
}

TEST(MediaListWriter, FoldersByNumberAndTypeOrder) {
  EXPECT_EQ(Write({Rec("TAVR0001.JPG", 1, 0, 101), Rec("TAVR0002.JPG", 2, 0, 100, 'R'),
                   Rec("TAVR0003.JPG", 3, 0, 100, 'B'), Rec("TAVR0004.JPG", 4, 0, 100),
                   Rec("TAVR0005.JPG", 5, 0, 100, 'F'), Rec("TAVR0006.JPG", 6, 0, 100, 'L')}),
            Folder("{\"n\":\"TAVR0004.JPG\",\"s\":\"4\"}") + "," +
                Folder("{\"n\":\"TAVR0001.JPG\",\"s\":\"1\"}", "101TAVRO") + "," +
                Folder("{\"n\":\"TAVR0002.JPG\",\"s\":\"2\"}", "100Q3D_R") + "," +
                Folder("{\"n\":\"TAVR0006.JPG\",\"s\":\"6\"}", "100Q3D_L") + "," +
                Folder("{\"n\":\"TAVR0005.JPG\",\"s\":\"5\"}", "100QFRNT") + "," +
                Folder("{\"n\":\"TAVR0003.JPG\",\"s\":\"3\"}", "100QBACK"));
  EXPECT_EQ(Write({}), "");
}

TEST(MediaListWriter, NamesAreEscaped) {
  EXPECT_EQ(Write({Rec("\"\\\x01R0001.JPG", 1)}),
            Folder("{\"n\":\"\\\"\\\\\\u0001R0001.JPG\",\"s\":\"1\"}"));
}

}  // namespace
