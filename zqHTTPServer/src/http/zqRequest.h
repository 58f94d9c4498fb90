// The request a handler answers: what the client asked, who it is, and its body, without the
// connection. The server hands a handler the connection's request (http/zqConnAnswer.h); tests
// hand it a ZqFakeRequest (http/zqFakeRequest.h).
#ifndef ZQ_ZQHTTPSERVER_SRC_HTTP_ZQREQUEST_H_
#define ZQ_ZQHTTPSERVER_SRC_HTTP_ZQREQUEST_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "zqcommon/zqQuery.h"  // zq_query_param, the one query rule

class ZqAnswer;

class ZqRequest {
 public:
  virtual ~ZqRequest() = default;

  // "GET", "HEAD", "POST", ...
  virtual std::string_view Method() const = 0;
  // The path, decoded ("/zq/zqControl/status"), its dot segments removed.
  virtual std::string_view Uri() const = 0;
  // The path as the client sent it: decoded, but with its dot segments ("/a/../b") as they
  // came. Uri() unless the request has a connection.
  virtual std::string_view UriAsSent() const { return Uri(); }
  // The query as sent, without its "?"; "" when there is none.
  virtual std::string_view Query() const = 0;
  // True when the request has a query ("?" sent, even with nothing after it).
  virtual bool HasQuery() const = 0;
  // A header's value (the first of that name, compared ignoring case), or nullptr.
  virtual const char* Header(std::string_view name) const = 0;
  // The client's address ("192.168.1.20").
  virtual std::string_view Client() const = 0;
  // The client's port (0 when there is no connection).
  virtual int ClientPort() const { return 0; }
  // The role of the local port the request came on (zq_port_role: 0 for the camera's port
  // 80, ...), or -1 for another port.
  virtual int PortRole() const = 0;
  // True when the request came over TLS.
  virtual bool Tls() const = 0;
  // True when the connection stays open after this request (zq_conn_keep_alive): what its
  // answer's "Connection" header says.
  virtual bool KeepAlive() const = 0;
  // The body's announced length, or -1 when none was announced (no body, or chunked).
  virtual int64_t ContentLength() const = 0;
  // Reads the next bytes of the body into `buf` (at most `n`). Returns the count, 0 at the
  // body's end, or a negative value when the client failed to send within the server's time
  // limits or the connection broke. Lets a handler stream a large body (an upload) through a
  // small buffer.
  virtual long Read(void* buf, size_t n) = 0;

  bool IsHead() const { return Method() == "HEAD"; }
  // The query parameter `name` (see zq_query_param).
  ZqParam Param(std::string_view name, size_t max, std::string* value, int occurrence = 0) const {
    return zq_query_param(Query(), name, max, value, occurrence);
  }
};

// A handler: answers one request.
using ZqHandler = ZqAnswer (*)(ZqRequest& request);

#endif  // ZQ_ZQHTTPSERVER_SRC_HTTP_ZQREQUEST_H_
