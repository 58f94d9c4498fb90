#include "zqfirmware/parseformdata.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zqfw::FormPart;
using zqfw::MultipartBoundary;
using zqfw::MultipartError;
using zqfw::MultipartParser;
using zqfw::MultipartSink;
using zqfw::MultipartStatus;

// What a reader handed out: one entry per part, data concatenated.
struct Seen {
  FormPart part;
  std::string data;
  bool ended = false;
  bool operator==(const Seen& o) const {
    return part.name == o.part.name && part.filename == o.part.filename &&
           part.content_type == o.part.content_type && data == o.data && ended == o.ended;
  }
};

class Recorder : public MultipartSink {
 public:
  bool OnPartBegin(const FormPart& part) override {
    EXPECT_TRUE(parts.empty() || parts.back().ended) << "a part began inside another";
    parts.push_back({part, "", false});
    return fail_at != kBegin;
  }
  bool OnPartData(std::string_view bytes) override {
    EXPECT_FALSE(bytes.empty());
    EXPECT_FALSE(parts.empty() || parts.back().ended) << "data outside a part";
    if (!parts.empty()) parts.back().data.append(bytes);
    return fail_at != kData;
  }
  bool OnPartEnd() override {
    EXPECT_FALSE(parts.empty() || parts.back().ended);
    if (!parts.empty()) parts.back().ended = true;
    return fail_at != kEnd;
  }
  enum { kNever, kBegin, kData, kEnd } fail_at = kNever;
  std::vector<Seen> parts;
};

// Builds bodies the way clients do, and knows the parts they carry.
class Body {
 public:
  explicit Body(std::string boundary) : boundary_(std::move(boundary)) {}
  Body& Preamble(const std::string& text) {
    bytes_ += text;
    return *this;
  }
  Body& Field(const std::string& name, const std::string& value) {
    return Part("Content-Disposition: form-data; name=\"" + name + "\"\r\n", {name, {}, ""}, value);
  }
  Body& File(const std::string& name, const std::string& filename, const std::string& data) {
    return Part("Content-Disposition: form-data; name=\"" + name + "\"; filename=\"" + filename +
                    "\"\r\nContent-Type: application/octet-stream\r\n",
                {name, filename, "application/octet-stream"}, data);
  }
  Body& Part(const std::string& headers, FormPart part, const std::string& data) {
    bytes_ += (bytes_.empty() ? "--" : "\r\n--") + boundary_ + "\r\n" + headers + "\r\n";
    data_start_.push_back(bytes_.size());
    bytes_ += data;
    expected_.push_back({std::move(part), data, true});
    return *this;
  }
  Body& Close(const std::string& epilogue = "\r\n") {
    bytes_ += "\r\n--" + boundary_ + "--" + epilogue;
    return *this;
  }
  const std::string& bytes() const { return bytes_; }
  const std::vector<Seen>& expected() const { return expected_; }
  const std::vector<size_t>& data_start() const { return data_start_; }
  std::string delimiter() const { return "\r\n--" + boundary_; }

 private:
  std::string boundary_;
  std::string bytes_;
  std::vector<Seen> expected_;
  std::vector<size_t> data_start_;
};

// Feeds `body` in the given pieces, then ends it. Checks that no more than the delimiter
// length minus one is ever held back.
MultipartStatus Parse(const std::string& boundary, const std::vector<std::string_view>& pieces,
                      Recorder* rec, MultipartError* error = nullptr) {
  MultipartParser parser(boundary);
  MultipartStatus st = MultipartStatus::kNeedMore;
  for (std::string_view piece : pieces) {
    st = parser.Feed(piece, *rec);
    EXPECT_LE(parser.held_back(), boundary.size() + 3);
    if (st == MultipartStatus::kError) break;
  }
  if (st != MultipartStatus::kError) st = parser.Finish();
  if (error != nullptr) *error = parser.error();
  return st;
}

std::vector<std::string_view> SplitAt(const std::string& s, std::vector<size_t> cuts) {
  std::vector<std::string_view> out;
  size_t from = 0;
  for (size_t cut : cuts) {
    out.emplace_back(s.data() + from, cut - from);
    from = cut;
  }
  out.emplace_back(s.data() + from, s.size() - from);
  return out;
}

// Data that looks like the delimiter's start in every way short of being it.
std::string Treacherous(const std::string& b) {
  return std::string("\r\r\n\r\n-\r\n--\r\n--") + b.substr(0, b.size() - 1) + "\r\n-" + b + "--" +
         b + "\r\n--" + b.substr(0, 3) + std::string("x\r\0\xff\r", 5);
}

