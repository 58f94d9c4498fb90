#include "http/zqConnection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What goes to the client when an answer is written in the given pieces.
std::string Sent(bool head_only, const std::vector<std::string>& pieces) {
  ZqConnData data;
  zq_conn_begin_answer(&data, head_only);
  std::string out;
  for (const std::string& p : pieces)
    out += p.substr(0, zq_conn_head_part(&data, p.data(), p.size()));
  return out;
}

TEST(ZqConnection, HeadAnswersStopAtTheBlankLineHoweverTheyAreWritten) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: a/b\r\nContent-Length: 4\r\n\r\n";
  const struct {
    std::vector<std::string> pieces;
  } cases[] = {
      {{head + "body"}},
      {{head, "body"}},
      {{"HTTP/1.1 200 OK\r\n", "Content-Type: a/b\r\n", "Content-Length: 4\r\n\r\n", "bo", "dy"}},
      // The blank line split across writes, a byte at a time.
      {{head.substr(0, head.size() - 3), "\n", "\r", "\nbody"}},
      {{head.substr(0, head.size() - 1), "\nbody"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sent(true, c.pieces), head);
    EXPECT_EQ(Sent(false, c.pieces), head + "body");
  }
  // A line end inside a header, or a lone "\r\r\n", does not end the head.
  const std::string odd = "HTTP/1.1 200 OK\r\nX: a\r\r\nY: b\r\n\r\n";
  EXPECT_EQ(Sent(true, {odd + "body"}), odd);
  // The next answer on the connection starts afresh.
  ZqConnData data;
  zq_conn_begin_answer(&data, true);
  EXPECT_EQ(zq_conn_head_part(&data, (head + "body").data(), head.size() + 4), head.size());
  EXPECT_EQ(zq_conn_head_part(&data, "more", 4), 0u);
  zq_conn_begin_answer(&data, true);
  EXPECT_EQ(zq_conn_head_part(&data, head.data(), head.size()), head.size());
  EXPECT_EQ(zq_conn_head_part(nullptr, "abc", 3), 3u);  // not our server: all of it
}

}  // namespace
