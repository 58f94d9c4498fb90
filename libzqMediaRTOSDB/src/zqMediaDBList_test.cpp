#include "zqmediadb/zqMediaDBList.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MediaDbListQuery, RulesNearMissesAndBadValues) {
  constexpr uint32_t kMedia = kDbQueryVideos | kDbQueryPhotos;
  struct Case {
    const char* query;
    int status;
    const char* message;  // for a refusal
    uint32_t options;     // for 200
    uint64_t mask = 0;    // for 200
  } cases[] = {
      // The folder.
      {nullptr, 400, "Required field 'folder' missing", 0},
      {"", 400, "Required field 'folder' missing", 0},
      {"folders=100TAVRO", 400, "Required field 'folder' missing", 0},
      {"folder=", 400, "Required field 'folder' has no value", 0},
      {"folder=100TAVRO&folder=100TAVRO", 400, "Field 'folder' found multiple times", 0},
      {"folder=100TAVRO", 200, "", kMedia},
      {"folder=%31%30%30TAVRO", 200, "", kMedia},  // decoded first
      {"folder=999QBACK", 200, "", kMedia},
      {"folder=100QFRNT", 200, "", kMedia},
      {"folder=100Q3D_L", 200, "", kMedia},
      {"folder=100tavro", 400, "invalid directory name: dir:'100tavro'", 0},
      {"folder=099TAVRO", 400, "invalid directory name: dir:'099TAVRO'", 0},
      {"folder=1000TAVRO", 400, "invalid directory name: dir:'1000TAVRO'", 0},
      {"folder=100TAVR", 400, "invalid directory name: dir:'100TAVR'", 0},
      {"folder=../TAVRO", 400, "invalid directory name: dir:'../TAVRO'", 0},
      {"folder=100TAVRO/", 400, "invalid directory name: dir:'100TAVRO/'", 0},
      // What to list.
      {"folder=100TAVRO&files=none", 200, "", kMedia},
      {"folder=100TAVRO&files=clips", 200, "", kMedia | kDbQuerySingles},
      {"folder=100TAVRO&files=photoclips", 200, "", kDbQueryPhotos | kDbQuerySingles},
      {"folder=100TAVRO&files=videohighlights", 200, "", kDbQueryVideos | kDbQueryHighlights},
      {"folder=100TAVRO&files=groups", 200, "", kMedia | kDbQueryGroups},
      {"folder=100TAVRO&files=photos", 200, "", kDbQueryPhotos},
      {"folder=100TAVRO&files=video", 200, "", kDbQueryVideos},
      {"folder=100TAVRO&files=sessions", 200, "", RTOS_DB_QUERY_METADATA_SESSION_FILES},
      {"folder=100TAVRO&files=videos", 501, "files=videos not implemented", 0},
      {"folder=100TAVRO&files=Clips", 501, "files=Clips not implemented", 0},
      {"folder=100TAVRO&files=", 400, "Required field 'files' has no value", 0},
      {"folder=100TAVRO&files=clips&files=groups", 400, "Field 'files' found multiple times", 0},
      // Upload selectors.
      {"folder=100TAVRO&upload=31", 200, "", kMedia},
      {"folder=100TAVRO&upload=32", 400, "upload=32 is an invalid value", 0},
      {"folder=100TAVRO&upload=-1", 400, "upload=-1 is an invalid value", 0},
      {"folder=100TAVRO&upload=%2B1", 400, "upload=+1 is an invalid value", 0},
      {"folder=100TAVRO&upload=+1", 400, "upload= 1 is an invalid value", 0},
      {"folder=100TAVRO&upload=1x", 400, "upload=1x is an invalid value", 0},
      {"folder=100TAVRO&upload=99999999999999999999", 400,
       "upload=99999999999999999999 is an invalid value", 0},
      {"folder=100TAVRO&offload=pc", 200, "", kMedia},
      {"folder=100TAVRO&offload=PC", 501, "offload=PC not implemented", 0},
      {"folder=100TAVRO&offload=app,pc", 501, "offload=app,pc not implemented", 0},
      // Fields.
      {"folder=100TAVRO&fields=mod,cre", 200, "", kMedia, 0x6},
      {"folder=100TAVRO&fields=us,mos,umid,pumid", 200, "", kMedia,
       0x8000 | (uint64_t{1} << 34) | 0x1000 | 0x2000},
      {"folder=100TAVRO&fields=ghc,ghi,legacy", 200, "", kMedia, 0},
      {"folder=100TAVRO&fields=mod,size,cre,s", 501, "fields=size,s not implemented", 0},
      {"folder=100TAVRO&fields=mod,", 501, "fields= not implemented", 0},
      {"folder=100TAVRO&fields=,,mod", 501, "fields=, not implemented", 0},
      {"folder=100TAVRO&fields=MOD", 501, "fields=MOD not implemented", 0},
      {"folder=100TAVRO&fields=", 400, "Required field 'fields' has no value", 0},
      // The folder is checked first; other keys are ignored.
      {"files=bogus", 400, "Required field 'folder' missing", 0},
      {"folder=100TAVRO&x=1&page=2", 200, "", kMedia},
  };
  for (const Case& c : cases) {
    const std::string what = c.query != nullptr ? c.query : "(none)";
    DbMediaListQuery q;
    std::string message;
    ASSERT_EQ(db_parse_media_list_query(c.query, &q, &message), c.status) << what;
    if (c.status != 200) {
      EXPECT_EQ(message, c.message) << what;
      continue;
    }
    EXPECT_EQ(q.query_options, c.options) << what;
    EXPECT_EQ(q.field_mask, c.mask) << what;
  }

  DbMediaListQuery q;
  std::string message;
  ASSERT_EQ(db_parse_media_list_query("offload=other&upload=0&folder=101Q3D_R&fields=ghi,legacy",
                                      &q, &message),
            200);
  EXPECT_EQ(q.folder, "101Q3D_R");
  EXPECT_TRUE(q.upload.by_status);
  EXPECT_EQ(q.upload.status, 0u);
  EXPECT_EQ(q.upload.not_offloaded, uint32_t{kDbOffloadOther});
  EXPECT_FALSE(q.group_tags);
  EXPECT_TRUE(q.group_times);
  EXPECT_TRUE(q.legacy);
  EXPECT_FALSE(q.sessions);
}

