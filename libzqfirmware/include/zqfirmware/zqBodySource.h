// Request bodies as the firmware code reads them: the daemon's HTTP layer wraps a request's
// body in a BodySource, so that no code here knows the connection.
#ifndef ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQBODYSOURCE_H_
#define ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQBODYSOURCE_H_

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "zqfirmware/parseformdata.h"

namespace zqfw {

class BodySource {
 public:
  virtual ~BodySource() = default;
  // Reads up to `size` bytes of the body into `buffer`: the count read (> 0), 0 at its end
  // (all of Content-Length, or the last chunk), -1 when it cannot be read (the connection
  // broke or stalled).
  virtual ssize_t Read(char* buffer, size_t size) = 0;
};

struct BodyResult {
  MultipartStatus status = MultipartStatus::kNeedMore;  // kDone or kError
  MultipartError error = MultipartError::kNone;
  bool read_failed = false;  // the body could not be read to its end
};

// Size of the pieces in which bodies are read.
inline constexpr size_t kBodyPiece = 16384;

// Reads `body` through `parser` into `sink` in pieces of kBodyPiece bytes, until the close
// delimiter, the end of the body, or an error. What follows the close delimiter is not read
// (the connection of a request with a body is closed after its answer).
BodyResult ReadMultipartBody(BodySource& body, MultipartParser& parser, MultipartSink& sink);

// Reads a whole body of at most `limit` bytes into `*out`. False when it cannot be read or is
// longer.
bool ReadSmallBody(BodySource& body, size_t limit, std::string* out);

}  // namespace zqfw

#endif  // ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQBODYSOURCE_H_
