// A CivetWeb server on a free loopback port for tests of code that writes to a connection,
// and a raw HTTP client that returns the exact bytes of an answer.
#ifndef ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_TESTSERVER_H_
#define ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_TESTSERVER_H_

#include <functional>
#include <string>
#include <vector>

#include "zqcommon/zqMutex.h"

struct mg_connection;
struct mg_context;

namespace zqtest {

class TestServer {
 public:
  using Handler = std::function<void(mg_connection*)>;

  // Serves every request with `handler` (which writes a whole answer). Extra CivetWeb options
  // come as name/value pairs.
  explicit TestServer(Handler handler, std::vector<std::string> options = {});
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int port() const { return port_; }
  mg_context* context() const { return ctx_; }

  // Waits until the handler has returned `n` times in all (at most 10 s); false on time-out.
  // A client sees the end of an answer before the handler's last statements have run: what
  // they wrote is the test's to read only after this.
  bool WaitHandled(int n);

 private:
  static int Dispatch(mg_connection* conn, void* self);

  Handler handler_;
  ZqMutex mutex_;
  ZqCondVar handled_changed_;
  int handled_ GUARDED_BY(mutex_) = 0;
  mg_context* ctx_ = nullptr;
  int port_ = 0;
};

// Sends `request` as it stands to 127.0.0.1:`port` and returns everything the server writes
// until it closes the connection (or `timeout_ms` passes without data).
std::string RawRequest(int port, const std::string& request, int timeout_ms = 5000);

// A GET of `path` with "Connection: close"; returns the raw answer.
std::string RawGet(int port, const std::string& path);

// The body of a raw answer (after the blank line that ends the head).
std::string BodyOf(const std::string& answer);

}  // namespace zqtest

#endif  // ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_TESTSERVER_H_
