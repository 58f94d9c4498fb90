// The byte range of a download request ("Range: bytes=...").
#ifndef ZQ_ZQHTTPSERVER_SRC_CORE_ZQHTTPRANGE_H_
#define ZQ_ZQHTTPSERVER_SRC_CORE_ZQHTTPRANGE_H_

#include <cstdint>

struct ZqByteRange {
  int64_t first;
  int64_t last;  // inclusive
};

enum class ZqRangeResult {
  kNone,           // no usable range: send the whole file
  kOk,             // send `range` with 206
  kUnsatisfiable,  // answer 416
};

// Reads one range of a file of `size` bytes: "bytes=a-b", "bytes=a-" or "bytes=-n". A value
// that is absent, malformed or lists several ranges gives kNone (the whole file, as servers
// that do not do multipart answers behave); a range starting at or past the end, or an empty
// suffix, is unsatisfiable. The end is clipped to the file.
ZqRangeResult zq_parse_range(const char* header, int64_t size, ZqByteRange* out);

#endif  // ZQ_ZQHTTPSERVER_SRC_CORE_ZQHTTPRANGE_H_
