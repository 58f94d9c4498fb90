#include "zqcommon/zqMediaNames.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ZqMediaNames, FoldersByNumberAndType) {
  const struct {
    const char* name;
    int number;
    char type;
  } cases[] = {
      {"100TAVRO", 100, 'T'}, {"999Q3D_L", 999, 'L'}, {"100Q3D_R", 100, 'R'},
      {"123QFRNT", 123, 'F'}, {"100QBACK", 100, 'B'}, {"100OTHER", 100, 0},
      {"099TAVRO", -1, 0},    {"1000TAVRO", 100, 0},  {"10", -1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(zq_media_folder_number(c.name), c.number) << c.name;
    EXPECT_EQ(zq_media_folder_type(c.name), c.type) << c.name;
    if (c.type != 0) {
      EXPECT_EQ(std::string(c.name).substr(3), zq_media_folder_suffix(c.type)) << c.name;
    }
  }
  EXPECT_STREQ(zq_media_folder_suffix('X'), "TAVRO");
}

TEST(ZqMediaNames, FileNamesExtensionsAndNumbers) {
  EXPECT_EQ(zq_media_extension("ZQ010001.MP4"), "MP4");
  EXPECT_EQ(zq_media_extension("ZQ010001_MP4"), "");
  EXPECT_EQ(zq_media_extension("ZQ01001.MP4"), "");
  EXPECT_TRUE(zq_media_name_is("TAVR0001.JPG", "JPG"));
  EXPECT_FALSE(zq_media_name_is("TAVR001A.JPG", "JPG"));  // the number is four digits
  EXPECT_EQ(zq_media_file_number("ZQ010123.MP4"), 123);
  EXPECT_EQ(zq_media_file_number("ZQ01"), -1);
  EXPECT_EQ(zq_media_thumbnail_of("100TAVRO/ZQ010001.MP4"), "100TAVRO/ZQ010001.THM");
  EXPECT_TRUE(zq_media_has_suffix("a/TAVR0001.jpeg", ".JPEG"));
  EXPECT_FALSE(zq_media_has_suffix(".MP4", ".MP4"));  // nothing before the suffix
  EXPECT_FALSE(zq_media_has_suffix("TAVR0001.MP", ".MP4"));
}

TEST(ZqMediaNames, ChaptersOfClips) {
  EXPECT_EQ(zq_media_chapter("ZQ010001.MP4"), 1);
  EXPECT_EQ(zq_media_chapter("QB990001.LRV"), 99);
  EXPECT_EQ(zq_media_chapter("ZQ010001.JPG"), -1);
  EXPECT_EQ(zq_media_chapter("TAVR0001.MP4"), -1);
  EXPECT_EQ(zq_media_chapter_name(0, 5, "MP4"), "TAVR0005.MP4");
  EXPECT_EQ(zq_media_chapter_name(2, 5, "LRV"), "ZQ020005.LRV");
  EXPECT_EQ(zq_media_chapter(zq_media_chapter_name(42, 17, "MP4")), 42);
}

TEST(ZqMediaNames, PhotoGroups) {
  EXPECT_EQ(zq_media_group_id("Q0010001.JPG"), 1);
  EXPECT_EQ(zq_media_group_id("R9990001.ZQR"), 999);
  EXPECT_EQ(zq_media_group_id("Q0000001.JPG"), -1);
  EXPECT_EQ(zq_media_group_id("ZQAB0001.JPG"), 1002);
  EXPECT_EQ(zq_media_group_id("QMZZ0001.JPG"), 25 * 26 + 25 + 1001);
  EXPECT_EQ(zq_media_group_id("ZQ000001.JPG"), -1);
  EXPECT_EQ(zq_media_group_id("ZQ070001.ZQR"), -1);
  EXPECT_EQ(zq_media_group_id("TAVR0001.JPG"), -1);
}

TEST(ZqMediaNames, FrontLensTwinOfABackLensFile) {
  const struct {
    const char* in;
    bool twin;
    const char* out;
  } cases[] = {
      {"p=del&f=100QBACK/QB010021.MP4", true, "p=del&f=100QFRNT/QF010021.MP4"},
      {"100QBACK/ZQBK0021.JPG", true, "100QFRNT/ZQFR0021.JPG"},
      {"100QBACK/TAVR0021.JPG", false, nullptr},
      {"100TAVRO/QB010021.MP4", false, "100TAVRO/QB010021.MP4"},
  };
  for (const auto& c : cases) {
    std::string text = c.in;
    EXPECT_EQ(zq_media_front_lens_twin(&text), c.twin) << c.in;
    if (c.out != nullptr) {
      EXPECT_EQ(text, c.out);
    }
  }
}

}  // namespace
