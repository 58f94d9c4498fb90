#include "zqopenapi/zqMediaPath.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "zqcommon/zqErrors.h"

namespace {

constexpr const char kNoLog[] = "";
constexpr const char kPhotoLog[] = "Format is incorrect for ###TAVRO/TAVR####.JPG";
constexpr const char kLetterLog[] = "Format is incorrect for ###TAVRO/Q[HX][A-Z][A-Z]####.MP4";
constexpr const char kProxyLog[] = "Format is incorrect for ###TAVRO/QL######.LRV";
constexpr const char kClipLog[] = "Format is incorrect for ###TAVRO/Q[HXG]######.MP4";

TEST(ZqMediaPath, NamesAndTheirNearMisses) {
  struct Case {
    const char* query;
    bool valid;
    const char* log;
  };
  const Case cases[] = {
      // Form 1: photos.
      {"path=109TAVRO/TAVR9080.JPG", true, kNoLog},
      {"path=100TAVRO/TAVR0001.JPG&x=1", false, kPhotoLog},
      {"path=1000TAVRO/TAVR0001.JPG", false, kNoLog},
      {"path=100TAVRO/../TAVR0001.JPG", false, kNoLog},
      {"x=1&path=100TAVRO/TAVR0001.JPG", false, kNoLog},
      // Form 2: clips with lettered chapters.
      {"path=100TAVRO/QHAZ0009.MP4", true, kNoLog},
      {"path=100TAVRO/QXAB0001.THM", false, kLetterLog},  // THM only in form 3
      {"path=100TAVRO/QGAB0001.MP4", false, kNoLog},      // G only with digits
      // Form 3: clips and proxies.
      {"path=100TAVRO/QG010002.MP4", true, kNoLog},
      {"path=100TAVRO/QX010001.THM", true, kNoLog},
      {"path=100TAVRO/QL010001.LRV", true, kNoLog},
      {"path=100TAVRO/QH010001.LRV", false, kClipLog},
      {"path=100TAVRO/QL010001.MP4", false, kProxyLog},
      {"path=100TAVRO/QM010001.MP4", false, kNoLog},  // M is no clip letter here
      // Form 4: burst and time-lapse frames.
      {"path=100TAVRO/Q0010001.JPG", true, kNoLog},
      {"path=100TAVRO/Q0010001.ZQR", true, kNoLog},
      {"path=100TAVRO/Q0010001.MP4", false, kNoLog},  // refused without a log line
      {"path=100TAVRO/ZQ010001.MP4", false, kNoLog},  // older clip names are not served
  };
  for (const Case& c : cases) {
    const char* log = nullptr;
    EXPECT_EQ(zqoa_media_query_valid(c.query, &log), c.valid) << c.query;
    EXPECT_STREQ(log, c.log) << c.query;
  }
  // A NUL inside the query never passes for a name character.
  EXPECT_FALSE(
      zqoa_media_query_valid(std::string_view("path=100TAVRO/Q\0H010001.MP4", 27), nullptr));
  EXPECT_FALSE(
      zqoa_media_query_valid(std::string_view("path=100TAVRO/TAVR0001.JPG\0", 27), nullptr));
}

TEST(ZqMediaPath, MetadataHandOffText) {
  struct Case {
    ZqMediaAction action;
    const char* query;
    const char* path_var;
    int status;
    const char* extra;
  };
  const Case cases[] = {
      {ZqMediaAction::kInfo, "path=100TAVRO/QX010002.MP4", "100TAVRO/QX010002.MP4", 0,
       "&p=100TAVRO/QX010002.MP4&t=v5info"},
      {ZqMediaAction::kTelemetry, "path=100TAVRO/QH010001.MP4", "100TAVRO/QH010001.MP4", 0,
       "&p=100TAVRO/QH010001.MP4&t=tracks&trackNames=telemetry"},
      {ZqMediaAction::kMetadata, "path=100TAVRO/TAVR0001.JPG", "100TAVRO/TAVR0001.JPG", 0,
       "&p=100TAVRO/TAVR0001.JPG"},
      // Refused: the whole query must be one name.
      {ZqMediaAction::kMetadata, "path=100TAVRO/TAVR0001.JPG&x=1", "100TAVRO/TAVR0001.JPG", 400,
       ""},
      {ZqMediaAction::kInfo, nullptr, nullptr, 400, ""},
      {ZqMediaAction::kInfo, "path=100TAVRO%2FTAVR0001.JPG", "100TAVRO/TAVR0001.JPG", 400, ""},
  };
  for (const Case& c : cases) {
    const ZqMediaPlan plan = zqoa_media_plan(c.action, c.query, c.path_var);
    EXPECT_EQ(plan.status, c.status) << (c.query ? c.query : "(null)");
    EXPECT_EQ(plan.extra, c.extra) << (c.query ? c.query : "(null)");
    if (c.status != 0) {
      EXPECT_EQ(plan.log.rfind("Metadata requires a valid path name for param:", 0), 0u);
    }
  }
}

// The answers' statuses are on the wire end to end; here the plans and their log lines.
TEST(ZqMediaPath, ListMomentTurboAndDelete) {
  EXPECT_EQ(zqoa_media_plan(ZqMediaAction::kList, "", nullptr).status, 400);
  const ZqMediaPlan moment = zqoa_media_plan(ZqMediaAction::kTagMoment, "x", nullptr);
  EXPECT_EQ(moment.status, 400);
  EXPECT_EQ(moment.log, "Params should be NULL for tagging a moment in a recording");
  EXPECT_EQ(zqoa_media_plan(ZqMediaAction::kNone, nullptr, nullptr).status, 400);

  ZqMediaPlan del = zqoa_media_plan(ZqMediaAction::kDelete, "path=100TAVRO/TAVR0001.JPG",
                                    "100TAVRO/TAVR0001.JPG");
  EXPECT_EQ(del.status, 0);
  EXPECT_EQ(del.delete_path, "100TAVRO/TAVR0001.JPG");
  del = zqoa_media_plan(ZqMediaAction::kDelete, "path=100TAVRO/TAVR0001.MP4",
                        "100TAVRO/TAVR0001.MP4");
  EXPECT_EQ(del.status, 400);
  EXPECT_EQ(del.log, "Invalid parameters(path=100TAVRO/TAVR0001.MP4) given for single file delete");
  del = zqoa_media_plan(ZqMediaAction::kDelete, "x=1", nullptr);
  EXPECT_EQ(del.status, 400);
  EXPECT_EQ(del.log, "No parameters(x=1) given for file delete");
  EXPECT_EQ(zqoa_media_plan(ZqMediaAction::kDelete, nullptr, nullptr).status, 400);
  const std::string long_path(256, 'A');
  EXPECT_EQ(zqoa_media_plan(ZqMediaAction::kDelete, "path=x", long_path.c_str()).status, 400);
}

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }

