#include "http/zqResponse.h"

#include <civetweb.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "zqtest/TempDir.h"
#include "zqtest/TestServer.h"

namespace {

using zqtest::RawGet;
using zqtest::TestServer;

// The exact bytes a response operation puts on the wire.
std::string Answer(TestServer::Handler write) {
  TestServer server(std::move(write));
  return RawGet(server.port(), "/x");
}

TEST(ZqResponse, EmptyJsonAnswers) {
  EXPECT_EQ(Answer([](mg_connection* c) { http_response_empty_json(c, kHttp409); }),
            "HTTP/1.1 409 Conflict\r\nContent-Type: application/json\r\n"
            "Content-Length: 3\r\n\r\n{}\n");
  EXPECT_EQ(Answer([](mg_connection* c) { http_response_unknown_request(c); }),
            "HTTP/1.1 404 Not Found\r\nContent-Type: application/json\r\n"
            "Content-Length: 3\r\n\r\n{}\n");
  EXPECT_EQ(Answer([](mg_connection* c) { http_response_bad_request(c); }),
            "HTTP/1.1 400 Bad Request\r\nContent-Type: application/json\r\n"
            "Content-Length: 3\r\n\r\n{}\n");
  EXPECT_EQ(Answer([](mg_connection* c) { RespondEmptyMsg(c, kHttp200); }),
            "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 3\r\n\r\n{}\n");
}

TEST(ZqResponse, ErrorPagesCarryAReasonAndTheirLength) {
  for (const bool keep : {false, true}) {
    const std::string page = Answer(
        [keep](mg_connection* c) { http_error_page(c, 505, "Bad HTTP version: [1.1x]", keep); });
    const std::string body = "Error 505: HTTP Version not supported\nBad HTTP version: [1.1x]";
    EXPECT_EQ(page.rfind("HTTP/1.1 505 HTTP Version not supported\r\n", 0), 0u) << page;
    EXPECT_NE(page.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find(keep ? "\r\nConnection: keep-alive\r\n" : "\r\nConnection: close\r\n"),
              std::string::npos)
        << page;
    EXPECT_EQ(zqtest::BodyOf(page), body);
  }
}

TEST(ZqResponse, HeadPiecesAndNumericHeads) {
  EXPECT_EQ(Answer([](mg_connection* c) {
              http_response_header(c, kHttp200, kMimeJpeg);
              http_response_set_content_length(c, 2);
              mg_write(c, "ab", 2);
            }),
            "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 2\r\n\r\nab");
  EXPECT_EQ(Answer([](mg_connection* c) { writeHttpErrorResponseHeader(c, 404); }),
            "HTTP/1.1 404 \r\nContent-Type: application/json\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(Answer([](mg_connection* c) {
              writeHttpResponseHeader(c, 200);
              writeHttpContentLength(c, 5000000000LL);
            }),
            "HTTP/1.1 200 \r\nContent-Type: application/json\r\n"
            "Content-Length: 5000000000\r\n\r\n");
}

TEST(ZqResponse, ChunkedStreamFraming) {
  const std::string alphabet = "abcdefghijklmnopqrstuvwxyz";
  const std::string big(70000, 'z');  // past the size that is written in one piece
  std::vector<int> results;
  std::string answer = Answer([&](mg_connection* c) {
    http_start_chunked_stream(c);
    results.push_back(http_write_chunk(c, alphabet.size(), alphabet.data()));
    results.push_back(http_write_chunk(c, big.size(), big.data()));
    http_end_chunked_stream(c);
  });
  EXPECT_EQ(answer,
            "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
            "Transfer-Encoding: chunked\r\n\r\n"
            "1a\r\n" +
                alphabet + "\r\n" + "11170\r\n" + big + "\r\n0\r\n\r\n");
  EXPECT_EQ(results, (std::vector<int>{26, 70000}));
}

TEST(ZqResponse, InternalErrorBodyIsValidJsonInOrder) {
  std::string answer = Answer([](mg_connection* c) {
    http_response_internal_error(c, "/zq/zqTurbo", "p=\"1\"", kHttp500, -1, "csi_set error",
                                 "zqTurboHandler", 92);
  });
  std::string body =
      "{\n\"version\": \"6.00\",\n\"url\": \"/zq/zqTurbo\",\n\"query\": \"p=\\\"1\\\"\",\n"
      "\"error_code\": -1,\n\"error_msg\": \"csi_set error\",\n"
      "\"function\": \"zqTurboHandler\",\n\"line\": 92\n}\n";
  EXPECT_EQ(answer,
            "HTTP/1.1 500 Internal Server Error\r\nContent-Type: application/json\r\n"
            "Content-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body);
  EXPECT_TRUE(nlohmann::json::accept(body));

  // A missing function is an empty string.
  EXPECT_NE(zq_internal_error_body("/u", "", 0, "m", nullptr, 1).find("\"function\": \"\",\n"),
            std::string::npos);
}

TEST(ZqResponse, InternalErrorBodyFitsItsBufferAndStillParses) {
  std::string query(3000, '"');  // every byte doubles when escaped
  std::string url(2000, 'u');
  std::string body = zq_internal_error_body(url.c_str(), query.c_str(), -3, "msg", "f", 7);
  EXPECT_LT(body.size(), 1024u);
  auto doc = nlohmann::json::parse(body);
  EXPECT_EQ(doc["error_code"], -3);
  EXPECT_EQ(doc["line"], 7);
}

TEST(ZqResponse, BinaryFileIsCopiedWhole) {
  zqtest::TempDir dir;
  std::string content;
  for (int i = 0; i < 3000; ++i) content += static_cast<char>(i * 7);
  zqtest::WriteFile(dir.path() + "/f.bin", content);
  int result = -2;
  std::string answer = Answer([&](mg_connection* c) {
    FILE* f = fopen((dir.path() + "/f.bin").c_str(), "rb");
    http_response_header(c, kHttp200, kMimeOctetStream);
    http_response_set_content_length(c, static_cast<int>(content.size()));
    result = http_output_bin_file(c, f);
    fclose(f);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(zqtest::BodyOf(answer), content);
}

}  // namespace
