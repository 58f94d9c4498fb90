#include "http/zqConnAnswer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "zqtest/TestServer.h"

namespace {

// A connected pair of sockets, closed at the end.
struct SocketPair {
  SocketPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
  ~SocketPair() {
    for (int fd : fds) {
      if (fd >= 0) close(fd);
    }
  }
  std::string Received() const {
    std::string got;
    char buf[4096];
    ssize_t n;
    while ((n = recv(fds[1], buf, sizeof buf, MSG_DONTWAIT)) > 0) got.append(buf, n);
    return got;
  }
  int fds[2] = {-1, -1};
};

TEST(ZqConnAnswer, AnswersGoStraightToASocketWhole) {
  SocketPair pair;
  const std::string raw = "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 2\r\n\r\nno";
  EXPECT_TRUE(zq_send_answer_to_socket(pair.fds[0], ZqAnswer::Raw(raw)));
  EXPECT_EQ(pair.Received(), raw);
  EXPECT_TRUE(zq_send_answer_to_socket(pair.fds[0], ZqAnswer::Json(200, "{}")));
  EXPECT_EQ(pair.Received(),
            "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 2\r\n\r\n{}");
}

TEST(ZqConnAnswer, ASocketThatTakesNothingFailsWithoutBlockingOrSignal) {
  SocketPair pair;
  shutdown(pair.fds[1], SHUT_RD);
  close(pair.fds[1]);
  pair.fds[1] = -1;
  // The peer is gone: a write would raise SIGPIPE unless suppressed, and this test would die.
  EXPECT_FALSE(zq_send_answer_to_socket(pair.fds[0], ZqAnswer::Raw("HTTP/1.1 200 OK\r\n\r\n")));
  EXPECT_FALSE(zq_send_answer_to_socket(-1, ZqAnswer::Raw("HTTP/1.1 200 OK\r\n\r\n")));
  // A full socket refuses at once instead of waiting for the client.
  SocketPair full;
  const std::string big(1 << 22, 'x');
  EXPECT_FALSE(zq_send_answer_to_socket(full.fds[0], ZqAnswer::Bytes(200, "text/plain", big)));
}

std::atomic<int> g_cuts{0};
void CountCut(const mg_connection*) { ++g_cuts; }

// A body that breaks off asks the server to cut the connection at once (the server's cut
// shuts the socket down), and the kept-alive client sees the short body and the end.
TEST(ZqConnAnswer, ABodyThatBreaksOffCutsTheConnection) {
  g_cuts = 0;
  zqtest::TestServer server([](mg_connection* conn) {
    const bool whole = g_cuts > 0;  // the second request's body is whole
    ZqAnswer answer = ZqAnswer::Sized(200, "text/plain", 5, [whole](ZqSink& sink) {
      return sink.Write("abc", 3) && (!whole || sink.Write("de", 2));
    });
    zq_send_answer(conn, answer, CountCut);
  });
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n\r\n";
  EXPECT_EQ(zqtest::RawRequest(server.port(), "GET / HTTP/1.1\r\nHost: x\r\n\r\n"), head + "abc");
  ASSERT_TRUE(server.WaitHandled(1));
  EXPECT_EQ(g_cuts, 1);
  EXPECT_EQ(
      zqtest::RawRequest(server.port(), "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"),
      head + "abcde");
  ASSERT_TRUE(server.WaitHandled(2));
  EXPECT_EQ(g_cuts, 1);
}

}  // namespace
