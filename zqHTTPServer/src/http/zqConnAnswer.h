// The connection's side of the answer seam: the request context of a connection's current
// request, and the sending of an answer to it. Only the server's dispatch uses it; handlers
// see ZqRequest and return ZqAnswer.
#ifndef ZQ_ZQHTTPSERVER_SRC_HTTP_ZQCONNANSWER_H_
#define ZQ_ZQHTTPSERVER_SRC_HTTP_ZQCONNANSWER_H_

#include "http/zqAnswer.h"
#include "http/zqRequest.h"

struct mg_connection;
struct mg_request_info;

class ZqConnRequest final : public ZqRequest {
 public:
  explicit ZqConnRequest(mg_connection* conn);

  std::string_view Method() const override;
  std::string_view Uri() const override;
  std::string_view UriAsSent() const override;
  std::string_view Query() const override;
  bool HasQuery() const override;
  const char* Header(std::string_view name) const override;
  std::string_view Client() const override;
  int ClientPort() const override;
  int PortRole() const override;
  bool Tls() const override;
  bool KeepAlive() const override;
  int64_t ContentLength() const override;
  long Read(void* buf, size_t n) override;

  // For handlers not yet written as ZqHandler.
  mg_connection* connection() const { return conn_; }

 private:
  mg_connection* conn_;
  const mg_request_info* info_;
  int64_t read_ = 0;  // body bytes read so far
};

// Ends a connection at once (shuts its socket down), for a body that broke off: the server's
// clients registry knows the socket.
using ZqConnCut = void (*)(const mg_connection* conn);

// Sends `answer` as the answer to the connection's current request (the head alone for HEAD).
// An answer that ends the connection turns its keep-alive off. A stream that fails midway
// ends the connection: at once through `cut` when given, else after the answer.
void zq_send_answer(mg_connection* conn, const ZqAnswer& answer, ZqConnCut cut = nullptr);

// Sends `answer` straight to the socket `fd`, for a connection the library has not read a
// request from: without waiting, and without SIGPIPE. True when it went out whole; a client
// whose socket is full misses it. The caller ends the connection.
bool zq_send_answer_to_socket(int fd, const ZqAnswer& answer);

#endif  // ZQ_ZQHTTPSERVER_SRC_HTTP_ZQCONNANSWER_H_
