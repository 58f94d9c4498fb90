#include "zqtavro/zqOpenTavro.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "http/zqFakeRequest.h"
#include "http/zqWriter.h"
#include "zqcontrol/zqControlTestSupport.h"
#include "zqcontrolapi/zqRecord.h"
#include "zqcontrolapi/zqStorage.h"
#include "zqsim/SimState.h"

namespace {

using zqctest::Journal;

struct Reply {
  std::string head;
  std::string body;
};

Reply Get(const std::string& target) {
  ZqFakeRequest request("GET", target);
  ZqCapture out;
  zq_write_answer(zqOpenTavroHandler(request), false, out);
  const size_t end = out.bytes.find("\r\n\r\n");
  if (end == std::string::npos) return {out.bytes, ""};
  return {out.bytes.substr(0, end + 2), out.bytes.substr(end + 4)};
}

std::string StatusLine(const Reply& r) { return r.head.substr(0, r.head.find("\r\n")); }

constexpr char k200[] = "HTTP/1.1 200 OK";
constexpr char k400[] = "HTTP/1.1 400 Bad Request";
constexpr char k403[] = "HTTP/1.1 403 Forbidden";
constexpr char k404[] = "HTTP/1.1 404 Not Found";
constexpr char k500[] = "HTTP/1.1 500 Internal Server Error";

// Forces the settings filter's verdict `code` for setting 2, option 1.
void ForceVerdict(int32_t code) {
  zqsim::SimState::Get().Write([&](zqsim::SimStateData& d) {
    d.verdicts[0] = {};
    d.verdicts[0].setting = 2;
    d.verdicts[0].option = 1;
    d.verdicts[0].code = code;
    d.verdicts[0].used = 1;
    return 0;
  });
}

class OpenTavro : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zqsim::ResetCamera());
    Journal();
  }
};

// Paths no endpoint serves answer 404; a query where none is taken (even an empty one after
// "?") answers 400. Both with an empty JSON body, and before anything reaches the camera: the
// shutter marks its source first, a status write and no command.
TEST_F(OpenTavro, UnservedPathsAndUnwantedQueriesAnswerEmptyJsonBeforeTheCamera) {
  const std::pair<const char*, std::vector<const char*>> kRefusals[] = {
      {k404,
       {"/tavro", "/tavro//camera/state", "/tavro/camera/statex", "/tavro/camera/state/extra",
        "/tavro/camera/presets/getx", "/tavro/camera/shutter/start/", "/tavro/media/unknown"}},
      {k400,
       {"/tavro/camera/state?", "/tavro/camera/presets/get?id=1", "/tavro/camera/shutter/start?"}},
  };
  for (const auto& [status, targets] : kRefusals) {
    for (const char* target : targets) {
      SCOPED_TRACE(target);
      const Reply r = Get(target);
      EXPECT_EQ(StatusLine(r), status);
      EXPECT_EQ(r.body, "{}\n");
    }
  }
  EXPECT_TRUE(Journal().empty());
}

// The query's forms are the library's unit tests; here the commands sent, and that a query
// that does not read sends no setting.
TEST_F(OpenTavro, SettingSendsTheSettingAfterTheStatusQuery) {
  const Reply r = Get("/tavro/camera/setting?option=1&setting=2");
  EXPECT_EQ(StatusLine(r), k200);
  EXPECT_EQ(r.body, "{}\n");
  EXPECT_EQ(Journal(), (std::vector<std::string>{"34:", "30:0200000001000000"}));
  // Every path that reaches the endpoint is served like it.
  EXPECT_EQ(StatusLine(Get("/tavro/camera/setting_x?setting=2&option=1")), k200);
  Journal();
  for (const char* target :
       {"/tavro/camera/setting", "/tavro/camera/setting?setting=4294967296&option=2"}) {
    SCOPED_TRACE(target);
    EXPECT_EQ(StatusLine(Get(target)), k400);
    EXPECT_EQ(Journal(), std::vector<std::string>{"34:"});
  }
}

