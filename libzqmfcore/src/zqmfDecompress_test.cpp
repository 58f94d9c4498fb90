// The decompressor against bit streams written out by hand from the format's code table, so
// that it is checked independently of the library's own compressor.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zqmf/zqmfParser.h"
#include "zqmftest/KlvBytes.h"

namespace {

using zqmftest::Be16;
using zqmftest::Nest;
using zqmftest::Record;
using zqmftest::Words;

// Magnitude codes as the format lists them (code length, value), spelled in binary here.
const char* const kPlus1 =
    "10"
    "0";
const char* const kMinus1 =
    "10"
    "1";
const char* const kMinus2 =
    "1100"
    "1";
const char* const kPlus2 =
    "1100"
    "0";
const char* const kPlus3 =
    "11011"
    "0";
const char* const kPlus16 =
    "111000101"
    "0";
const char* const kMinus38 =
    "111000111100011"
    "1";
const char* const kEscape = "1110001111000100";
const char* const kEnd = "1110001111000101";

std::string Bits(uint32_t value, int count) {
  std::string s;
  for (int i = count - 1; i >= 0; i--) s.push_back(((value >> i) & 1) ? '1' : '0');
  return s;
}

// Bytes of a bit string ('0'/'1'; anything else ignored), zero-padded to a whole byte.
std::string Pack(const std::string& bits) {
  std::string clean;
  for (char c : bits) {
    if (c == '0' || c == '1') clean.push_back(c);
  }
  std::string out((clean.size() + 7) / 8, '\0');
  for (size_t i = 0; i < clean.size(); i++) {
    if (clean[i] == '1') out[i / 8] = static_cast<char>(out[i / 8] | (0x80 >> (i % 8)));
  }
  return out;
}

// A compressed record: the inner header, then `body` (first sample, quantisers, bit streams).
std::string Packed(char type, uint8_t structSize, uint16_t repeat, const std::string& body) {
  std::string payload = std::string(1, type) + static_cast<char>(structSize) + Be16(repeat) + body;
  return Record("PACK", '#', 1, static_cast<uint16_t>(payload.size()), payload);
}

class Expanded {
 public:
  explicit Expanded(const std::string& record) : words_(Nest("DEVC", record)) {
    ok_ = ZQMF_Init(&ms_, words_.data(), words_.bytes()) == ZQMF_OK &&
          ZQMF_Next(&ms_, ZQMF_RECURSE_LEVELS) == ZQMF_OK;
  }
  ~Expanded() { ZQMF_Free(&ms_); }

  ZQMF_ERROR Decompress(std::vector<uint8_t>* out, uint32_t room = 0) {
    EXPECT_TRUE(ok_);
    uint32_t size = 0;
    EXPECT_EQ(ZQMF_DecompressedSize(&ms_, &size), ZQMF_OK);
    out->assign(room ? room : size, 0xAA);
    return ZQMF_Decompress(&ms_, out->data(), static_cast<uint32_t>(out->size()));
  }
  template <class T>
  std::vector<T> Values() {
    std::vector<T> out(ZQMF_FormattedDataSize(&ms_) / sizeof(T) + 4);
    EXPECT_EQ(ZQMF_FormattedData(&ms_, out.data(), static_cast<uint32_t>(out.size() * sizeof(T)), 0,
                                 ZQMF_Repeat(&ms_)),
              ZQMF_OK);
    out.resize(ZQMF_FormattedDataSize(&ms_) / sizeof(T));
    return out;
  }
  ZQMF_stream* state() { return &ms_; }

