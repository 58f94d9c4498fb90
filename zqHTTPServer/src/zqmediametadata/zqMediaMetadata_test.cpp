#include "zqmediametadata/zqMediaMetadata.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include <nlohmann/json.hpp>

#include "http/zqFakeRequest.h"
#include "http/zqWriter.h"
#include "mp4boxes/BoxBuilder.h"
#include "zqcommon/zqPaths.h"
#include "zqmftest/JpegBytes.h"
#include "zqsim/SimMediaDb.h"
#include "zqtest/TempDir.h"
#include "zqtest/TestServer.h"

namespace {

using namespace zqmftest;

const std::string kThumbnail = JpegImage("", 160, 90, std::string(3000, '\x12'));
const std::string kScreennail = JpegImage("", 640, 360, std::string(20000, '\x34'));
const std::string kBlock = "DEVC\0\1\0\4abcd";

std::string Photo(bool withThumbnail = true, const std::string& screennail = kScreennail) {
  TiffBuilder t(false);
  t.Ascii(kIfd0, 271, "Tavro");
  t.Ascii(kIfd0, 305, "T11.01\n.02.00");
  if (withThumbnail) t.Thumbnail(kThumbnail);
  const std::string primary =
      JpegImage(JpegSegment(0xE6, std::string("Tavro\0", 6) + kBlock), 1920, 1080);
  return WithMpfScreennail(primary, ExifSegment(t.Build()), screennail);
}

// A clip with one video track of 30 chunks of 100 bytes each ('A', 'B', ...).
std::string Movie() {
  mp4boxes::TrackRecipe video;
  video.stts = {{30, 1000}};
  video.sizes.assign(30, 100);
  std::string mdat;
  for (int c = 0; c < 30; c++) {
    video.offsets.push_back(mdat.size());
    mdat += std::string(100, static_cast<char>('A' + c));
  }
  return mp4boxes::MovieFileWithRelativeChunks({mp4boxes::Trak(video)}, "", mdat, true);
}

std::string Dcim(const std::string& rel) { return zq_path("/tmp/fuse_d/DCIM/" + rel); }

class MetadataRoute : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    zqtest::WriteFile(Dcim("100TAVRO/TAVR0001.JPG"), Photo());
    zqtest::WriteFile(Dcim("100TAVRO/TAVR0002.JPG"), Photo(false));
    zqtest::WriteFile(Dcim("100TAVRO/TAVR0005.JPG"), JpegImage("", 16, 16));  // no screennail
    zqtest::WriteFile(Dcim("100TAVRO/ZQ010003.MP4"), "not really a movie");
    zqtest::WriteFile(Dcim("100TAVRO/ZQ010003.THM"), kThumbnail + "thm");
    zqtest::WriteFile(Dcim("100TAVRO/ZQ010004.MP4"), "no thumbnail beside it");
    zqtest::WriteFile(Dcim("100TAVRO/ZQ010006.MP4"), Movie());
    zqtest::WriteFile(Dcim("100TAVRO/ZQ010004.LRV"), "proxy");
    zqtest::WriteFile(Dcim("100TAVRO/NOTE.TXT"), "text");
    zqtest::WriteFile(zq_path("/secret/OUT.JPG"), Photo());
    symlink(zq_path("/secret/OUT.JPG").c_str(), Dcim("100TAVRO/LINK.JPG").c_str());
  }

  // The bytes of the answer to `method` of the route with `query`, as the writer sends them.
  static std::string Get(const std::string& query, const char* method = "GET") {
    ZqFakeRequest r(method, "/zq/zqMediaMetadata" + query);
    ZqCapture out;
    zq_write_answer(zqMediaMetadata(r), r.IsHead(), out);
    return out.bytes;
  }
};

std::string Head(const std::string& answer) { return answer.substr(0, answer.find("\r\n\r\n")); }
std::string StatusLine(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }

