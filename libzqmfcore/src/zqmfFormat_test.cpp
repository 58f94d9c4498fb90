// Formatted (host order) and scaled output, from hand-made streams.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "zqmf/zqmfParser.h"
#include "zqmftest/KlvBytes.h"

namespace {

using zqmftest::Be16;
using zqmftest::Be32;
using zqmftest::Be64;
using zqmftest::BeDouble;
using zqmftest::BeFloat;
using zqmftest::Nest;
using zqmftest::Record;
using zqmftest::Text;
using zqmftest::Words;

// DEVC { STRM { records } }, with a state on the first record `key`.
class Stream {
 public:
  explicit Stream(const std::string& records) : words_(Nest("DEVC", Nest("STRM", records))) {
    ok_ = ZQMF_Init(&ms_, words_.data(), words_.bytes()) == ZQMF_OK;
  }
  ~Stream() { ZQMF_Free(&ms_); }
  ZQMF_stream* At(const char (&key)[5]) {
    EXPECT_TRUE(ok_);
    ZQMF_ResetState(&ms_);
    EXPECT_EQ(ZQMF_FindNext(&ms_, ZQMF_Key4CC(key), ZQMF_RECURSE_LEVELS), ZQMF_OK) << key;
    return &ms_;
  }

 private:
  Words words_;
  ZQMF_stream ms_;
  bool ok_ = false;
};

template <class T>
std::vector<T> Formatted(ZQMF_stream* ms, uint32_t count, uint32_t first = 0) {
  std::vector<T> out(count * ZQMF_StructSize(ms) / sizeof(T));
  EXPECT_EQ(ZQMF_FormattedData(ms, out.data(), static_cast<uint32_t>(out.size() * sizeof(T)), first,
                               count),
            ZQMF_OK);
  return out;
}

std::vector<double> Scaled(ZQMF_stream* ms, ZQMF_ERROR expect = ZQMF_OK) {
  std::vector<double> out(ZQMF_ScaledDataSize(ms, 'd') / 8 + 1);
  EXPECT_EQ(ZQMF_ScaledData(ms, out.data(), static_cast<uint32_t>(out.size() * 8), 0,
                            ZQMF_Repeat(ms), 'd'),
            expect);
  out.pop_back();
  return out;
}

TEST(ZqmfFormat, EveryTypeComesOutInHostOrder) {
  Stream s(Record("SB08", 'b', 1, 2, "\xFB\x07") + Record("UB08", 'B', 1, 2, "\xC8\x01") +
           Record("TEXT", 'c', 2, 1, "hi") + Record("SI16", 's', 2, 2, Be16(-300) + Be16(12345)) +
           Record("UI16", 'S', 2, 2, Be16(65000) + Be16(2)) +
           Record("SI32", 'l', 4, 2, Be32(static_cast<uint32_t>(-100000)) + Be32(7)) +
           Record("UI32", 'L', 4, 2, Be32(4000000000u) + Be32(1)) +
           Record("FL32", 'f', 4, 2, BeFloat(1.5f) + BeFloat(-0.25f)) +
           Record("FL64", 'd', 8, 2, BeDouble(3.25) + BeDouble(-1e10)) +
           Record("SI64", 'j', 8, 1, Be64(static_cast<uint64_t>(-5000000000000000LL))) +
           Record("UI64", 'J', 8, 1, Be64(18000000000000000000ULL)) +
           Record("QVAL", 'q', 4, 1, Be32(0x00018000)) + Record("FOUR", 'F', 4, 1, "ABCD") +
           Record("GUID", 'G', 16, 1, "0123456789abcdef") +
           Record("DATE", 'u', 16, 1, "230101120000.000"));
  EXPECT_EQ(Formatted<int8_t>(s.At("SB08"), 2), (std::vector<int8_t>{-5, 7}));
  EXPECT_EQ(Formatted<uint8_t>(s.At("UB08"), 2), (std::vector<uint8_t>{200, 1}));
  EXPECT_EQ(Formatted<char>(s.At("TEXT"), 1), (std::vector<char>{'h', 'i'}));
  EXPECT_EQ(Formatted<int16_t>(s.At("SI16"), 2), (std::vector<int16_t>{-300, 12345}));
  EXPECT_EQ(Formatted<uint16_t>(s.At("UI16"), 2), (std::vector<uint16_t>{65000, 2}));
  EXPECT_EQ(Formatted<int32_t>(s.At("SI32"), 2), (std::vector<int32_t>{-100000, 7}));
  EXPECT_EQ(Formatted<uint32_t>(s.At("UI32"), 2), (std::vector<uint32_t>{4000000000u, 1}));
  EXPECT_EQ(Formatted<float>(s.At("FL32"), 2), (std::vector<float>{1.5f, -0.25f}));
  EXPECT_EQ(Formatted<double>(s.At("FL64"), 2), (std::vector<double>{3.25, -1e10}));
  EXPECT_EQ(Formatted<int64_t>(s.At("SI64"), 1), (std::vector<int64_t>{-5000000000000000LL}));
  EXPECT_EQ(Formatted<uint64_t>(s.At("UI64"), 1), (std::vector<uint64_t>{18000000000000000000ULL}));
  EXPECT_EQ(Formatted<uint32_t>(s.At("QVAL"), 1), (std::vector<uint32_t>{0x00018000}));
  EXPECT_EQ(Formatted<char>(s.At("FOUR"), 1), (std::vector<char>{'A', 'B', 'C', 'D'}));
  const std::vector<char> guid = Formatted<char>(s.At("GUID"), 1);
  EXPECT_EQ(std::string(guid.begin(), guid.end()), "0123456789abcdef");
  const std::vector<char> date = Formatted<char>(s.At("DATE"), 1);
  EXPECT_EQ(std::string(date.begin(), date.end()), "230101120000.000");
}

TEST(ZqmfFormat, SampleRangeAndOutputSizeAreChecked) {
  Stream s(Record("SI16", 's', 4, 3, Be16(1) + Be16(2) + Be16(3) + Be16(4) + Be16(5) + Be16(6)));
  ZQMF_stream* ms = s.At("SI16");
  EXPECT_EQ(Formatted<int16_t>(ms, 1, 2), (std::vector<int16_t>{5, 6}));
  EXPECT_EQ(Formatted<int16_t>(ms, 2, 1), (std::vector<int16_t>{3, 4, 5, 6}));
  int16_t out[8];
  EXPECT_EQ(ZQMF_FormattedData(ms, out, sizeof(out), 2, 2), ZQMF_ERROR_MEMORY);  // past the end
  EXPECT_EQ(ZQMF_FormattedData(ms, out, 7, 0, 2), ZQMF_ERROR_MEMORY);            // no room
  EXPECT_EQ(ZQMF_FormattedData(ms, nullptr, 8, 0, 1), ZQMF_ERROR_MEMORY);
  ZQMF_stream top = *ms;
  ZQMF_ResetState(&top);
  ASSERT_EQ(ZQMF_Next(&top, ZQMF_RECURSE_LEVELS), ZQMF_OK);  // the STRM nest itself
  EXPECT_EQ(ZQMF_FormattedData(&top, out, sizeof(out), 0, 1), ZQMF_ERROR_MEMORY);
}

TEST(ZqmfFormat, ComplexRecordsFollowTheirTypeString) {
  const std::string two =
      BeFloat(1.5f) + BeFloat(2.5f) + Be32(7) + BeFloat(-1.0f) + BeFloat(0.5f) + Be32(9);
  Stream s(Text("TYPE", "f[2]L") + Record("CPLX", '?', 12, 2, two) +
           Record("SHRT", '?', 11, 2, two.substr(0, 22)) +
           Nest("INNR", Record("ORPH", '?', 12, 1, two.substr(0, 12))));
  struct Packed {
    float a, b;
    uint32_t c;
  };
  Packed out[2];
  ASSERT_EQ(ZQMF_FormattedData(s.At("CPLX"), out, sizeof(out), 0, 2), ZQMF_OK);
  EXPECT_EQ(out[0].a, 1.5f);
  EXPECT_EQ(out[0].b, 2.5f);
  EXPECT_EQ(out[0].c, 7u);
  EXPECT_EQ(out[1].a, -1.0f);
  EXPECT_EQ(out[1].c, 9u);
  EXPECT_EQ(Scaled(s.At("CPLX")), (std::vector<double>{1.5, 2.5, 7, -1, 0.5, 9}));

  // Struct size 11 against a type string of 12 bytes; a nest of its own without "TYPE".
  EXPECT_EQ(ZQMF_FormattedData(s.At("SHRT"), out, sizeof(out), 0, 2),
            ZQMF_ERROR_TYPE_NOT_SUPPORTED);
  EXPECT_EQ(ZQMF_FormattedData(s.At("ORPH"), out, sizeof(out), 0, 1),
            ZQMF_ERROR_TYPE_NOT_SUPPORTED);
  EXPECT_EQ(ZQMF_ElementsInStruct(s.At("ORPH")), 0u);
}

TEST(ZqmfFormat, ScaleDividesEveryElementOrEachItsOwn) {
  const std::string xyz = Be16(100) + Be16(static_cast<uint16_t>(-50)) + Be16(7);
  Stream one(Record("SCAL", 's', 2, 1, Be16(10)) + Record("ACCL", 's', 6, 1, xyz));
  EXPECT_EQ(Scaled(one.At("ACCL")), (std::vector<double>{10, -5, 0.7}));

  Stream each(Record("SCAL", 'l', 4, 3, Be32(1) + Be32(2) + Be32(4)) +
              Record("ACCL", 's', 6, 1, xyz));
  EXPECT_EQ(Scaled(each.At("ACCL")), (std::vector<double>{100, -25, 1.75}));

  Stream zero(Record("SCAL", 'f', 4, 3, BeFloat(2) + BeFloat(0) + BeFloat(0.5f)) +
              Record("ACCL", 's', 6, 1, xyz));
  EXPECT_EQ(Scaled(zero.At("ACCL")), (std::vector<double>{50, 0, 14}));

  // A scale belongs to its own nest only.
  Stream other(Record("SCAL", 's', 2, 1, Be16(10)) + Nest("INNR", Record("ACCL", 's', 6, 1, xyz)));
  EXPECT_EQ(Scaled(other.At("ACCL")), (std::vector<double>{100, -50, 7}));

  Stream wrong_count(Record("SCAL", 's', 2, 2, Be16(1) + Be16(2)) + Record("ACCL", 's', 6, 1, xyz));
  Scaled(wrong_count.At("ACCL"), ZQMF_ERROR_SCALE_COUNT);
  Stream wrong_type(Record("SCAL", 'c', 1, 3, "abc") + Record("ACCL", 's', 6, 1, xyz));
  Scaled(wrong_type.At("ACCL"), ZQMF_ERROR_SCALE_NOT_SUPPORTED);
}

TEST(ZqmfFormat, IntegerOutputsRoundToNearestAndWrap) {
  Stream s(Record("SCAL", 's', 2, 1, Be16(2)) +
           Record("HALF", 's', 6, 1, Be16(7) + Be16(static_cast<uint16_t>(-7)) + Be16(32767)) +
           Record("WIDE", 'l', 4, 1, Be32(300)));
  int16_t halves[3];
  ASSERT_EQ(ZQMF_ScaledData(s.At("HALF"), halves, sizeof(halves), 0, 1, 's'), ZQMF_OK);
  EXPECT_EQ(halves[0], 4);
  EXPECT_EQ(halves[1], -4);
  EXPECT_EQ(halves[2], 16384);
  int8_t narrow = 0;
  ASSERT_EQ(ZQMF_ScaledData(s.At("WIDE"), &narrow, 1, 0, 1, 'b'), ZQMF_OK);
  EXPECT_EQ(narrow, 150 - 256);  // 300 / 2, wrapped at 8 bits
  uint32_t out[3];
  EXPECT_EQ(ZQMF_ScaledData(s.At("HALF"), out, 5, 0, 1, 'S'), ZQMF_ERROR_MEMORY);
  EXPECT_EQ(ZQMF_ScaledData(s.At("HALF"), out, sizeof(out), 0, 1, 'c'),
            ZQMF_ERROR_TYPE_NOT_SUPPORTED);
  EXPECT_EQ(ZQMF_ScaledData(s.At("HALF"), out, sizeof(out), 0, 1, 'x'), ZQMF_ERROR_UNKNOWN_TYPE);
  Stream text(Text("NAME", "camera"));
  EXPECT_EQ(ZQMF_ScaledData(text.At("NAME"), out, sizeof(out), 0, 1, 'd'),
            ZQMF_ERROR_TYPE_NOT_SUPPORTED);
}

TEST(ZqmfFormat, MatrixAndOrientationTurnEachSample) {
  const std::string pair = BeFloat(1) + BeFloat(2);
  Stream matrix(Record("SCAL", 's', 2, 1, Be16(2)) +
                Record("MTRX", 'f', 4, 4, BeFloat(0.5f) + BeFloat(0) + BeFloat(0) + BeFloat(2)) +
                Record("PAIR", 'f', 8, 1, pair));
  EXPECT_EQ(Scaled(matrix.At("PAIR")), (std::vector<double>{0.25, 2}));

  // Entries of -1, 0 and 1 only: not a matrix of its own.
  Stream flip_only(Record("MTRX", 's', 2, 4, Be16(0) + Be16(1) + Be16(1) + Be16(0)) +
                   Record("PAIR", 'f', 8, 1, pair));
  EXPECT_EQ(Scaled(flip_only.At("PAIR")), (std::vector<double>{1, 2}));

  // Output axis i takes input axis j with the same letter, negated when the case differs.
  const std::string xyz = Be16(1) + Be16(2) + Be16(3);
  Stream orient(Text("ORIN", "XYZ") + Text("ORIO", "ZxY") + Record("GYRO", 's', 6, 1, xyz));
  EXPECT_EQ(Scaled(orient.At("GYRO")), (std::vector<double>{3, -1, 2}));

  // The orientation also replaces an "MTRX" of -1, 0 and 1; one that does not fit is ignored.
  Stream both(Record("MTRX", 's', 2, 9, std::string(18, '\0')) + Text("ORIN", "XYZ") +
              Text("ORIO", "YZX") + Record("GYRO", 's', 6, 1, xyz));
  EXPECT_EQ(Scaled(both.At("GYRO")), (std::vector<double>{2, 3, 1}));
  Stream short_axes(Text("ORIN", "XY") + Text("ORIO", "YX") + Record("GYRO", 's', 6, 1, xyz));
  EXPECT_EQ(Scaled(short_axes.At("GYRO")), (std::vector<double>{1, 2, 3}));

  Stream wrong_count(Record("MTRX", 'f', 4, 3, BeFloat(2) + BeFloat(0) + BeFloat(0)) +
                     Record("PAIR", 'f', 8, 1, pair));
  Scaled(wrong_count.At("PAIR"), ZQMF_ERROR_SCALE_COUNT);
  Stream wrong_type(Record("MTRX", 'c', 1, 4, "abcd") + Record("PAIR", 'f', 8, 1, pair));
  Scaled(wrong_type.At("PAIR"), ZQMF_ERROR_SCALE_NOT_SUPPORTED);
}

}  // namespace
