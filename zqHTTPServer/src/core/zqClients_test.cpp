#include "core/zqClients.h"

#include <gtest/gtest.h>

#include "http/zqWriter.h"

namespace {

// The refusal of a connection over its address's share, byte for byte as clients have seen
// it, with the connection closed after it.
TEST(ZqClients, RefusalKeepsItsBytes) {
  ZqCapture out;
  EXPECT_TRUE(zq_write_answer(zq_clients_refusal(), false, out));
  EXPECT_EQ(out.bytes,
            "HTTP/1.1 503 Service Unavailable\r\nRetry-After: 1\r\n"
            "Content-Type: text/plain; charset=utf-8\r\nContent-Length: 70\r\n"
            "Connection: close\r\n\r\n"
            "Error 503: Service Unavailable\nToo many connections from this address\n");
}

}  // namespace
