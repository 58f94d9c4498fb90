// Where a streamed body goes, piece by piece: the daemon's answer writer frames each piece (a
// chunk of a chunked answer, or part of an announced length); libraries that produce bodies
// (the MP4 library's streamed copies) write to it without knowing about HTTP.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQSINK_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQSINK_H_

#include <cstddef>

class ZqSink {
 public:
  // False once the receiver can take no more; the producer then stops and reports failure.
  virtual bool Write(const void* bytes, size_t n) = 0;

 protected:
  ~ZqSink() = default;
};

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQSINK_H_
