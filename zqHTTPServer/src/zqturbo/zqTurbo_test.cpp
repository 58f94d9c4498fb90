#include "zqturbo/zqTurbo.h"

#include <gtest/gtest.h>

#include "http/zqFakeRequest.h"
#include "http/zqWriter.h"

namespace {

TEST(Turbo, RefusesAMissingOrInvalidMode) {
  // "p" must be present and its value, "0" or "1", must end the query.
  for (const char* target : {"/zq/zqTurbo", "/zq/zqTurbo?", "/zq/zqTurbo?q=1", "/zq/zqTurbo?p=2",
                             "/zq/zqTurbo?p=1&x=0", "/zq/zqTurbo?p=", "/zq/zqTurbo?p=10"}) {
    SCOPED_TRACE(target);
    ZqFakeRequest request("GET", target);
    ZqCapture out;
    zq_write_answer(zqTurbo(request), false, out);
    EXPECT_EQ(out.bytes,
              "HTTP/1.1 400 Bad Request\r\nContent-Type: application/json\r\nContent-Length: "
              "3\r\n\r\n{}\n");
  }
}

}  // namespace
