#include "zqfirmware/zqBodySource.h"

#include <memory>

namespace zqfw {

BodyResult ReadMultipartBody(BodySource& body, MultipartParser& parser, MultipartSink& sink) {
  std::unique_ptr<char[]> buffer(new char[kBodyPiece]);
  BodyResult r;
  while (r.status == MultipartStatus::kNeedMore) {
    const ssize_t n = body.Read(buffer.get(), kBodyPiece);
    if (n > 0) {
      r.status = parser.Feed(std::string_view(buffer.get(), static_cast<size_t>(n)), sink);
      continue;
    }
    // The end of the body, or a broken connection: what may still begin a delimiter goes.
    r.read_failed = n < 0;
    r.status = parser.Finish();
  }
  r.error = parser.error();
  return r;
}

bool ReadSmallBody(BodySource& body, size_t limit, std::string* out) {
  out->clear();
  char buffer[1024];
  while (true) {
    const ssize_t n = body.Read(buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    if (out->size() + static_cast<size_t>(n) > limit) return false;
    out->append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace zqfw
