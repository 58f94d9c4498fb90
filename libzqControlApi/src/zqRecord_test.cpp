#include "zqcontrolapi/zqRecord.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

TEST(ZqRecord, WriterZeroFillsAndWritesLittleEndianAtOffsets) {
  std::array<uint8_t, 16> bytes;
  bytes.fill(0xAA);
  ZqRecordWriter w(bytes);
  w.Put(1, 0x0102, 2);
  w.Put(4, 0xDEADBEEF, 4);
  w.Put(8, 0x0807060504030201ull, 8);
  EXPECT_TRUE(w.ok());
  EXPECT_EQ(zq_hex(bytes), "00020100efbeadde0102030405060708");
}

TEST(ZqRecord, TextFieldsAreTerminatedAndRefusedWhenTheyDoNotFit) {
  std::array<uint8_t, 8> bytes;
  ZqRecordWriter w(bytes);
  EXPECT_TRUE(w.PutText(0, 4, "abc"));
  EXPECT_FALSE(w.PutText(4, 4, "abcd"));  // no room for the NUL
  EXPECT_FALSE(w.PutText(4, 4, std::string("a\0b", 3)));
  EXPECT_TRUE(w.ok());
  EXPECT_EQ(zq_hex(bytes), "6162630000000000");
}

TEST(ZqRecord, OutOfRangeAccessIsFlaggedAndHarmless) {
  std::array<uint8_t, 4> bytes;
  ZqRecordWriter w(bytes);
  w.Put(2, 0xFFFFFFFF, 4);
  EXPECT_FALSE(w.ok());
  EXPECT_EQ(zq_hex(bytes), "00000000");

  const std::vector<uint8_t> in = {1, 2, 3};
  ZqRecordReader r(in);
  EXPECT_EQ(r.U16(1), 0x0302);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.U32(0), 0u);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.Text(2, 5), "");
  EXPECT_TRUE(r.Bytes(3, 1).empty());
}

TEST(ZqRecord, ReaderTextStopsAtTheFirstNulOrTheFieldEnd) {
  const std::vector<uint8_t> in = {'a', 'b', 0, 'c', 'd', 'e', 'f', 0xFF};
  ZqRecordReader r(in);
  EXPECT_EQ(r.Text(0, 4), "ab");
  EXPECT_EQ(r.Text(3, 4), "cdef");
  EXPECT_EQ(r.I8(7), -1);
  EXPECT_EQ(r.I32(4), static_cast<int32_t>(0xFF666564));
}

}  // namespace
