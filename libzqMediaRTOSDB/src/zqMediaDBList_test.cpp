#include "zqmediadb/zqMediaDBList.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MediaDbListQuery, RulesNearMissesAndBadValues) {
  constexpr uint32_t kMedia = kDbQueryVideos | kDbQueryPhotos;
  constexpr DbResult kOk = DbResult::kOk, kBad = DbResult::kBadRequest,
                     kNo = DbResult::kNotSupported;
  struct Case {
    const char* query;
    DbResult result;
    const char* message;  // for a refusal
    uint32_t options;     // for kOk
    uint64_t mask = 0;    // for kOk
  } cases[] = {
      // The folder.
      {nullptr, kBad, "Required field 'folder' missing", 0},
      {"folder=", kBad, "Required field 'folder' has no value", 0},
      {"folder=100TAVRO&folder=100TAVRO", kBad, "Field 'folder' found multiple times", 0},
      {"folder=100TAVRO", kOk, "", kMedia},
      {"folder=%31%30%30TAVRO", kOk, "", kMedia},  // decoded first
      {"folder=100Q3D_L", kOk, "", kMedia},
      {"folder=100tavro", kBad, "invalid directory name: dir:'100tavro'", 0},
      {"folder=099TAVRO", kBad, "invalid directory name: dir:'099TAVRO'", 0},
      {"folder=../TAVRO", kBad, "invalid directory name: dir:'../TAVRO'", 0},
      // What to list.
      {"folder=100TAVRO&files=none", kOk, "", kMedia},
      {"folder=100TAVRO&files=clips", kOk, "", kMedia | kDbQuerySingles},
      {"folder=100TAVRO&files=groups", kOk, "", kMedia | kDbQueryGroups},
      {"folder=100TAVRO&files=sessions", kOk, "", RTOS_DB_QUERY_METADATA_SESSION_FILES},
      {"folder=100TAVRO&files=videos", kNo, "files=videos not implemented", 0},
      {"folder=100TAVRO&files=", kBad, "Required field 'files' has no value", 0},
      {"folder=100TAVRO&files=clips&files=groups", kBad, "Field 'files' found multiple times", 0},
      // Upload selectors.
      {"folder=100TAVRO&upload=31", kOk, "", kMedia},
      {"folder=100TAVRO&upload=32", kBad, "upload=32 is an invalid value", 0},
      {"folder=100TAVRO&upload=%2B1", kBad, "upload=+1 is an invalid value", 0},
      {"folder=100TAVRO&upload=+1", kBad, "upload= 1 is an invalid value", 0},
      {"folder=100TAVRO&offload=pc", kOk, "", kMedia},
      {"folder=100TAVRO&offload=PC", kNo, "offload=PC not implemented", 0},
      // Fields.
      {"folder=100TAVRO&fields=us,mos,umid,pumid", kOk, "", kMedia,
       0x8000 | (uint64_t{1} << 34) | 0x1000 | 0x2000},
      {"folder=100TAVRO&fields=ghc,ghi,legacy", kOk, "", kMedia, 0},
      {"folder=100TAVRO&fields=mod,size,cre,s", kNo, "fields=size,s not implemented", 0},
      {"folder=100TAVRO&fields=mod,", kNo, "fields= not implemented", 0},
      {"folder=100TAVRO&fields=", kBad, "Required field 'fields' has no value", 0},
      // The folder is checked first; other keys are ignored.
      {"files=bogus", kBad, "Required field 'folder' missing", 0},
      {"folder=100TAVRO&x=1&page=2", kOk, "", kMedia},
  };
  for (const Case& c : cases) {
    const std::string what = c.query != nullptr ? c.query : "(none)";
    DbMediaListQuery q;
    std::string message;
    ASSERT_EQ(db_parse_media_list_query(c.query, &q, &message), c.result) << what;
    if (c.result != kOk) {
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
            DbResult::kOk);
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
      // Chaptered videos: from the file number and the first chapter.
      {entry("QH030012.MP4", 0, true), 58, false, "QH030012.MP4"},
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