// The refusal's document (only the valid options) is the library's unit test and is checked
// against the published schema end to end; here that a refusal sets nothing, and that a
// verdict the route does not know is a server error.
TEST_F(OpenTavro, RefusedSettingSetsNothing) {
  ForceVerdict(3);
  EXPECT_EQ(StatusLine(Get("/tavro/camera/setting?setting=2&option=1")), k403);
  EXPECT_EQ(Journal(), std::vector<std::string>{"34:"});
  ForceVerdict(7);
  const Reply unknown = Get("/tavro/camera/setting?setting=2&option=1");
  EXPECT_EQ(StatusLine(unknown), k500);
  EXPECT_EQ(unknown.body, "{}\n");
}

TEST_F(OpenTavro, SettingWhileTheStatusCannotBeRead) {
  zqctest::Fail(34, -103);
  const Reply off = Get("/tavro/camera/setting?setting=2&option=1");
  EXPECT_EQ(StatusLine(off), k200);
  EXPECT_EQ(nlohmann::json::parse(off.body)["state"]["shutdown_pending"], true);
  zqctest::Fail(34, -1);
  const Reply failed = Get("/tavro/camera/setting?setting=2&option=1");
  EXPECT_EQ(StatusLine(failed), k500);
  EXPECT_EQ(failed.body, "");
  zqctest::Fail(34, 0);
  zqctest::Fail(30, -1);
  const Reply unset = Get("/tavro/camera/setting?setting=2&option=1");
  EXPECT_EQ(StatusLine(unset), k500);
  EXPECT_EQ(unset.body, "");
}

TEST_F(OpenTavro, ShutterStopSkipsAnIdleCamera) {
  EXPECT_EQ(StatusLine(Get("/tavro/camera/shutter/stop")), k200);
  EXPECT_EQ(Journal(), std::vector<std::string>{"100:"});
  EXPECT_EQ(StatusLine(Get("/tavro/camera/shutter/start")), k200);
  EXPECT_EQ(Journal(), std::vector<std::string>{"3:01"});
  EXPECT_EQ(StatusLine(Get("/tavro/camera/shutter/stop")), k200);
  EXPECT_EQ(Journal(), (std::vector<std::string>{"100:", "3:00"}));
  zqctest::Fail(3, -1);
  EXPECT_EQ(StatusLine(Get("/tavro/camera/shutter/start")), k500);
}

TEST_F(OpenTavro, DateAndTimeTravelInTheControlServiceEncoding) {
  struct Row {
    const char* query;
    const char* status;
    const char* body;
    std::vector<std::string> journal;
  };
  const Row rows[] = {
      {"date=2023_04_05&time=10_20_30&tzone=-60&dst=1", k200, "{}", {"6:e70704050a141ec4ff01"}},
      {"date=2023_04_05&time=10_20_30", k200, "{}", {"6:e70704050a141eff7f00"}},
      {"date=2023_04_05&time=1x_20_30",
       k400,
       "\n{\n    \"error\": \"invalid parameter value / format\"\n}\n",
       {}},
      {"date=2023_04_05", k400, "\n{\n    \"error\": \"missing date / time parameter\"\n}\n", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.query);
    const Reply r = Get(std::string("/tavro/camera/set_date_time?") + row.query);
    EXPECT_EQ(StatusLine(r), row.status);
    EXPECT_EQ(r.body, row.body);
    EXPECT_EQ(Journal(), row.journal);
  }
  ASSERT_EQ(StatusLine(Get("/tavro/camera/set_date_time?date=2023_04_05&time=09_07_03&tzone=60")),
            k200);
  const Reply read = Get("/tavro/camera/get_date_time");
  EXPECT_EQ(StatusLine(read), k200);
  const auto doc = nlohmann::json::parse(read.body);
  EXPECT_EQ(doc["date"], "2023_04_05");
  EXPECT_EQ(doc["time"].get<std::string>().substr(0, 6), "09_07_");  // the clock runs on
  EXPECT_EQ(doc["tzone"], 60);
  EXPECT_EQ(Get("/tavro/camera/get_date_time?").body,
            "\n{\n    \"error\": \"expected no parameters\"\n}\n");
  zqctest::Fail(98, -1);
  const Reply failed = Get("/tavro/camera/get_date_time");
  EXPECT_EQ(StatusLine(failed), k500);
  EXPECT_EQ(failed.body, "{}");
}

