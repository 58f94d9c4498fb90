// What a handler answers: a value the daemon's HTTP layer writes to the connection
// (http/zqWriter.h), so that handlers never touch the connection themselves.
//
// An answer is a status (with its usual reason, or the system's own text where that differs),
// a content type, extra headers in the order they are added, and one body:
//  - fixed bytes, sent with their Content-Length;
//  - raw bytes that are the whole answer, head included, sent exactly as they are (answers the
//    system must send byte for byte, such as the relay's);
//  - a chunked stream: a producer writes the body piece by piece, each piece one chunk; when it
//    fails midway the connection is closed without the final chunk, so the client sees the
//    body cut rather than complete;
//    A chunked stream may name what to answer instead when its producer fails before its
//    first byte (InsteadOfNothing): its head then waits for that first byte;
//  - a sized stream: a producer writes exactly the announced number of bytes; when it fails
//    midway the connection is cut at once.
// For a HEAD request the writer sends the head alone and never runs a producer.
//
// The writer adds "Content-Type" (from the type) and the body's framing ("Content-Length" or
// "Transfer-Encoding") after the extra headers, unless the answer names that header among its
// extra headers itself: then it goes out where the answer put it, and is not added again
// (http/zqWriter.h has the rule in full).
#ifndef ZQ_ZQHTTPSERVER_SRC_HTTP_ZQANSWER_H_
#define ZQ_ZQHTTPSERVER_SRC_HTTP_ZQANSWER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "zqcommon/zqSink.h"

// Writes a streaming body to the sink; false when it failed before the end.
using ZqProducer = std::function<bool(ZqSink&)>;

enum class ZqBody { kFixed, kRaw, kChunked, kSized };

struct ZqHeader {
  std::string name;
  std::string value;
};

class ZqAnswer {
 public:
  // Fixed bodies.
  static ZqAnswer Bytes(int status, std::string type, std::string body);
  static ZqAnswer Json(int status, std::string body);
  // `status` with the body "{}\n": the answer of every route's plain errors.
  static ZqAnswer EmptyJson(int status);
  // The whole answer, head included, exactly as given.
  static ZqAnswer Raw(std::string bytes);
  static ZqAnswer Chunked(int status, std::string type, ZqProducer producer);
  static ZqAnswer Sized(int status, std::string type, uint64_t length, ZqProducer producer);

  // The reason text when it is not the status's usual one ("" is allowed: "HTTP/1.1 200 \r\n").
  ZqAnswer& Reason(std::string reason);
  // Adds a header after the content type and the ones added before.
  ZqAnswer& Header(std::string name, std::string value);

  // Chunked answers: when the producer fails before writing anything, `instead` (called
  // then, so that it can tell what went wrong) is answered in place of the stream.
  ZqAnswer& InsteadOfNothing(std::function<ZqAnswer()> instead);

  // The connection ends after this answer (its head says "Connection: close"): the client
  // sends no further request on it.
  ZqAnswer& EndsConnection();

  int status() const { return status_; }
  // nullptr: the status's usual reason.
  const std::string* reason() const { return has_reason_ ? &reason_ : nullptr; }
  const std::string& type() const { return type_; }
  const std::vector<ZqHeader>& headers() const { return headers_; }
  ZqBody body_kind() const { return kind_; }
  // Fixed and raw answers: the bytes.
  const std::string& body() const { return body_; }
  uint64_t length() const { return length_; }  // sized streams
  // Runs the producer of a streaming answer (false: it failed, or there is none).
  bool Produce(ZqSink& sink) const { return producer_ ? producer_(sink) : false; }
  const std::function<ZqAnswer()>& instead() const { return instead_; }
  bool ends_connection() const { return ends_connection_; }

 private:
  ZqAnswer(int status, ZqBody kind, std::string type)
      : status_(status), kind_(kind), type_(std::move(type)) {}

  int status_;
  ZqBody kind_;
  std::string type_;
  bool has_reason_ = false;
  std::string reason_;
  std::vector<ZqHeader> headers_;
  std::string body_;
  uint64_t length_ = 0;
  ZqProducer producer_;
  std::function<ZqAnswer()> instead_;
  bool ends_connection_ = false;
};

#endif  // ZQ_ZQHTTPSERVER_SRC_HTTP_ZQANSWER_H_
