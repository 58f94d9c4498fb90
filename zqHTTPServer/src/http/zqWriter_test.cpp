#include "http/zqWriter.h"

#include <civetweb.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "http/zqFakeRequest.h"

namespace {

// A producer writing `pieces` in turn, then reporting `ok`.
ZqProducer Pieces(std::vector<std::string> pieces, bool ok = true) {
  return [pieces = std::move(pieces), ok](ZqSink& sink) {
    for (const std::string& p : pieces) {
      if (!sink.Write(p.data(), p.size())) return false;
    }
    return ok;
  };
}

struct Case {
  const char* name;
  ZqAnswer answer;
  std::string get;             // the bytes of the answer to a GET
  bool cut;                    // the connection is cut during a GET
  const char* head = nullptr;  // ... to a HEAD, when not the GET's up to its blank line
};

TEST(Writer, EveryBodyKindForGetAndHead) {
  const std::string kJsonHead = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
  const std::string kChunkedHead =
      "HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string kPlainHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
  auto instead = [] { return ZqAnswer::Json(500, "{}"); };
  const Case cases[] = {
      {"fixed", ZqAnswer::Json(200, "{\"a\":1}\n"),
       kJsonHead + "Content-Length: 8\r\n\r\n{\"a\":1}\n", false},
      {"own reason, headers in order, no type",
       ZqAnswer::Bytes(207, "", "x").Reason("").Header("B", "2").Header("A", "1"),
       "HTTP/1.1 207 \r\nB: 2\r\nA: 1\r\nContent-Length: 1\r\n\r\nx", false},
      {"no content: neither length nor body", ZqAnswer::Bytes(204, "", ""),
       "HTTP/1.1 204 No Content\r\n\r\n", false},
      {"raw, cut after its head for HEAD",
       ZqAnswer::Raw("HTTP/1.1 200 OK\r\nX: y\r\n\r\nrelayed\r\n\r\nmore"),
       "HTTP/1.1 200 OK\r\nX: y\r\n\r\nrelayed\r\n\r\nmore", false},
      {"raw without a head end", ZqAnswer::Raw("HTTP/1.1 200 OK\r\n"), "HTTP/1.1 200 OK\r\n",
       false},
      {"chunked, empty pieces skipped",
       ZqAnswer::Chunked(200, "video/mp4", Pieces({"abc", "", "0123456789abcdefg"})),
       kChunkedHead + "3\r\nabc\r\n11\r\n0123456789abcdefg\r\n0\r\n\r\n", false},
      {"chunked failing midway: no last chunk",
       ZqAnswer::Chunked(200, "video/mp4", Pieces({"abc"}, false)), kChunkedHead + "3\r\nabc\r\n",
       true},
      {"chunked, refused before its first byte: the answer instead",
       ZqAnswer::Chunked(200, "video/mp4", Pieces({""}, false)).InsteadOfNothing(instead),
       "HTTP/1.1 500 Internal Server Error\r\nContent-Type: application/json\r\nContent-Length: "
       "2\r\n\r\n{}",
       false, kChunkedHead.c_str()},
      {"chunked with an answer instead, failing after its first byte",
       ZqAnswer::Chunked(200, "video/mp4", Pieces({"abc"}, false)).InsteadOfNothing(instead),
       kChunkedHead + "3\r\nabc\r\n", true},
      {"chunked with an answer instead, empty but complete",
       ZqAnswer::Chunked(200, "video/mp4", Pieces({})).InsteadOfNothing(instead),
       kChunkedHead + "0\r\n\r\n", false},
      {"sized", ZqAnswer::Sized(200, "text/plain", 5, Pieces({"ab", "cde"})),
       kPlainHead + "Content-Length: 5\r\n\r\nabcde", false},
      {"sized, short of its length", ZqAnswer::Sized(200, "text/plain", 5, Pieces({"ab"})),
       kPlainHead + "Content-Length: 5\r\n\r\nab", true},
      {"sized and empty: no producer needed", ZqAnswer::Sized(200, "text/plain", 0, nullptr),
       kPlainHead + "Content-Length: 0\r\n\r\n", false},
      {"fixed, a named type wins over the answer's",
       ZqAnswer::Bytes(200, "text/plain", "<p>")
           .Header("Content-Type", "text/html")
           .Header("X", "1"),
       "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nX: 1\r\nContent-Length: 3\r\n\r\n<p>", false},
      {"fixed, a named length that is not the body's: nothing sent",
       ZqAnswer::Bytes(200, "", "abc").Header("Content-Length", "4"), "", true, ""},
      {"sized, a named length that is not the announced one: nothing sent",
       ZqAnswer::Sized(200, "", 3, Pieces({"abc"})).Header("Content-Length", "30"), "", true, ""},
      {"chunked, named framing that is not chunked: nothing sent",
       ZqAnswer::Chunked(200, "", Pieces({"abc"})).Header("Transfer-Encoding", "gzip"), "", true,
       ""},
  };
  for (const Case& c : cases) {
    const size_t blank = c.get.find("\r\n\r\n");
    const std::string head = c.head != nullptr
                                 ? c.head
                                 : c.get.substr(0, blank == std::string::npos ? blank : blank + 4);
    for (const bool head_only : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (head_only ? " (HEAD)" : " (GET)"));
      ZqCapture out;
      const bool whole = zq_write_answer(c.answer, head_only, out);
      EXPECT_EQ(out.bytes, head_only ? head : c.get);
      // A framing error shows without a body too.
      const bool cut = c.cut && (!head_only || head.empty());
      EXPECT_EQ(out.cut, cut);
      EXPECT_EQ(whole, !cut);
      EXPECT_FALSE(out.closed);
    }
  }
}

