// A request without a connection, for testing handlers as functions:
//
//   ZqFakeRequest req("GET", "/zq/version");
//   ZqCapture out;
//   zq_write_answer(myHandler(req), req.IsHead(), out);
//   EXPECT_EQ(out.bytes, "HTTP/1.1 200 OK\r\n...");
#ifndef ZQ_ZQHTTPSERVER_SRC_HTTP_ZQFAKEREQUEST_H_
#define ZQ_ZQHTTPSERVER_SRC_HTTP_ZQFAKEREQUEST_H_

#include <strings.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "http/zqRequest.h"

class ZqFakeRequest final : public ZqRequest {
 public:
  // `target` is the path with its query, if any ("/zq/zqTurbo?p=1").
  ZqFakeRequest(std::string method, const std::string& target) : method_(std::move(method)) {
    const size_t q = target.find('?');
    uri_ = target.substr(0, q);
    has_query_ = q != std::string::npos;
    if (has_query_) query_ = target.substr(q + 1);
  }

  // Builders.
  ZqFakeRequest& WithHeader(std::string name, std::string value) {
    headers_.emplace_back(std::move(name), std::move(value));
    return *this;
  }
  // The body, with its Content-Length, handed to Read in pieces of at most `piece` bytes.
  ZqFakeRequest& WithBody(std::string body, size_t piece = 4096) {
    body_ = std::move(body);
    piece_ = piece;
    return *this;
  }
  ZqFakeRequest& From(std::string client, int port_role) {
    client_ = std::move(client);
    port_role_ = port_role;
    return *this;
  }
  // The path as sent, when it differs from the one given ("/a/../b" for "/b").
  ZqFakeRequest& SentAs(std::string path) {
    sent_ = std::move(path);
    has_sent_ = true;
    return *this;
  }
  // The connection closes after this request (kept alive otherwise).
  ZqFakeRequest& Closing() {
    keep_alive_ = false;
    return *this;
  }

  std::string_view Method() const override { return method_; }
  std::string_view Uri() const override { return uri_; }
  std::string_view UriAsSent() const override { return has_sent_ ? sent_ : uri_; }
  std::string_view Query() const override { return query_; }
  bool HasQuery() const override { return has_query_; }
  const char* Header(std::string_view name) const override {
    for (const auto& [n, v] : headers_) {
      if (n.size() == name.size() && strncasecmp(n.data(), name.data(), n.size()) == 0)
        return v.c_str();
    }
    return nullptr;
  }
  std::string_view Client() const override { return client_; }
  int PortRole() const override { return port_role_; }
  bool Tls() const override { return false; }
  bool KeepAlive() const override { return keep_alive_; }
  int64_t ContentLength() const override {
    return body_.empty() ? -1 : static_cast<int64_t>(body_.size());
  }
  long Read(void* buf, size_t n) override {
    const size_t take = std::min({n, piece_, body_.size() - read_});
    body_.copy(static_cast<char*>(buf), take, read_);
    read_ += take;
    return static_cast<long>(take);
  }

 private:
  std::string method_, uri_, query_, sent_;
  bool has_query_ = false;
  bool has_sent_ = false;
  bool keep_alive_ = true;
  std::vector<std::pair<std::string, std::string>> headers_;
  std::string client_ = "127.0.0.1";
  int port_role_ = 0;
  std::string body_;
  size_t piece_ = 4096;
  size_t read_ = 0;
};

#endif  // ZQ_ZQHTTPSERVER_SRC_HTTP_ZQFAKEREQUEST_H_