// One body with every kind of boundary a reader meets: a preamble, an empty part, a part that
// is a line end, file data full of near-delimiters and a run of CRs longer than the delimiter,
// data ending in what could begin the delimiter, and an epilogue.
Body SweepBody() {
  const std::string b = "----zqFormBoundary7MA4";
  return Body(b)
      .Preamble("preamble\r\n")
      .File("file", "", "")
      .Field("sha1", "\r\n")
      .File("file", "firmware.zip", Treacherous(b) + std::string(64, '\r') + "x\r\n-")
      .Close("epilogue --" + b + "-- ignored");
}

// The longest end of `consumed` that could begin the delimiter: what a reader must hold back.
size_t HeldSuffix(const std::string& consumed, const std::string& delimiter) {
  for (size_t k = std::min(consumed.size(), delimiter.size() - 1); k > 0; --k) {
    if (consumed.compare(consumed.size() - k, k, delimiter, 0, k) == 0) return k;
  }
  return 0;
}

// At every cut point: the body split there gives the same parts, and the body broken off there
// (a lost connection) hands out exactly the data known to be data: every byte up to the cut
// except an end that may begin the delimiter, never a byte the whole body would not give.
TEST(Multipart, EveryCutPointSplitOrTruncated) {
  const Body body = SweepBody();
  const std::string& s = body.bytes();
  const std::string d = body.delimiter();
  for (size_t t = 0; t <= s.size(); ++t) {
    SCOPED_TRACE(testing::Message() << "cut at " << t);
    Recorder whole;
    ASSERT_EQ(Parse(d.substr(4), SplitAt(s, {t}), &whole), MultipartStatus::kDone);
    ASSERT_EQ(whole.parts, body.expected());
    if (t == s.size()) break;

    Recorder rec;
    MultipartParser parser(d.substr(4));
    if (parser.Feed(std::string_view(s.data(), t), rec) != MultipartStatus::kDone) {
      EXPECT_EQ(parser.Finish(), MultipartStatus::kError);
      EXPECT_EQ(parser.error(), MultipartError::kTruncated);
    }
    ASSERT_LE(rec.parts.size(), body.expected().size());
    for (size_t i = 0; i < rec.parts.size(); ++i) {
      const Seen& want = body.expected()[i];
      if (rec.parts[i].ended) {
        EXPECT_EQ(rec.parts[i], want);
        continue;
      }
      const size_t start = body.data_start()[i];
      ASSERT_GE(t, start);
      const std::string consumed = s.substr(start, t - start);
      const std::string expected = consumed.substr(0, consumed.size() - HeldSuffix(consumed, d));
      EXPECT_EQ(rec.parts[i].data, expected);
      EXPECT_EQ(want.data.compare(0, expected.size(), expected), 0);
    }
  }
}

TEST(Multipart, ErrorsStopTheReader) {
  const std::string ok_part = "--b\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nv";
  struct Case {
    const char* what;
    std::string boundary;
    std::string body;
    MultipartError error;
  };
  const std::string long_value(MultipartParser::kMaxHeaderLine - 7, 'x');  // one too many
  std::string many_headers;
  for (size_t i = 0; i < MultipartParser::kMaxHeaders; ++i) many_headers += "X-A: 1\r\n";
  const Case cases[] = {
      {"empty boundary", "", ok_part, MultipartError::kBadBoundary},
      {"boundary too long", std::string(MultipartParser::kMaxBoundary + 1, 'b'), "",
       MultipartError::kBadBoundary},
      {"delimiter followed by text", "b", "--bx\r\n", MultipartError::kBadDelimiter},
      {"header line too long", "b",
       "--b\r\nContent-Disposition: form-data; name=\"a\"\r\nX-Long: " + long_value + "\r\n",
       MultipartError::kHeaderTooLong},
      {"too many headers", "b",
       "--b\r\nContent-Disposition: form-data; name=\"a\"\r\n" + many_headers,
       MultipartError::kTooManyHeaders},
      {"bare LF in headers", "b", "--b\r\nContent-Disposition: form-data; name=a\n",
       MultipartError::kBadHeader},
      {"no disposition", "b", "--b\r\nContent-Type: text/plain\r\n\r\nv",
       MultipartError::kBadHeader},
      {"no name", "b", "--b\r\nContent-Disposition: form-data; filename=a\r\n\r\n",
       MultipartError::kBadHeader},
      {"no close delimiter", "b", ok_part + "\r\n--b\r\n", MultipartError::kTruncated},
  };
  for (const Case& c : cases) {
    Recorder rec;
    MultipartError error = MultipartError::kNone;
    EXPECT_EQ(Parse(c.boundary, {c.body}, &rec, &error), MultipartStatus::kError) << c.what;
    EXPECT_EQ(error, c.error) << c.what;
  }
  // The limits themselves are allowed.
  const std::string at_limit = "X-L: " + std::string(MultipartParser::kMaxHeaderLine - 5, 'y');
  std::string fewer_headers;
  for (size_t i = 1; i < MultipartParser::kMaxHeaders; ++i) fewer_headers += "X-A: 1\r\n";
  for (const std::string& extra : {at_limit + "\r\n", fewer_headers}) {
    Recorder rec;
    const std::string body =
        "--b\r\nContent-Disposition: form-data; name=a\r\n" + extra + "\r\nv\r\n--b--";
    EXPECT_EQ(Parse("b", {body}, &rec), MultipartStatus::kDone) << extra.size();
  }
}

