#include "zqmediametadata/zqMediaMetadata.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include <nlohmann/json.hpp>

#include "http/zqResponse.h"
#include "zqcommon/zqPaths.h"
#include "zqmftest/JpegBytes.h"
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

std::string Dcim(const std::string& rel) { return zq_path("/tmp/fuse_d/DCIM/" + rel); }

class MetadataRoute : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    zqtest::WriteFile(Dcim("100TAVRO/TAVR0001.JPG"), Photo());
    zqtest::WriteFile(Dcim("100TAVRO/TAVR0002.JPG"), Photo(false));
    zqtest::WriteFile(Dcim("100TAVRO/ZQ010003.MP4"), "not really a movie");
    zqtest::WriteFile(Dcim("100TAVRO/ZQ010003.THM"), kThumbnail + "thm");
    zqtest::WriteFile(Dcim("100TAVRO/ZQ010004.MP4"), "no thumbnail beside it");
    zqtest::WriteFile(Dcim("100TAVRO/ZQ010004.LRV"), "proxy");
    zqtest::WriteFile(Dcim("100TAVRO/NOTE.TXT"), "text");
    zqtest::WriteFile(zq_path("/secret/OUT.JPG"), Photo());
    symlink(zq_path("/secret/OUT.JPG").c_str(), Dcim("100TAVRO/LINK.JPG").c_str());
  }

  std::string Get(const std::string& query) {
    return zqtest::RawGet(server_.port(), "/zq/zqMediaMetadata" + query);
  }

  zqtest::TestServer server_{[](mg_connection* c) { zqMediaMetadataHandler(c, nullptr); }};
};

std::string Head(const std::string& answer) { return answer.substr(0, answer.find("\r\n\r\n")); }
std::string StatusLine(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }

TEST(MetadataQuery, ParsesActionsPathsAndTracks) {
  const struct {
    const char* query;
    const char* status;  // nullptr: accepted
    MetadataAction action;
    int tracks;
  } cases[] = {
      {"p=100TAVRO/A.JPG", nullptr, MetadataAction::kThumbnail, 0},
      {"p=100TAVRO/A.JPG&t=exif", nullptr, MetadataAction::kExif, 0},
      {"p=100TAVRO/A.JPG&t=scr", nullptr, MetadataAction::kScreennail, 0},
      {"p=100TAVRO/A.JPG&t=zqmf", nullptr, MetadataAction::kZqmf, 0},
      {"p=100TAVRO/A.MP4&t=dur", nullptr, MetadataAction::kDuration, 0},
      {"p=100TAVRO/A.MP4&t=videoinfo", nullptr, MetadataAction::kVideoInfo, 0},
      {"t=mI", nullptr, MetadataAction::kDatabase, 0},
      {"p=a.MP4&t=tracks&trackNames=%22audio,telemetry%22", nullptr, MetadataAction::kTracks, 6},
      {"p=a.MP4&t=tracks&trackNames=video,foo", nullptr, MetadataAction::kTracks, 1},
      {"p=a.MP4&t=tracks&trackNames=foo", nullptr, MetadataAction::kTracks, 0},
      {"p=a.JPG&trackNames=video&trackNames=audio", nullptr, MetadataAction::kThumbnail, 0},
      {"p=a.MP4&t=tracks", kHttp400, MetadataAction::kTracks, 0},
      {"p=a.MP4&t=tracks&trackNames=", kHttp400, MetadataAction::kTracks, 0},
      {"p=a.MP4&t=tracks&trackNames=video&trackNames=audio", kHttp400, MetadataAction::kTracks, 0},
      {"t=exif", kHttp400, MetadataAction::kExif, 0},
      {"t=", kHttp400, MetadataAction::kThumbnail, 0},
      {"p=a.JPG&t=exif&t=scr", kHttp400, MetadataAction::kThumbnail, 0},
      {"p=a.JPG&p=b.JPG", kHttp400, MetadataAction::kThumbnail, 0},
      {"p=", kHttp400, MetadataAction::kThumbnail, 0},
      {"p=../x", kHttp400, MetadataAction::kThumbnail, 0},
      {"p=100TAVRO/..%2F..%2Fx.JPG", kHttp400, MetadataAction::kThumbnail, 0},
      {"p=%2Fetc%2Fpasswd", kHttp400, MetadataAction::kThumbnail, 0},
      {"p=a%00.JPG", kHttp400, MetadataAction::kThumbnail, 0},
  };
  for (const auto& c : cases) {
    MetadataQuery q;
    const char* status = zqmediametadata_parse_query(c.query, &q);
    EXPECT_EQ(status == nullptr ? "" : status, c.status == nullptr ? "" : c.status) << c.query;
    if (c.status == nullptr) {
      EXPECT_EQ(q.action, c.action) << c.query;
      EXPECT_EQ(q.tracks, c.tracks) << c.query;
    }
  }
  MetadataQuery q;
  const std::string longValue = "p=" + std::string(5000, 'a') + ".JPG";
  EXPECT_STREQ(zqmediametadata_parse_query(longValue, &q), kHttp400);
}

