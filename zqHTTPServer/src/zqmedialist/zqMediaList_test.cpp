#include "zqmedialist/zqMediaList.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "core/zqCsi.h"
#include "csi.h"
#include "http/zqFakeRequest.h"
#include "http/zqWriter.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimMediaDb.h"
#include "zqsim/SimState.h"
#include "zqtest/TempDir.h"

namespace {

const bool kFastTime = (setenv("ZQ_TIME_SCALE", "0.001", 1), true);

void SetModel(int model) {
  zqsim::SimState::Get().Write([&](zqsim::SimStateData& d) {
    d.identity.model_number = static_cast<uint8_t>(model);
    return 0;
  });
  zqMediaList_ResetModelNumber();
}

void SetStatus(int id, uint32_t value) { ASSERT_EQ(csi_set(csi_id(id), &value, sizeof value), 0); }
uint32_t Status(int id) {
  uint32_t v = 0, len = 0;
  EXPECT_EQ(csi_get(csi_id(id), sizeof v, &len, &v), 0);
  return v;
}

TEST(MediaListQuery, KeysAndTheirErrors) {
  const struct {
    const char* query;
    int status;  // 0: accepted
    const char* message;
    MediaListSelection selection;
    bool clear;
  } cases[] = {
      {nullptr, 0, "", MediaListSelection::kVideoPhoto, false},
      {"", 0, "", MediaListSelection::kVideoPhoto, false},
      {"f=videophoto", 0, "", MediaListSelection::kVideoPhoto, false},
      {"f=ses&cnmf=1", 0, "", MediaListSelection::kSes, true},
      {"cnmf=2&f=videophoto", 0, "", MediaListSelection::kVideoPhoto, false},
      {"f=photos", 0, "", MediaListSelection::kUnknown, false},
      {"f=", 400, "Empty value of field not supported", MediaListSelection::kUnknown, false},
      {"cnmf=1", 400, "Required field not supported", MediaListSelection::kUnknown, true},
      {"f=videophoto&f=ses", 400, "Multiple copies of field not supported",
       MediaListSelection::kUnknown, false},
      {"ff=videophoto", 400, "Required field not supported", MediaListSelection::kUnknown, false},
  };
  for (const auto& c : cases) {
    MediaListSelection sel;
    bool clear = false;
    std::string message;
    const int status = parseMediaListQuery(c.query, &sel, &clear, &message);
    const char* q = c.query ? c.query : "(null)";
    if (c.status == 0) {
      EXPECT_EQ(status, 0) << q;
      EXPECT_EQ(sel, c.selection) << q;
    } else {
      EXPECT_EQ(status, c.status) << q;
      EXPECT_EQ(message, c.message) << q;
    }
    EXPECT_EQ(clear, c.clear) << q;
  }
  const std::string too_long = "f=" + std::string(3000, 'v');
  MediaListSelection sel;
  bool clear;
  std::string message;
  EXPECT_EQ(parseMediaListQuery(too_long.c_str(), &sel, &clear, &message), 400);
  EXPECT_EQ(message, "Field value string too long");
}

TEST(MediaListFilters, NamesByModel) {
  SetModel(58);
  for (const char* ok : {"TAVR0001.JPG", "QH010001.WAV", "GX010001.MRV"})
    EXPECT_TRUE(isMediaFile(ok, 12)) << ok;
  for (const char* bad : {"TAVR0001.THM", "TAVR001A.JPG", "TAVR0001_JPG", "TAVR01.JPG"})
    EXPECT_FALSE(isMediaFile(bad, static_cast<int>(strlen(bad)))) << bad;
  EXPECT_TRUE(isMediaFolder("999Q3D_L", false));
  EXPECT_TRUE(isMediaFolder("100QBACK", false));
  for (const char* bad : {"099TAVRO", "1000TAVRO", "100tavro", "10ATAVRO", ".."})
    EXPECT_FALSE(isMediaFolder(bad, false)) << bad;
  EXPECT_FALSE(isMediaFolder("100TAVRO", true));  // a link may lead anywhere

  SetModel(22);
  EXPECT_FALSE(isMediaFolder("100TAVRO", false));
  EXPECT_TRUE(isMediaFolder("100QFRNT", false));
  const struct {
    const char* name;
    bool ok;
  } dual[] = {{"ZQ010001.MRV", false}, {"TAVR0001.MP4", false}, {"ZQFR0001.JPG", true},
              {"ZQBK0001.MP4", true},  {"ZQ010001.JPG", true},  {"QF010001.MP4", true},
              {"QB010001.JPG", true},  {"QSAB0001.JPG", true},  {"QH010001.JPG", false},
              {"Q0010001.MP4", true},  {"Q2010001.MP4", false}, {"QH010001.MP4", false}};
  for (const auto& c : dual) EXPECT_EQ(isMediaFile(c.name, 12), c.ok) << c.name;
  SetModel(58);
  EXPECT_TRUE(isSesFile("TAVR0001.SES", 12));
  EXPECT_FALSE(isSesFile("TAVR0001.MP4", 12));
}

// A card built in the test, listed through the simulated database and the real handlers.
class MediaListRoute : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(zq_path("/tmp"));
    zqsim::SimState::Get().Write([](zqsim::SimStateData& d) {
      zqsim::SetDefaults(&d);
      return 0;
    });
    zqMediaList_ResetModelNumber();
    std::string error;
    ASSERT_TRUE(zqsim::MediaDbStart(&error)) << error;
    zqtest::WriteFile(zq_path("/tmp/fuse_d/MISC/card"), "4242\n");
  }
  void TearDown() override { zqsim::MediaDbStop(); }

  // A file of `size` bytes whose time is `t`.
  void File(const std::string& rel, size_t size, time_t t) {
    const std::string p = zq_path("/tmp/fuse_d/DCIM/") + rel;
    zqtest::WriteFile(p, std::string(size, 'x'));
    const timespec ts[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), ts, 0), 0);
  }

  std::string Get(const std::string& path, bool ex = false) {
    ZqFakeRequest request("GET", path);
    ZqCapture out;
    zq_write_answer(ex ? zqMediaListEx(request) : zqMediaList(request), false, out);
    return out.bytes;
  }
};