TEST(Multipart, AFailedReaderCallsTheSinkNoMore) {
  const Body body = Body("b").Field("a", "1").File("file", "f", "data").Close();
  for (auto fail_at : {Recorder::kBegin, Recorder::kData, Recorder::kEnd}) {
    Recorder rec;
    rec.fail_at = fail_at;
    MultipartParser parser("b");
    EXPECT_EQ(parser.Feed(body.bytes(), rec), MultipartStatus::kError);
    EXPECT_EQ(parser.error(), MultipartError::kAborted);
    EXPECT_EQ(rec.parts.size(), 1u);
    const size_t before = rec.parts[0].data.size();
    EXPECT_EQ(parser.Feed(body.bytes(), rec), MultipartStatus::kError);
    EXPECT_EQ(rec.parts.size(), 1u);
    EXPECT_EQ(rec.parts[0].data.size(), before);
    EXPECT_EQ(parser.Finish(), MultipartStatus::kError);
    EXPECT_EQ(parser.error(), MultipartError::kAborted);
  }
}

TEST(Multipart, PartHeadersAreReadAsSent) {
  struct Case {
    std::string headers;
    FormPart want;
  };
  const Case cases[] = {
      {"content-disposition: FORM-DATA; NAME=sha1\r\n", {"sha1", {}, ""}},
      {"Content-Disposition:form-data;name=\"a;b\";filename=\"x \\\"y\\\".zip\"\r\n",
       {"a;b", "x \"y\".zip", ""}},
      {"Content-Disposition: form-data; name=\"file\"; filename=\"\"\r\n"
       "Content-Type: application/zip\r\nX-Other: ignored\r\n",
       {"file", "", "application/zip"}},
      {"Content-Disposition: form-data ; name = \"f\" ; filename = \"\xc3\xa9t\xc3\xa9.bin\" ;\r\n",
       {"f", "\xc3\xa9t\xc3\xa9.bin", ""}},
      {"Content-Disposition: form-data; name=a; name=b; filename*=UTF-8''x\r\n", {"a", {}, ""}},
  };
  for (const Case& c : cases) {
    Recorder rec;
    const std::string body = "--b\r\n" + c.headers + "\r\nv\r\n--b--";
    ASSERT_EQ(Parse("b", {body}, &rec), MultipartStatus::kDone) << c.headers;
    ASSERT_EQ(rec.parts.size(), 1u);
    EXPECT_EQ(rec.parts[0].part.name, c.want.name) << c.headers;
    EXPECT_EQ(rec.parts[0].part.filename, c.want.filename) << c.headers;
    EXPECT_EQ(rec.parts[0].part.content_type, c.want.content_type) << c.headers;
  }
}

TEST(Multipart, PaddingAfterDelimitersAndEpilogueAreIgnored) {
  Recorder rec;
  const std::string body =
      "--b \t\r\nContent-Disposition: form-data; name=a\r\n\r\n1\r\n--b\t\r\n"
      "Content-Disposition: form-data; name=c\r\n\r\n2\r\n--b--trailing\r\n--b\r\nnot a part";
  EXPECT_EQ(Parse("b", {body}, &rec), MultipartStatus::kDone);
  ASSERT_EQ(rec.parts.size(), 2u);
  EXPECT_EQ(rec.parts[0].data, "1");
  EXPECT_EQ(rec.parts[1].data, "2");
}

TEST(Multipart, BoundaryComesFromTheContentType) {
  const std::pair<const char*, const char*> cases[] = {
      {"multipart/form-data; boundary=abc", "abc"},
      {"multipart/form-data; boundary=\"a b:c\"", "a b:c"},
      {"multipart/form-data; charset=utf-8; boundary = ----=_Part_1 ", "----=_Part_1"},
      {"multipart/form-data; xboundary=abc", ""},
  };
  for (const auto& [content_type, boundary] : cases) {
    EXPECT_EQ(MultipartBoundary(content_type), boundary) << content_type;
  }
}

}  // namespace
