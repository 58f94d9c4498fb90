// The host encoding of the IPC message library: what one side encodes the other decodes, and
// bytes that are not exactly one message are refused whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zqIpcMsg.h"
#include "zqipc.h"

namespace {

Msg Sample() {
  Msg m(2);
  m.AddElement(MsgElement(65, "BL"));
  const uint8_t params[] = {4, 0, 15};
  m.AddElement(MsgElement(66, params, sizeof params));
  m.AddElement(MsgElement(66, nullptr, 0));  // empty values and repeated tags are kept
  m.AddElement(MsgElement(238, nullptr, 0));
  return m;
}

TEST(SimIpcMsg, EncodedMessagesDecodeToTheSameElements) {
  MemStream bytes;
  ASSERT_TRUE(Sample().Encode(&bytes));
  Msg back;
  ASSERT_TRUE(back.Decode(bytes));
  EXPECT_EQ(back.category(), 2);
  ASSERT_EQ(back.elements().size(), 4u);
  EXPECT_EQ(back.elements()[1].value(), (std::vector<uint8_t>{4, 0, 15}));
  EXPECT_TRUE(back.elements()[2].value().empty());
  ASSERT_NE(back.FindElement(66), nullptr);
  EXPECT_EQ(back.FindElement(66)->value().size(), 3u);  // the first of the tag
  EXPECT_EQ(back.FindElement(69), nullptr);
}

TEST(SimIpcMsg, BytesThatAreNotOneWholeMessageAreRefused) {
  MemStream good;
  ASSERT_TRUE(Sample().Encode(&good));
  const std::vector<uint8_t> bytes(good.data(), good.data() + good.size());
  auto decodes = [](const std::vector<uint8_t>& b) {
    Msg m(9);
    m.AddElement(MsgElement(1, "x"));
    const bool ok = m.Decode(MemStream(b.data(), b.size()));
    if (!ok) {
      EXPECT_TRUE(m.elements().empty());  // a refused decode leaves nothing behind
    }
    return ok;
  };
  EXPECT_TRUE(decodes(bytes));
  auto shorter = bytes;
  shorter.pop_back();
  EXPECT_FALSE(decodes(shorter));
  auto longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(decodes(longer));
  auto overrun = bytes;
  overrun[4 + 1] = 200;  // the first element claims more than the message holds
  EXPECT_FALSE(decodes(overrun));
  auto tlv = bytes;
  tlv[0] = 0x00;  // a daemon TLV message, not one of the library's
  EXPECT_FALSE(decodes(tlv));
  EXPECT_FALSE(decodes({}));

  // Nothing larger than a queue message is made.
  Msg big(2);
  big.AddElement(MsgElement(66, std::string(kZqIpcMaxMessage, 'x')));
  MemStream out;
  out.Append("stale", 5);
  EXPECT_FALSE(big.Encode(&out));
  EXPECT_EQ(out.size(), 0u);
}

}  // namespace
