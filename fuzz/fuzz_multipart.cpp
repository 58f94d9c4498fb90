// Upload bodies as they arrive from a client, in pieces of any size and cut off anywhere.
//
// Input: byte 0 picks the boundary, bytes 1-4 seed the piece sizes and the cut, the rest is
// the body. Checked for every input:
//  - the same body fed whole and fed in random pieces gives the same parts and the same end;
//  - an accepted body's part data equals that of a plain whole-buffer reading (data runs from
//    the blank line ending a part's headers to the next delimiter), and holds no delimiter;
//  - a body cut off at a random byte hands out, for every part, a prefix of what the whole
//    body gives: never a byte that may belong to a delimiter;
//  - no more than the delimiter's length minus one byte is ever held back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zqfirmware/parseformdata.h"

namespace {

using zqfw::FormPart;
using zqfw::MultipartParser;
using zqfw::MultipartStatus;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

struct Result {
  MultipartStatus status = MultipartStatus::kNeedMore;
  zqfw::MultipartError error = zqfw::MultipartError::kNone;
  std::vector<std::string> names;
  std::vector<std::string> data;
  std::vector<bool> ended;
};

class Collector : public zqfw::MultipartSink {
 public:
  explicit Collector(Result* r) : r_(r) {}
  bool OnPartBegin(const FormPart& part) override {
    Check(r_->ended.empty() || r_->ended.back());
    r_->names.push_back(part.name + (part.filename ? "\x01" + *part.filename : ""));
    r_->data.emplace_back();
    r_->ended.push_back(false);
    return true;
  }
  bool OnPartData(std::string_view bytes) override {
    Check(!bytes.empty() && !r_->ended.empty() && !r_->ended.back());
    r_->data.back().append(bytes);
    return true;
  }
  bool OnPartEnd() override {
    Check(!r_->ended.empty() && !r_->ended.back());
    r_->ended.back() = true;
    return true;
  }

 private:
  Result* r_;
};

uint32_t Next(uint32_t* s) {
  *s ^= *s << 13;
  *s ^= *s >> 17;
  *s ^= *s << 5;
  return *s;
}

// Feeds body[0, limit) in random pieces; ends the body when `finish`.
Result Feed(const std::string& boundary, std::string_view body, size_t limit, uint32_t seed,
            bool finish) {
  Result r;
  Collector sink(&r);
  MultipartParser parser(boundary);
  const size_t max_held = boundary.size() + 3;
  size_t at = 0;
  r.status = MultipartStatus::kNeedMore;
  while (at < limit && r.status == MultipartStatus::kNeedMore) {
    size_t n = seed == 0 ? limit - at : 1 + Next(&seed) % 64;
    if (n > limit - at) n = limit - at;
    r.status = parser.Feed(body.substr(at, n), sink);
    Check(parser.held_back() <= max_held);
    at += n;
  }
  if (finish && r.status == MultipartStatus::kNeedMore) r.status = parser.Finish();
  r.error = parser.error();
  return r;
}

// Part data by plain searching in the whole body (meaningful for bodies the reader accepts).
std::vector<std::string> Reference(const std::string& boundary, std::string_view body) {
  const std::string d = "\r\n--" + boundary;
  const std::string text = "\r\n" + std::string(body);
  std::vector<std::string> out;
  size_t at = text.find(d);
  while (at != std::string::npos) {
    const size_t after = at + d.size();
    if (text.compare(after, 2, "--") == 0) break;
    const size_t headers_end = text.find("\r\n\r\n", after);
    if (headers_end == std::string::npos) break;
    const size_t start = headers_end + 4;
    const size_t next = text.find(d, start);
    if (next == std::string::npos) break;
    out.push_back(text.substr(start, next - start));
    at = next;
  }
  return out;
}

bool IsPrefix(const std::string& a, const std::string& b) {
  return a.size() <= b.size() && b.compare(0, a.size(), a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  static const std::string kBoundaries[] = {"b", "XyZ", "----=_Part_0", "-"};
  const std::string& boundary = kBoundaries[data[0] % 4];
  uint32_t seed =
      (uint32_t{data[1]} << 24 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 8 | data[4]) | 1;
  const std::string_view body(reinterpret_cast<const char*>(data) + 5, size - 5);
  const std::string d = "\r\n--" + boundary;

  const Result whole = Feed(boundary, body, body.size(), 0, true);
  const Result pieces = Feed(boundary, body, body.size(), seed, true);
  Check(pieces.status == whole.status && pieces.error == whole.error);
  Check(pieces.names == whole.names && pieces.data == whole.data && pieces.ended == whole.ended);

  if (whole.status == MultipartStatus::kDone) {
    Check(whole.data == Reference(boundary, body));
    for (const std::string& part : whole.data) Check(part.find(d) == std::string::npos);
  }

  const size_t cut = body.empty() ? 0 : Next(&seed) % body.size();
  const Result broken = Feed(boundary, body, cut, seed, true);
  Check(broken.data.size() <= whole.data.size());
  for (size_t i = 0; i < broken.data.size(); ++i) {
    Check(broken.names[i] == whole.names[i]);
    Check(IsPrefix(broken.data[i], whole.data[i]));
    if (broken.ended[i]) Check(broken.data[i] == whole.data[i]);
  }
  return 0;
}