TEST_F(OpenTavro, DigitalZoomNeedsAPercentAndAUsableZoom) {
  zqsim::SimState::Get().Write([](zqsim::SimStateData& d) {
    d.camera.zoom_available = 1;
    return 0;
  });
  EXPECT_EQ(StatusLine(Get("/tavro/camera/digital_zoom?percent=50")), k200);
  EXPECT_EQ(Journal(), (std::vector<std::string>{"33:", "61:32000000"}));
  for (const char* query : {"", "?percent=101"}) {
    SCOPED_TRACE(query);
    EXPECT_EQ(StatusLine(Get(std::string("/tavro/camera/digital_zoom") + query)), k400);
  }
  Journal();
  zqsim::SimState::Get().Write([](zqsim::SimStateData& d) {
    d.camera.zoom_available = 0;
    return 0;
  });
  EXPECT_EQ(StatusLine(Get("/tavro/camera/digital_zoom?percent=50")), k400);
  EXPECT_EQ(Journal(), std::vector<std::string>{"33:"});
}

TEST_F(OpenTavro, PresetGroupMustBeOneOfTheModelsGroups) {
  EXPECT_EQ(StatusLine(Get("/tavro/camera/presets/set_group?id=1000")), k200);
  EXPECT_EQ(Journal(), std::vector<std::string>{"67:e803"});
  for (const char* query : {"", "?id=999", "?id=65536"}) {
    SCOPED_TRACE(query);
    EXPECT_EQ(StatusLine(Get(std::string("/tavro/camera/presets/set_group") + query)), k400);
    EXPECT_TRUE(Journal().empty());
  }
}

// The journal's one entry, without the status the simulated camera may add after the bytes
// (it refuses tags and deletes of files its card does not hold).
std::string OnlyCommand(const std::vector<std::string>& journal) {
  if (journal.size() != 1) return "entries: " + std::to_string(journal.size());
  return journal[0].substr(0, journal[0].find(':', journal[0].find(':') + 1));
}

// The records' layouts are the storage library's unit tests; here that the media paths send
// them with the client's values.
TEST_F(OpenTavro, MediaTagsAndDeletesBecomeStorageCommands) {
  const std::string clip = "100TAVRO/QH010001.MP4";
  Get("/tavro/media/spotmark/file?ms=1500&path=" + clip);
  EXPECT_EQ(OnlyCommand(Journal()), "8:" + zq_hex(zq_tag_record(1, clip, 1500)));
  std::string photo = "100TAVRO/TAVR0001.JPG";
  Get("/tavro/media/delete/file?path=" + photo);
  photo.resize(257, '\0');
  EXPECT_EQ(OnlyCommand(Journal()),
            "9:" + zq_hex({reinterpret_cast<const uint8_t*>(photo.data()), photo.size()}));

  // Refused queries (their near misses are the library's unit tests) reach nothing.
  for (const char* target : {"/tavro/media/delete/file?path=../TAVRO/TAVR0001.JPG",
                             "/tavro/media/spotmark/remove?ms=5"}) {
    SCOPED_TRACE(target);
    const Reply r = Get(target);
    EXPECT_EQ(StatusLine(r), k400);
    EXPECT_EQ(r.body, "{}\n");
  }
  EXPECT_TRUE(Journal().empty());
}

}  // namespace
