#include "http/zqConnAnswer.h"

#include <civetweb.h>
#include <strings.h>
#include <sys/socket.h>

#include <cstring>
#include <string>

#include "http/zqConnection.h"
#include "http/zqWriter.h"
#include "zqcommon/zqPaths.h"

namespace {

std::string_view View(const char* s) { return s != nullptr ? std::string_view(s) : ""; }

class ConnOut final : public ZqOut {
 public:
  ConnOut(mg_connection* conn, ZqConnCut cut) : conn_(conn), cut_(cut) {}
  bool Write(const void* bytes, size_t n) override {
    return zq_conn_write(conn_, bytes, n) == static_cast<int>(n);
  }
  void Close() override { mg_disable_connection_keep_alive(conn_); }
  void Cut() override {
    Close();
    if (cut_ != nullptr) cut_(conn_);
  }

 private:
  mg_connection* conn_;
  ZqConnCut cut_;
};

class SocketOut final : public ZqOut {
 public:
  explicit SocketOut(int fd) : fd_(fd) {}
  bool Write(const void* bytes, size_t n) override {
    return send(fd_, bytes, n, MSG_NOSIGNAL | MSG_DONTWAIT) == static_cast<ssize_t>(n);
  }
  // The caller ends the connection.
  void Close() override {}
  void Cut() override {}

 private:
  int fd_;
};

}  // namespace

ZqConnRequest::ZqConnRequest(mg_connection* conn) : conn_(conn), info_(mg_get_request_info(conn)) {}

std::string_view ZqConnRequest::Method() const { return View(info_->request_method); }
std::string_view ZqConnRequest::Uri() const { return View(info_->local_uri); }
std::string_view ZqConnRequest::UriAsSent() const { return View(info_->local_uri_raw); }
std::string_view ZqConnRequest::Query() const { return View(info_->query_string); }
bool ZqConnRequest::HasQuery() const { return info_->query_string != nullptr; }

const char* ZqConnRequest::Header(std::string_view name) const {
  for (int i = 0; i < info_->num_headers; ++i) {
    const char* h = info_->http_headers[i].name;
    if (strlen(h) == name.size() && strncasecmp(h, name.data(), name.size()) == 0)
      return info_->http_headers[i].value;
  }
  return nullptr;
}

std::string_view ZqConnRequest::Client() const { return info_->remote_addr; }
int ZqConnRequest::ClientPort() const { return info_->remote_port; }
int ZqConnRequest::PortRole() const { return zq_port_role(info_->server_port); }
bool ZqConnRequest::Tls() const { return info_->is_ssl != 0; }
bool ZqConnRequest::KeepAlive() const { return zq_conn_keep_alive(conn_); }
int64_t ZqConnRequest::ContentLength() const { return info_->content_length; }

// The library's read gives up when nothing arrives within its request time-out (set by the
// server) and then reports 0, as it does at the body's end: a body that ends before its
// Content-Length broke off or stalled, and reads as a failure, so that an upload never takes
// a stalled body for a whole one.
long ZqConnRequest::Read(void* buf, size_t n) {
  if (n == 0) return 0;
  const int got = mg_read(conn_, buf, n);
  if (got > 0) {
    read_ += got;
    return got;
  }
  if (got < 0 || (info_->content_length >= 0 && read_ < info_->content_length)) return -1;
  return 0;
}

void zq_send_answer(mg_connection* conn, const ZqAnswer& answer, ZqConnCut cut) {
  ConnOut out(conn, cut);
  zq_write_answer(answer, zq_conn_head_only(conn), out);
}

bool zq_send_answer_to_socket(int fd, const ZqAnswer& answer) {
  if (fd < 0) return false;
  SocketOut out(fd);
  return zq_write_answer(answer, false, out);
}