std::string Ok(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Only media files in media folders are listed (groups and companions are the writer's unit
// tests, the sample card's list the end-to-end tests').
TEST_F(MediaListRoute, ListsOnlyMediaOfMediaFolders) {
  File("100TAVRO/TAVR0001.JPG", 3, 1000);
  File("100TAVRO/TAVR0001.THM", 2, 1000);
  File("100OTHER/TAVR0002.JPG", 7, 1005);
  File("NOTES.TXT", 1, 1005);
  EXPECT_EQ(Get("/zq/zqMediaList?f=videophoto"),
            Ok("{\"id\":\"4242\",\"media\":[{\"d\":\"100TAVRO\",\"fs\":[{\"n\":\"TAVR0001."
               "JPG\",\"cre\":\"1000\",\"mod\":\"1000\",\"s\":\"3\"}]}]}\n"));
}

// The sample card's list, both storages and the busy camera are proven end to end; here a
// card without media, an unknown selection, and the refusals of the extended list.
TEST_F(MediaListRoute, EmptyAndMissing) {
  EXPECT_EQ(Get("/zq/zqMediaList"),
            "HTTP/1.1 404 Not Found\r\nContent-Type: application/json\r\nContent-Length: 32\r\n\r\n"
            "{ \"message\": \"Unknown Error.\" }\n");
  ASSERT_TRUE(zq_make_dirs(zq_path("/tmp/fuse_d/DCIM/100TAVRO")));
  EXPECT_EQ(Get("/zq/zqMediaList"), Ok("{\"id\":\"4242\",\"media\":[]}\n"));
  EXPECT_EQ(Get("/zq/zqMediaList?f=photos"),
            "HTTP/1.1 501 Not Implemented\r\nContent-Type: application/json\r\n"
            "Content-Length: 38\r\n\r\n{ \"message\": \"Unrecognized request\" }\n");
}

TEST_F(MediaListRoute, NewMediaIndicatorClearedOnlyAfterAListing) {
  SetStatus(128, 1);
  Get("/zq/zqMediaList?f=videophoto&cnmf=1");  // no DCIM: an error
  EXPECT_EQ(Status(128), 1u);
  File("100TAVRO/TAVR0001.JPG", 1, 1);
  Get("/zq/zqMediaList?f=videophoto&cnmf=0");
  EXPECT_EQ(Status(128), 1u);
  Get("/zq/zqMediaList?f=videophoto&cnmf=1");
  EXPECT_EQ(Status(128), 0u);
}

TEST_F(MediaListRoute, DatabaseFailuresCutTheListShort) {
  File("100TAVRO/TAVR0001.JPG", 1, 1);
  std::string error;
  ASSERT_TRUE(zqsim::MediaDbSetFault("status", "7", &error));
  EXPECT_EQ(Get("/zq/zqMediaList"), Ok("{\"id\":\"4242\",\"media\":[]}\n"));
  ASSERT_TRUE(zqsim::MediaDbSetFault("silent", "", &error));
  EXPECT_EQ(Get("/zq/zqMediaList"), Ok("{\"id\":\"4242\",\"media\":[]}\n"));
  ASSERT_TRUE(zqsim::MediaDbSetFault("ok", "", &error));
}

TEST_F(MediaListRoute, ExRefusals) {
  EXPECT_EQ(
      Get("/zq/zqMediaListEx?f=", true),
      "HTTP/1.1 400 Bad Request\r\nContent-Type: application/json\r\nContent-Length: 52\r\n\r\n"
      "\n{ \"message\": \"Empty value of field not supported\" }");
  zqsim::SimState::Get().Write([](zqsim::SimStateData& d) {
    d.faults[0] = {34, -101, 1, 0};
    return 0;
  });
  EXPECT_EQ(Get("/zq/zqMediaListEx", true),
            "HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\n"
            "Content-Length: 34\r\n\r\n\n{ \"message\": \"System not ready\" }");
}

}  // namespace