TEST(MetadataQuery, ParsesActionsPathsAndTracks) {
  const struct {
    const char* query;
    int status;  // 0: accepted
    MetadataAction action;
    int tracks;
  } cases[] = {
      // One row per action the route itself answers (the database's actions are one kind),
      // per way of naming tracks, and per refusal; hostile queries are the fuzz target's.
      {"p=100TAVRO/A.JPG", 0, MetadataAction::kThumbnail, 0},
      {"p=100TAVRO/A.JPG&t=exif", 0, MetadataAction::kExif, 0},
      {"p=100TAVRO/A.JPG&t=scr", 0, MetadataAction::kScreennail, 0},
      {"p=100TAVRO/A.JPG&t=zqmf", 0, MetadataAction::kZqmf, 0},
      {"t=mI", 0, MetadataAction::kDatabase, 0},
      {"p=a.MP4&t=tracks&trackNames=%22audio,telemetry%22", 0, MetadataAction::kTracks, 6},
      {"p=a.MP4&t=tracks&trackNames=video,foo", 0, MetadataAction::kTracks, 1},
      {"p=a.JPG&trackNames=video&trackNames=audio", 0, MetadataAction::kThumbnail, 0},
      {"p=a.MP4&t=tracks", 400, MetadataAction::kTracks, 0},
      {"p=a.MP4&t=tracks&trackNames=video&trackNames=audio", 400, MetadataAction::kTracks, 0},
      {"t=exif", 400, MetadataAction::kExif, 0},
      {"p=a.JPG&t=exif&t=scr", 400, MetadataAction::kThumbnail, 0},
      {"p=", 400, MetadataAction::kThumbnail, 0},
      {"p=100TAVRO/..%2F..%2Fx.JPG", 400, MetadataAction::kThumbnail, 0},
      {"p=%2Fetc%2Fpasswd", 400, MetadataAction::kThumbnail, 0},
  };
  for (const auto& c : cases) {
    MetadataQuery q;
    EXPECT_EQ(zqmediametadata_parse_query(c.query, &q), c.status) << c.query;
    if (c.status == 0) {
      EXPECT_EQ(q.action, c.action) << c.query;
      EXPECT_EQ(q.tracks, c.tracks) << c.query;
    }
  }
  MetadataQuery q;
  const std::string longValue = "p=" + std::string(5000, 'a') + ".JPG";
  EXPECT_EQ(zqmediametadata_parse_query(longValue, &q), 400);
}

// The sample card's photos are checked against their own bytes end to end; here what they
// do not show: a photo without a screennail, HEAD, and the text cleaned of line feeds.
TEST_F(MetadataRoute, PhotoAnswers) {
  const std::string a = Get("?p=100TAVRO/TAVR0001.JPG&t=scr");
  EXPECT_EQ(Get("?p=100TAVRO/TAVR0001.JPG&t=scr", "HEAD"), Head(a) + "\r\n\r\n");
  EXPECT_EQ(Get("?p=100TAVRO/TAVR0005.JPG&t=scr"),
            "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 0\r\n\r\n");
  const auto doc = nlohmann::json::parse(zqtest::BodyOf(Get("?p=100TAVRO/TAVR0001.JPG&t=exif")));
  EXPECT_EQ(doc["exif"]["Software"], "T11.01.02.00");
}