TEST(Writer, LargeChunksAndAClientThatGoesAway) {
  const std::string big(20000, 'x');
  ZqCapture out;
  EXPECT_TRUE(zq_write_answer(ZqAnswer::Chunked(200, "", Pieces({big})), false, out));
  EXPECT_EQ(out.bytes, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4e20\r\n" + big +
                           "\r\n0\r\n\r\n");

  // The client stops taking bytes during the body: the producer learns it, the last chunk is
  // not sent, the connection ends.
  int calls = 0;
  ZqCapture gone;
  gone.limit = 60;
  auto endless = [&calls](ZqSink& sink) {
    while (sink.Write("0123456789", 10)) ++calls;
    return false;
  };
  EXPECT_FALSE(zq_write_answer(ZqAnswer::Chunked(200, "", endless), false, gone));
  EXPECT_TRUE(gone.cut);
  EXPECT_EQ(calls, 0);  // the head (47 bytes) left room for no 15-byte chunk
}

TEST(Writer, AnAnswerThatEndsTheConnectionClosesItAfterwards) {
  for (ZqAnswer answer :
       {ZqAnswer::Bytes(200, "", "x"), ZqAnswer::Raw("HTTP/1.1 200 OK\r\n\r\n"),
        ZqAnswer::Sized(200, "", 1, Pieces({"x"})), ZqAnswer::Chunked(200, "", Pieces({"x"}))}) {
    for (const bool ends : {false, true}) {
      ZqCapture out;
      if (ends) answer.EndsConnection();
      EXPECT_TRUE(zq_write_answer(answer, false, out));
      EXPECT_EQ(out.closed, ends);
      EXPECT_FALSE(out.cut);
    }
  }
}

// The query rule is the server library's own: both read every query alike.
TEST(Request, QueryParametersAsTheServerLibraryReadsThem) {
  const char* const queries[] = {
      "a=1&p=%2Fx+y", "P=1&p=2", "p=1&p=2&p=3", "pp=1&ap=2", "a=p=1",  "p&p=3", "p=",
      "p=123456789",  "p=%41%4", "p=%zz%",      "p=a%00b",   "=1&p=%", "",      "p=12345678&p=9",
  };
  for (const char* q : queries) {
    for (int occurrence = 0; occurrence < 3; ++occurrence) {
      SCOPED_TRACE(std::string(q) + " #" + std::to_string(occurrence));
      ZqFakeRequest req("GET", std::string("/r?") + q);
      std::string value;
      const ZqParam ours = req.Param("p", 8, &value, occurrence);
      char buf[9];
      const int theirs = mg_get_var2(q, strlen(q), "p", buf, sizeof buf, occurrence);
      EXPECT_EQ(ours, theirs >= 0    ? ZqParam::kFound
                      : theirs == -1 ? ZqParam::kMissing
                                     : ZqParam::kTooLong);
      if (theirs >= 0) {
        EXPECT_EQ(value, std::string(buf, static_cast<size_t>(theirs)));
      }
    }
  }
}

}  // namespace