TEST(MediaDbListQuery, EntryNamesByModelAndLegacy) {
  auto entry = [](const char* name, uint32_t type, bool group) {
    DbListEntry e;
    e.dir = "100TAVRO";
    e.name = name;
    e.content_type = type;
    e.group = group;
    e.group_number = 12;
    e.first = 3;
    e.last = 5;
    return e;
  };
  struct Case {
    DbListEntry entry;
    int model;
    bool legacy;
    const char* name;
  } cases[] = {
      // Files keep their names.
      {entry("QH010012.MP4", 0, false), 58, true, "QH010012.MP4"},
      {entry("TAVR0012.JPG", 4, false), 58, true, "TAVR0012.JPG"},
      // Chaptered videos: from the file number and the first chapter.
      {entry("QH030012.MP4", 0, true), 58, false, "QH030012.MP4"},
      {entry("QX030012.360", 13, true), 58, false, "QX030012.360"},
      {entry("QX030012.360", 14, true), 61, false, "QX030012.360"},
      {entry("QH030012.MP4", 0, true), 58, true, "ZQ030012.MP4"},
      {entry("QH030012.MP4", 0, true), 22, false, "ZQ030012.MP4"},
      {entry("ZQ030012.MP4", 0, true), 58, false, "ZQ030012.MP4"},
      // Photo groups: the first photo, or the legacy group name.
      {entry("Q0120003.JPG", 5, true), 58, false, "Q0120003.JPG"},
      {entry("Q0120003.JPG", 6, true), 58, true, "G0120003.MP4"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(db_list_entry_name(c.entry, c.model, c.legacy), c.name)
        << c.entry.name << " model " << c.model << (c.legacy ? " legacy" : "");
  }
}

}  // namespace
