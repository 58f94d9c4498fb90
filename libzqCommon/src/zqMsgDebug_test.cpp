#include "zqcommon/zqMsgDebug.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zqcommon/zqLog.h"

namespace {

TEST(ZqMsgDebug, DirectionLabelsAndBits) {
  struct Case {
    int index;
    const char* label;
    uint32_t bit;
  };
  const Case cases[] = {
      {0, "            ", 0},
      {1, ">Hb         ", 0x1},
      {26, "        <XX ", 0x20000000},
      {27, "DB>         ", 0x4000000},
      {28, "DB<         ", 0x8000000},
      {29, "", 0},
      {-1, "", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(zq_dump_label(c.index), c.label) << c.index;
    EXPECT_EQ(zq_dump_bit(c.index), c.bit) << c.index;
  }
  EXPECT_EQ(zq_dump_bit(27), zq_dump_bit(23));  // the DB marks share the BT bits
}

TEST(ZqMsgDebug, HexLineLayout) {
  const std::string text = "ABCDEFGHIJKLMNOP";
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  EXPECT_EQ(hexline("ERROR", 0x23, bytes, 16),
            "ERROR      00000020  41424344 45464748 494a4b4c 4d4e4f50  ABCDEFGHIJKLMNOP");
  // A 12-character label overflows its 11 columns rather than being cut.
  EXPECT_EQ(hexline(" Hb>        ", 0, bytes, 1),
            " Hb>        00000000  41" + std::string(33, ' ') + "  A");

  const uint8_t odd[] = {0x00, 0x41, 0x7f, 0x1f, 0x20, 0x7e, 0xff};
  EXPECT_EQ(hexline("x", 16, odd, sizeof odd),
            "x          00000010  00417f1f 207eff" + std::string(20, ' ') + "  .A.. ~.");
}

TEST(ZqMsgDebug, DumpTextHasOneLinePerSixteenBytes) {
  std::vector<uint8_t> bytes(17);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>('a' + i);
  EXPECT_EQ(snhexdump_text("L", bytes.data(), bytes.size()),
            "L          00000000  61626364 65666768 696a6b6c 6d6e6f70  abcdefghijklmnop\n"
            "L          00000010  71" +
                std::string(33, ' ') + "  q\n");
  EXPECT_EQ(snhexdump_text("L", bytes.data(), 0), "");
}

TEST(ZqMsgDebug, HexPrintNeedsTheDumpBitAndTheDirectionBit) {
  const uint32_t saved_level = g_debug_level;
  const uint32_t saved_mask = g_debug;
  const uint8_t msg[] = {0x00, 0x04, 0x00, 0x02};
  auto dumped = [&](uint32_t level, uint32_t mask, int index) {
    g_debug_level = level;
    g_debug = mask;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    hexprint(index, msg, sizeof msg);
    testing::internal::GetCapturedStderr();
    return testing::internal::GetCapturedStdout();
  };
  const uint32_t on = kZqDebugStdout | kZqDebugHexDump | 0x20;
  EXPECT_EQ(dumped(on, 0x2, kZqDumpHbSent),
            " Hb>        00000000  00040002" + std::string(27, ' ') + "  ....\n");
  EXPECT_EQ(dumped(on & ~kZqDebugHexDump, 0x2, kZqDumpHbSent), "");
  EXPECT_EQ(dumped(on, 0x4, kZqDumpHbSent), "");
  EXPECT_EQ(dumped(on, 0xFFFFFFFF, kZqDumpNone), "");
  g_debug_level = saved_level;
  g_debug = saved_mask;
}

TEST(ZqMsgDebugDeathTest, AssertionLogsAndAborts) {
  EXPECT_DEATH(zq_assert_fail("zqX.cpp", "fn", 12, "a != b"),
               "[0-9:]{8} .\\[31mASSERT:zqX.cpp/fn:12:a != b");
}

}  // namespace