TEST_F(MetadataRoute, ClipAnswers) {
  std::string a = Get("?p=100TAVRO/ZQ010003.MP4");
  EXPECT_EQ(StatusLine(a), "HTTP/1.1 200 OK");
  EXPECT_EQ(zqtest::BodyOf(a), kThumbnail + "thm");
  // The screennail and EXIF of a clip are its thumbnail too.
  EXPECT_EQ(zqtest::BodyOf(Get("?p=100TAVRO/ZQ010003.MP4&t=exif")), kThumbnail + "thm");
  EXPECT_EQ(zqtest::BodyOf(Get("?p=100TAVRO/zq010003.mp4&t=scr")), "{}\n");  // no such clip

  a = Get("?p=100TAVRO/ZQ010003.MP4&t=zqmf");
  EXPECT_EQ(StatusLine(a), "HTTP/1.1 500 Internal Server Error");
  EXPECT_NE(zqtest::BodyOf(a).find("Proprietary QT file reader open failed with"),
            std::string::npos);
  a = Get("?p=100TAVRO/ZQ010003.MP4&t=tracks&trackNames=video");
  EXPECT_EQ(StatusLine(a), "HTTP/1.1 500 Internal Server Error");
  a = Get("?p=100TAVRO/ZQ019999.MP4&t=tracks&trackNames=video");
  EXPECT_EQ(StatusLine(a), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(zqtest::BodyOf(a), "{ \"message\": \"Unknown Error.\" }\n");
}

// The database's results reach the client through the one mapping: each kind of failure of
// the simulated database, and each kind of query it refuses, as its status.
TEST_F(MetadataRoute, DatabaseResultsBecomeStatuses) {
  std::string error;
  ASSERT_TRUE(zqsim::MediaDbStart(&error)) << error;
  const struct {
    const char* fault;
    const char* value;
    const char* query;
    const char* status_line;
  } cases[] = {
      {"ok", "", "t=dur&p=100TAVRO/ZQ010006.MP4", "HTTP/1.1 200 "},
      {"ok", "", "t=dur&p=100TAVRO/TAVR0001.JPG", "HTTP/1.1 501 "},    // no duration
      {"ok", "", "t=bogus&p=100TAVRO/ZQ010006.MP4", "HTTP/1.1 501 "},  // no such action
      {"ok", "", "t=dur", "HTTP/1.1 400 "},
      {"ok", "", "t=dur&p=100TAVRO/ZQ019999.MP4", "HTTP/1.1 404 "},
      {"status", "1", "t=dur&p=100TAVRO/ZQ010006.MP4", "HTTP/1.1 503 "},
      {"status", "7", "t=dur&p=100TAVRO/ZQ010006.MP4", "HTTP/1.1 500 "},
      {"truncate", "12", "t=dur&p=100TAVRO/ZQ010006.MP4", "HTTP/1.1 500 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.fault) + " " + c.value + " " + c.query);
    ASSERT_TRUE(zqsim::MediaDbSetFault(c.fault, c.value, &error)) << error;
    ZqCapture out;
    zq_write_answer(generateMetadata(c.query), false, out);
    EXPECT_EQ(StatusLine(out.bytes), c.status_line);
    const std::string body = zqtest::BodyOf(out.bytes);
    if (std::string(c.status_line) == "HTTP/1.1 200 ") {
      EXPECT_TRUE(nlohmann::json::accept(body)) << body;
      EXPECT_NE(body.find("\"dur\""), std::string::npos) << body;
    } else {
      EXPECT_EQ(body, "");
    }
  }
  zqsim::MediaDbSetFault("ok", "", &error);
  zqsim::MediaDbStop();
}

TEST_F(MetadataRoute, TrackCopiesStreamInChunksAndACutStreamHasNoLastChunk) {
  const std::string query = "?p=100TAVRO/ZQ010006.MP4&t=tracks&trackNames=video";
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
      "Transfer-Encoding: chunked\r\n\r\n";
  // The whole stream's framing and contents are proven end to end.
  const std::string a = Get(query);
  ASSERT_EQ(a.substr(0, head.size()), head);

  // A client gone midway: no last chunk, the connection ends, the route serves on.
  ZqFakeRequest r("GET", "/zq/zqMediaMetadata" + query);
  ZqCapture gone;
  gone.limit = head.size() + 200;
  EXPECT_FALSE(zq_write_answer(zqMediaMetadata(r), false, gone));
  EXPECT_TRUE(gone.cut);
  EXPECT_EQ(gone.bytes.find("0\r\n\r\n"), std::string::npos);
  EXPECT_EQ(Get(query), a);
}

TEST_F(MetadataRoute, ErrorAnswers) {
  const struct {
    const char* query;
    const char* status;
    const char* body;
  } cases[] = {
      {"", "HTTP/1.1 404 Not Found", "{}\n"},
      {"?p=100TAVRO/TAVR0002.JPG", "HTTP/1.1 404 Not Found", "{}\n"},  // no EXIF thumbnail
      {"?p=100TAVRO/TAVR0001.JPG&t=tracks&trackNames=video", "HTTP/1.1 400 Bad Request", "{}\n"},
      {"?p=100TAVRO/TAVR9999.JPG&t=exif", "HTTP/1.1 404 Not Found", "{}\n"},
      {"?p=100TAVRO/TAVR9999.JPG&t=zqmf", "HTTP/1.1 404 Not Found",
       "{ \"message\": \"Unknown Error.\" }\n"},
      {"?p=100TAVRO/ZQ010004.LRV", "HTTP/1.1 404 Not Found", "{}\n"},  // no .THM
      {"?p=100TAVRO/NOTE.TXT&t=exif", "HTTP/1.1 404 Not Found", "{}\n"},
      {"?p=100TAVRO/LINK.JPG", "HTTP/1.1 400 Bad Request", "{}\n"},  // leads out of DCIM
  };
  for (const auto& c : cases) {
    const std::string a = Get(c.query);
    EXPECT_EQ(StatusLine(a), c.status) << c.query;
    EXPECT_EQ(zqtest::BodyOf(a), c.body) << c.query;
    EXPECT_NE(Head(a).find("Content-Length: "), std::string::npos) << c.query;
  }
}

TEST_F(MetadataRoute, ExtraParametersJoinTheQuery) {
  // What another handler passes on is added to the client's query, joined with "&" unless it
  // brings its own; the route itself adds nothing.
  for (const char* extra : {"t=exif", "&t=exif"}) {
    SCOPED_TRACE(extra);
    ZqFakeRequest r("GET", "/zq/zqMediaMetadata?p=100TAVRO/TAVR0001.JPG");
    EXPECT_EQ(zqmediametadata_answer(r, extra).type(), "application/json");
  }
  EXPECT_EQ(zqtest::BodyOf(Get("?p=100TAVRO/TAVR0001.JPG")), kThumbnail);
}

TEST_F(MetadataRoute, TrackRequestsDropThePageCacheOfTheSimulatedCamera) {
  ASSERT_TRUE(zq_make_dirs(zq_path("/run/zqsim")));
  const std::string counter = zq_path("/run/zqsim/drop_caches");
  const size_t before = zqtest::ReadFile(counter).size();
  Get("?p=100TAVRO/ZQ010003.MP4&t=tracks&trackNames=video");
  Get("?p=100TAVRO/ZQ019999.MP4&t=tracks&trackNames=audio");
  // The drop follows the answer under the route's lock; the next answer comes after it.
  Get("?p=100TAVRO/TAVR0001.JPG");
  EXPECT_EQ(zqtest::ReadFile(counter).size(), before + 4);  // "3\n" twice
}

}  // namespace