 private:
  Words words_;
  ZQMF_stream ms_;
  bool ok_ = false;
};

TEST(ZqmfDecompress, ValueCodesAddToTheRunningValue) {
  // First sample 100 raw, quantiser 1, then +1, -2, +3 and the end code.
  Expanded e(
      Packed('s', 2, 5, Be16(100) + Be16(1) + Pack(std::string(kPlus1) + kMinus2 + kPlus3 + kEnd)));
  EXPECT_EQ(e.Values<int16_t>(), (std::vector<int16_t>{100, 101, 99, 102, 102}));
  std::vector<uint8_t> raw;
  ASSERT_EQ(e.Decompress(&raw), ZQMF_OK);
  // The expansion is in stream order, exactly an uncompressed payload with its padding.
  EXPECT_EQ(std::string(raw.begin(), raw.end()),
            Be16(100) + Be16(101) + Be16(99) + Be16(102) + Be16(102) + std::string(2, '\0'));
}

TEST(ZqmfDecompress, RunsBeforeAValueTakeTheNewValueAndPureRunsKeepTheOld) {
  // run 3 then +2: four samples of 12; a whole window of zeros: 16 samples of 12; the run
  // prefix 1111110 (16) and two zeros then +1: 19 samples of 13; the end fills two more.
  const std::string bits =
      std::string("000") + kPlus2 + std::string(16, '0') + "1111110" + "00" + kPlus1 + kEnd;
  Expanded e(Packed('s', 2, 42, Be16(10) + Be16(1) + Pack(bits)));
  std::vector<int16_t> want = {10};
  want.insert(want.end(), 4 + 16, 12);
  want.insert(want.end(), 19 + 2, 13);
  EXPECT_EQ(e.Values<int16_t>(), want);
}

TEST(ZqmfDecompress, LongRunPrefixes) {
  const struct {
    const char* prefix;
    int run;
  } kPrefixes[] = {{"11111110", 32}, {"111111111", 64}, {"1111111101", 128}};
  for (const auto& p : kPrefixes) {
    // The prefix and one zero, then +1: run + 2 samples of the new value.
    const std::string bits = std::string(p.prefix) + "0" + kPlus1 + kEnd;
    Expanded e(Packed('S', 2, static_cast<uint16_t>(p.run + 3), Be16(7) + Be16(1) + Pack(bits)));
    std::vector<uint16_t> want = {7};
    want.insert(want.end(), p.run + 2, 8);
    EXPECT_EQ(e.Values<uint16_t>(), want) << p.prefix;
  }
}

TEST(ZqmfDecompress, QuantiserEscapeAndLargeMagnitudes) {
  // Quantiser 4: escape with raw delta -300 (x4), then -1 (x4), +16 and -38 (x4).
  const std::string bits = std::string(kEscape) + Bits(static_cast<uint16_t>(-300), 16) + kMinus1 +
                           kPlus16 + kMinus38 + kEnd;
  Expanded e(Packed('s', 2, 5, Be16(1000) + Be16(4) + Pack(bits)));
  EXPECT_EQ(e.Values<int16_t>(), (std::vector<int16_t>{1000, -200, -204, -140, -292}));
}

TEST(ZqmfDecompress, ChannelsAreInterleavedAndStartOnWholeWords) {
  // Two 16-bit channels. Channel 0: quantiser 1 right after the 4-byte first sample, its
  // codes from byte 6: +1, +1, end (22 bits, ending at bit 70). Channel 1: quantiser 2 at the
  // next 16-bit word (byte 10), its codes from byte 12: -2 (x2), end.
  const std::string ch0 = Pack(std::string(kPlus1) + kPlus1 + kEnd);  // 3 bytes
  const std::string ch1 = Pack(std::string(kMinus2) + kEnd);
  const std::string body =
      Be16(1) + Be16(1000) + Be16(1) + ch0 + std::string(1, '\0') + Be16(2) + ch1;
  Expanded e(Packed('s', 4, 3, body));
  EXPECT_EQ(e.Values<int16_t>(), (std::vector<int16_t>{1, 1000, 2, 996, 3, 996}));
}

TEST(ZqmfDecompress, ByteChannelsUseByteQuantisersAndRawDeltas) {
  // First sample 5, quantiser byte 3, codes from the next 16-bit boundary: escape with the
  // 8-bit delta -127 (x3, wrapping), +1 (x3), end.
  const std::string bits = std::string(kEscape) + Bits(0x81, 8) + kPlus1 + kEnd;
  Expanded e(Packed('b', 1, 4, std::string("\x05\x03", 2) + Pack(bits)));
  EXPECT_EQ(e.Values<int8_t>(), (std::vector<int8_t>{5, -120, -117, -117}));
}

TEST(ZqmfDecompress, FourByteValuesAreCodedAsHalves) {
  // 0x00010002: high half 1, low half 2. High: +1, end. Low: -2, end.
  const std::string hi = Pack(std::string(kPlus1) + kEnd);  // 19 bits -> 3 bytes
  const std::string lo = Pack(std::string(kMinus2) + kEnd);
  const std::string body = Be16(1) + Be16(2) + Be16(1) + hi + std::string(1, '\0') + Be16(1) + lo;
  Expanded e(Packed('l', 4, 3, body));
  EXPECT_EQ(e.Values<int32_t>(), (std::vector<int32_t>{0x00010002, 0x00020000, 0x00020000}));
}

TEST(ZqmfDecompress, DamagedStreamsAreRefused) {
  const std::string good = Be16(100) + Be16(1) + Pack(std::string(kPlus1) + kMinus2 + kEnd);
  std::vector<uint8_t> out;
  {
    Expanded e(Packed('s', 2, 4, good));
    ASSERT_EQ(e.Decompress(&out), ZQMF_OK);
    EXPECT_EQ(e.Decompress(&out, 7), ZQMF_ERROR_MEMORY);  // output smaller than the expansion
  }
  const struct {
    const char* name;
    std::string record;
  } kCases[] = {
      {"no end code", Packed('s', 2, 4, Be16(100) + Be16(1) + Pack(std::string(kPlus1) + kMinus2))},
      {"runs past the samples",
       Packed('s', 2, 3, Be16(100) + Be16(1) + Pack(std::string("000") + kPlus1 + kEnd))},
      {"escape without its delta", Packed('s', 2, 4, Be16(100) + Be16(1) + Pack(kEscape))},
      {"escape past the samples",
       Packed('s', 2, 1, Be16(100) + Be16(1) + Pack(std::string(kEscape) + Bits(1, 16) + kEnd))},
      {"shorter than a sample", Packed('s', 4, 4, Be16(100))},
      {"no quantiser", Packed('s', 2, 4, Be16(100))},
      {"no element size", Packed('u', 2, 4, good)},
      {"no samples", Packed('s', 2, 0, good)},
      {"odd struct for halves", Packed('s', 3, 4, good)},
  };
  for (const auto& c : kCases) {
    Expanded e(c.record);
    EXPECT_EQ(e.Decompress(&out), ZQMF_ERROR_MEMORY) << c.name;
    std::vector<uint8_t> formatted(256);
    EXPECT_NE(ZQMF_FormattedData(e.state(), formatted.data(), 256, 0, ZQMF_Repeat(e.state())),
              ZQMF_OK)
        << c.name;
  }
}

TEST(ZqmfDecompress, CompressedSamplesScaleLikePlainOnes) {
  const std::string record =
      Record("SCAL", 's', 2, 1, Be16(4)) +
      Packed('s', 2, 4, Be16(100) + Be16(1) + Pack(std::string(kPlus2) + kMinus1 + kEnd));
  Words w(Nest("DEVC", Nest("STRM", record)));
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  ASSERT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("PACK"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  double out[4];
  ASSERT_EQ(ZQMF_ScaledData(&ms, out, sizeof(out), 0, 4, 'd'), ZQMF_OK);
  EXPECT_EQ(out[0], 25);
  EXPECT_EQ(out[1], 25.5);
  EXPECT_EQ(out[2], 25.25);
  EXPECT_EQ(out[3], 25.25);
  ASSERT_EQ(ZQMF_ScaledData(&ms, out, sizeof(out), 2, 2, 'd'), ZQMF_OK);
  EXPECT_EQ(out[0], 25.25);
  ZQMF_Free(&ms);
  EXPECT_EQ(ms.codebook, nullptr);
}

TEST(ZqmfDecompress, CodesArePrefixFreeAndEveryWindowDecodes) {
  // The compressor relies on this: a code is recognised whatever bits follow it.
  for (uint32_t a = 1; a < ZQMF_HUFFMAN_CODES; a++) {
    for (uint32_t b = 1; b < ZQMF_HUFFMAN_CODES; b++) {
      const ZQMF_huffman_code& x = ZQMF_HuffmanTable[a];
      const ZQMF_huffman_code& y = ZQMF_HuffmanTable[b];
      if (a == b || x.length > y.length) continue;
      EXPECT_NE(y.code >> (y.length - x.length), x.code) << a << " prefixes " << b;
    }
    EXPECT_EQ(ZQMF_HuffmanTable[a].magnitude, a);
  }
  // Each 16-bit window consumes bits: the decoder always moves on.
  ZQMF_codebook* book = nullptr;
  ASSERT_EQ(ZQMF_AllocCodebook(&book), ZQMF_OK);
  for (uint32_t w = 0; w < ZQMF_CODEBOOK_ENTRIES; w++) {
    ASSERT_GT(book->entry[w].bits_used, 0) << w;
    ASSERT_LE(book->entry[w].bits_used, 16) << w;
  }
  delete book;
}

}  // namespace