TEST(ZqMediaPath, TagQueries) {
  struct Case {
    ZqMediaAction action;
    const char* query;
    int status;
    uint32_t operation;
    const char* path;
    uint32_t ms;
    const char* log;
  };
  const Case cases[] = {
      {ZqMediaAction::kTagFile, "path=100TAVRO/QH010001.MP4&ms=1500", 0, 1, "100TAVRO/QH010001.MP4",
       1500, ""},
      {ZqMediaAction::kTagRemove, "ms=0&path=100TAVRO/QH010001.MP4", 0, 0, "100TAVRO/QH010001.MP4",
       0, ""},
      {ZqMediaAction::kTagFile, "path=100TAVRO/TAVR0001.JPG", 0, 1, "100TAVRO/TAVR0001.JPG", 0, ""},
      {ZqMediaAction::kTagFile, "path=100TAVRO/QH010001.MP4&ms=4294967295", 0, 1,
       "100TAVRO/QH010001.MP4", 4294967295u, ""},
      // A video tag needs a clip, a photo tag a photo.
      {ZqMediaAction::kTagFile, "path=100TAVRO/TAVR0001.JPG&ms=5", 400, 0, "", 0, nullptr},
      {ZqMediaAction::kTagFile, "path=100TAVRO/QH010001.MP4", 400, 0, "", 0, nullptr},
      // A number that is no number, or too big, leaves a photo tag whose name is wrong.
      {ZqMediaAction::kTagFile, "path=100TAVRO/QH010001.MP4&ms=4294967296", 400, 0, "", 0, nullptr},
      {ZqMediaAction::kTagFile, nullptr, 400, 0, "", 0, "No parameters given for request"},
      {ZqMediaAction::kTagFile, "ms=5", 400, 0, "", 0, "No path was given"},
      {ZqMediaAction::kTagFile, "path=100TAVRO/QZ010001.MP4&ms=5", 400, 0, "", 0,
       "Invalid parameters(path=100TAVRO/QZ010001.MP4&ms=5) given for file "
       "path:100TAVRO/QZ010001.MP4"},
  };
  for (const Case& c : cases) {
    const ZqMediaPlan plan = zqoa_media_plan(c.action, c.query, nullptr);
    SCOPED_TRACE(c.query != nullptr ? c.query : "(null)");
    EXPECT_EQ(plan.status, c.status);
    if (c.log != nullptr) {
      EXPECT_EQ(plan.log, c.log);
    }
    if (c.status != 0) continue;
    EXPECT_EQ(Le32(plan.tag.data()), c.operation);
    EXPECT_STREQ(reinterpret_cast<const char*>(plan.tag.data() + 4), c.path);
    EXPECT_EQ(Le32(plan.tag.data() + 264), c.ms);
  }
}

TEST(ZqMediaPath, ResultsToStatus) {
  EXPECT_EQ(zqoa_media_result_status(ZqMediaAction::kTagMoment, 0), 200);
  EXPECT_EQ(zqoa_media_result_status(ZqMediaAction::kTagMoment, ZQ_ERR_INVALID_PARAM), 500);
  EXPECT_EQ(zqoa_media_result_status(ZqMediaAction::kTagFile, ZQ_ERR_INVALID_PARAM), 400);
  EXPECT_EQ(zqoa_media_result_status(ZqMediaAction::kTagRemove, ZQ_ERR_NAK), 500);
  EXPECT_EQ(zqoa_media_result_status(ZqMediaAction::kDelete, ZQ_ERR_NAK), 400);
  EXPECT_EQ(zqoa_media_result_status(ZqMediaAction::kDelete, 0), 200);
}

}  // namespace
