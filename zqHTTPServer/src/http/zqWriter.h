// The one writer of answers: turns a ZqAnswer into the bytes of an HTTP/1.1 answer and hands
// them to a ZqOut, which is the connection in the server (http/zqConnAnswer.h) and a capture
// in tests (ZqCapture below).
//
// The head is "HTTP/1.1 <status> <reason>", "Content-Type" (when the answer has a type), the
// extra headers in order, then the body's framing ("Content-Length", or "Transfer-Encoding:
// chunked"; none for a 1xx or 204 answer, which never has a body) and the blank line. A fixed
// answer goes out in one write, so that it does not wait for the client's delayed acknowledgement.
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
  // The connection must end after this answer (a stream failed midway, or was cut short).
  virtual void Close() = 0;
  // Serves a file answer (the file sender writes it itself). False when it could not.
  virtual bool SendFile(const std::string& path, const std::string& type) = 0;

 protected:
  ~ZqOut() = default;
};

// Writes `answer` to `out`; for `head_only` (a HEAD request) the head alone, without running
// a producer. True when the answer went out whole.
bool zq_write_answer(const ZqAnswer& answer, bool head_only, ZqOut& out);

// The status line's reason for `status` when the answer does not give its own ("OK",
// "Not Found", ...).
const char* zq_reason(int status);

// An out that keeps everything: the bytes written, whether the connection was to close, and
// the file the answer named.
class ZqCapture final : public ZqOut {
 public:
  bool Write(const void* bytes, size_t n) override;
  void Close() override { closed = true; }
  bool SendFile(const std::string& path, const std::string& type) override;

  std::string bytes;
  bool closed = false;
  std::string file, file_type;
  // When set, writes fail once `bytes` would grow past it (a client that went away).
  size_t limit = std::string::npos;
};

#endif  // ZQ_ZQHTTPSERVER_SRC_HTTP_ZQWRITER_H_
