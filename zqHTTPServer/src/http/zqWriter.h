// The one writer of answers: turns a ZqAnswer into the bytes of an HTTP/1.1 answer and hands
// them to a ZqOut, which is the connection in the server (http/zqConnAnswer.h) and a capture
// in tests (ZqCapture below).
//
// The head is "HTTP/1.1 <status> <reason>", "Content-Type" (when the answer has a type), the
// extra headers in order, then the body's framing ("Content-Length", or "Transfer-Encoding:
// chunked"; none for a 1xx, 204 or 304 answer, which never has a body) and the blank line.
//
// Heads whose order clients know (the file sender's: "Content-Type" and "Content-Length"
// among other headers) name those headers themselves: a "Content-Type" or framing header (the
// name compared ignoring case) that the answer names among its extra headers is written where
// the answer put it, and the writer does not add its own. A named framing header must say
// what the body is: "Content-Length" the length of a fixed or sized body, "Transfer-Encoding"
// "chunked" for a chunked one; an answer whose named framing disagrees with its body is not
// sent at all (the connection is cut), since the client would misread every byte after it.
//
// A fixed answer goes out in one write, so that it does not wait for the client's delayed
// acknowledgement. An answer that ends the connection (ZqAnswer::EndsConnection) closes it
// after it; a stream that breaks midway cuts the connection at once.
#ifndef ZQ_ZQHTTPSERVER_SRC_HTTP_ZQWRITER_H_
#define ZQ_ZQHTTPSERVER_SRC_HTTP_ZQWRITER_H_

#include <cstddef>
#include <string>

#include "http/zqAnswer.h"

// Where an answer's bytes go.
class ZqOut {
 public:
  // False once the client takes no more.
  virtual bool Write(const void* bytes, size_t n) = 0;
  // The connection ends after this answer: no further request is read from it.
  virtual void Close() = 0;
  // The answer broke off (a stream failed midway, or was cut short): the connection ends at
  // once, so that the client sees a short body rather than waiting for the rest of it.
  virtual void Cut() = 0;

 protected:
  ~ZqOut() = default;
};

// Writes `answer` to `out`; for `head_only` (a HEAD request) the head alone, without running
// a producer. True when the answer went out whole.
bool zq_write_answer(const ZqAnswer& answer, bool head_only, ZqOut& out);

// The status line's reason for `status` when the answer does not give its own ("OK",
// "Not Found", ...).
const char* zq_reason(int status);

// An out that keeps everything: the bytes written, and whether the connection was to close
// after the answer or was cut.
class ZqCapture final : public ZqOut {
 public:
  bool Write(const void* bytes, size_t n) override;
  void Close() override { closed = true; }
  void Cut() override { cut = true; }

  std::string bytes;
  bool closed = false;
  bool cut = false;
  // When set, writes fail once `bytes` would grow past it (a client that went away).
  size_t limit = std::string::npos;
};

#endif  // ZQ_ZQHTTPSERVER_SRC_HTTP_ZQWRITER_H_