TEST_F(MetadataRoute, PhotoAnswers) {
  std::string a = Get("?p=100TAVRO/TAVR0001.JPG");
  EXPECT_EQ(StatusLine(a), "HTTP/1.1 200 OK");
  EXPECT_NE(Head(a).find("Content-Type: image/jpeg"), std::string::npos);
  EXPECT_NE(Head(a).find("Content-Length: " + std::to_string(kThumbnail.size())),
            std::string::npos);
  EXPECT_EQ(zqtest::BodyOf(a), kThumbnail);

  a = Get("?p=100TAVRO/TAVR0001.JPG&t=scr");
  EXPECT_EQ(StatusLine(a), "HTTP/1.1 200 OK");
  EXPECT_NE(Head(a).find("Content-Length: " + std::to_string(kScreennail.size())),
            std::string::npos);
  EXPECT_EQ(zqtest::BodyOf(a), kScreennail);

  a = Get("?p=100TAVRO/TAVR0001.JPG&t=zqmf");
  EXPECT_NE(Head(a).find("application/octet-stream"), std::string::npos);
  EXPECT_EQ(zqtest::BodyOf(a), kBlock);

  a = Get("?p=100TAVRO/TAVR0001.JPG&t=exif");
  EXPECT_NE(Head(a).find("application/json"), std::string::npos);
  const std::string body = zqtest::BodyOf(a);
  EXPECT_NE(Head(a).find("Content-Length: " + std::to_string(body.size())), std::string::npos);
  const auto doc = nlohmann::json::parse(body);
  EXPECT_EQ(doc["exif"]["Software"], "T11.01.02.00");  // the line feed removed
  EXPECT_EQ(doc["exif"]["Make"], "Tavro");
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

TEST_F(MetadataRoute, ErrorAnswers) {
  const struct {
    const char* query;
    const char* status;
    const char* body;
  } cases[] = {
      {"", "HTTP/1.1 404 Not Found", "{}\n"},
      {"?p=100TAVRO/TAVR0002.JPG", "HTTP/1.1 404 Not Found", "{}\n"},  // no EXIF thumbnail
      {"?p=100TAVRO/TAVR0001.JPG&t=tracks&trackNames=video", "HTTP/1.1 400 Bad Request", "{}\n"},
      {"?p=100TAVRO/TAVR9999.JPG", "HTTP/1.1 404 Not Found", "{}\n"},
      {"?p=100TAVRO/TAVR9999.JPG&t=scr", "HTTP/1.1 404 Not Found", "{}\n"},
      {"?p=100TAVRO/TAVR9999.JPG&t=exif", "HTTP/1.1 404 Not Found", "{}\n"},
      {"?p=100TAVRO/TAVR9999.JPG&t=zqmf", "HTTP/1.1 404 Not Found",
       "{ \"message\": \"Unknown Error.\" }\n"},
      {"?p=100TAVRO/ZQ010004.MP4", "HTTP/1.1 404 Not Found", "{}\n"},  // no .THM
      {"?p=100TAVRO/ZQ010004.LRV", "HTTP/1.1 404 Not Found", "{}\n"},
      {"?p=100TAVRO/NOTE.TXT&t=exif", "HTTP/1.1 404 Not Found", "{}\n"},
      {"?p=100TAVRO/ZQ010003.MP4&t=tracks", "HTTP/1.1 400 Bad Request", "{}\n"},
      {"?p=../x", "HTTP/1.1 400 Bad Request", "{}\n"},
      {"?p=100TAVRO/LINK.JPG", "HTTP/1.1 400 Bad Request", "{}\n"},  // leads out of DCIM
      {"?p=a.JPG&t=exif&t=exif", "HTTP/1.1 400 Bad Request", "{}\n"},
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
    zqtest::TestServer passing{[extra](mg_connection* c) { zqmediametadata_serve(c, extra); }};
    const std::string a =
        zqtest::RawGet(passing.port(), "/zq/zqMediaMetadata?p=100TAVRO/TAVR0001.JPG");
    EXPECT_NE(Head(a).find("application/json"), std::string::npos);
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

// Sends `request`, reads `keep` bytes of the answer and closes the connection.
void ReadPartly(int port, const std::string& request, size_t keep) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
  char buf[1024];
  size_t got = 0;
  while (got < keep) {
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
}

TEST_F(MetadataRoute, ClientLeavingMidStreamReleasesTheRoute) {
  // A screennail far larger than the socket buffers, so the server is still writing when the
  // client goes.
  const std::string big = JpegImage("", 8, 8, std::string(32 << 20, '\x55'));
  zqtest::WriteFile(Dcim("100TAVRO/TAVR0010.JPG"), Photo(true, big));
  for (int i = 0; i < 3; ++i) {
    ReadPartly(server_.port(),
               "GET /zq/zqMediaMetadata?p=100TAVRO/TAVR0010.JPG&t=scr HTTP/1.1\r\n"
               "Host: x\r\n\r\n",
               4096);
  }
  // The next requests are served (the lock was released each time).
  EXPECT_EQ(zqtest::BodyOf(Get("?p=100TAVRO/TAVR0001.JPG&t=scr")), kScreennail);
  EXPECT_EQ(zqtest::BodyOf(Get("?p=100TAVRO/TAVR0001.JPG")), kThumbnail);
}

}  // namespace
