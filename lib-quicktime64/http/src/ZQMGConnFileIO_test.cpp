#include "quicktime64/ZQMGConnFileIO.h"

#include <civetweb.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/zqResponse.h"
#include "zqtest/TestServer.h"

namespace {

using zqtest::RawGet;
using zqtest::TestServer;

constexpr char kHead[] =
    "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
    "Transfer-Encoding: chunked\r\n\r\n";

TEST(ZQMGConnFileIO, SequentialWritesBecomeChunks) {
  std::vector<uint32_t> results;
  int64_t position = -1;
  TestServer server([&](mg_connection* conn) {
    http_start_chunked_stream(conn);
    ZQMGConnFileIO out(conn);
    results.push_back(out.write("hello", 5));
    results.push_back(out.write(" world", 6, 5));  // at the current offset
    results.push_back(out.write("x", 1, 3));       // elsewhere: refused
    results.push_back(out.write("", 0, 100));      // nothing elsewhere: a no-op
    results.push_back(out.write("", 0));           // no empty chunk mid-stream
    results.push_back(out.setFilePointerOffset(11, kFIOFromStart));
    results.push_back(out.setFilePointerOffset(0, kFIOFromStart));
    results.push_back(out.setFilePointerOffset(0, kFIOFromCurrent));
    results.push_back(out.setFilePointerOffset(0, kFIOFromEnd));
    results.push_back(out.setFilePointerOffset(0, 9));
    char buf[4];
    uint64_t got = 7;
    results.push_back(out.read(buf, 4, &got));
    results.push_back(out.read(buf, 4, &got, 0));
    int64_t size = 0;
    results.push_back(out.getFileSize(&size));
    results.push_back(out.openRead("/x"));
    results.push_back(out.openReadWrite("/x", 1));
    results.push_back(out.openWrite("/x", 1));
    position = out.getFilePointerOffset();
  });  // the destructor ends the stream
  std::string answer = RawGet(server.port(), "/stream");
  EXPECT_EQ(answer, std::string(kHead) + "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n");
  EXPECT_EQ(results, (std::vector<uint32_t>{0, 0, 3, 0, 0, 0, 3, 3, 3, 3, 3, 3, 3, 3, 3, 0}));
  EXPECT_EQ(position, 11);
}

TEST(ZQMGConnFileIO, AbandonedOrClosedStreamsAreNotCompleted) {
  uint32_t afterClose = 0;
  TestServer server([&](mg_connection* conn) {
    http_start_chunked_stream(conn);
    ZQMGConnFileIO out(conn);
    out.write("part", 4);
    out.Abandon();
    out.close();
    afterClose = out.write("more", 4);
  });
  std::string answer = RawGet(server.port(), "/stream");
  EXPECT_EQ(answer, std::string(kHead) + "4\r\npart\r\n");
  EXPECT_EQ(afterClose, kFIOFailure);
}

TEST(ZQMGConnFileIO, DeferredHeadGoesOutWithTheFirstBytesOnly) {
  bool sentBeforeWriting = true;
  bool sentAfterWriting = false;
  TestServer server([&](mg_connection* conn) {
    if (std::string(mg_get_request_info(conn)->local_uri) == "/nothing") {
      ZQMGConnFileIO out(conn, ZQMGConnFileIO::kStartOnFirstWrite);
      out.write("", 0);
      sentBeforeWriting = out.headSent();
      // The owner answers instead; the destructor must not add a last chunk.
      mg_printf(conn, "HTTP/1.1 500 \r\nContent-Length: 0\r\n\r\n");
      return;
    }
    ZQMGConnFileIO out(conn, ZQMGConnFileIO::kStartOnFirstWrite);
    out.write("abc", 3);
    sentAfterWriting = out.headSent();
  });
  EXPECT_EQ(RawGet(server.port(), "/nothing"), "HTTP/1.1 500 \r\nContent-Length: 0\r\n\r\n");
  EXPECT_FALSE(sentBeforeWriting);
  EXPECT_EQ(RawGet(server.port(), "/stream"), std::string(kHead) + "3\r\nabc\r\n0\r\n\r\n");
  EXPECT_TRUE(sentAfterWriting);
}

}  // namespace
