// Round trips through the compressor and the decompressor.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "zqmf/zqmfParser.h"
#include "zqmf/zqmfWriter.h"
#include "zqmftest/KlvBytes.h"

namespace {

// Writes `samples` (host order) compressed, reads them back formatted; also checks that the
// record really is compressed.
template <class T>
std::vector<T> RoundTrip(const std::vector<T>& samples, uint32_t elements,
                         const std::vector<uint16_t>& quantisers = {}, size_t* packed = nullptr) {
  ZQMFWriter w;
  w.BeginNest("DEVC");
  const uint32_t repeat = static_cast<uint32_t>(samples.size() / elements);
  EXPECT_EQ(
      w.AddCompressed("DATA", ZQMFWriter::TypeOf<T>(), elements * sizeof(T), repeat, samples.data(),
                      quantisers.data(), static_cast<uint32_t>(quantisers.size())),
      ZQMF_OK);
  w.EndNest();
  std::vector<uint8_t> bytes;
  EXPECT_EQ(w.Finish(&bytes), ZQMF_OK);
  zqmftest::Words words(std::string(bytes.begin(), bytes.end()));
  ZQMF_stream ms;
  EXPECT_EQ(ZQMF_Init(&ms, words.data(), words.bytes()), ZQMF_OK);
  EXPECT_EQ(ZQMF_Next(&ms, ZQMF_RECURSE_LEVELS), ZQMF_OK);
  EXPECT_EQ(static_cast<const uint8_t*>(ZQMF_RawData(&ms))[-4], '#');
  if (packed != nullptr) *packed = ZQMF_RawDataSize(&ms);
  uint32_t room = 0;
  EXPECT_EQ(ZQMF_DecompressedSize(&ms, &room), ZQMF_OK);
  std::vector<T> out(room / sizeof(T) + 1);
  EXPECT_EQ(
      ZQMF_FormattedData(&ms, out.data(), static_cast<uint32_t>(out.size() * sizeof(T)), 0, repeat),
      ZQMF_OK);
  out.resize(samples.size());
  ZQMF_Free(&ms);
  return out;
}

template <class T>
void ExpectLossless(const std::vector<T>& samples, uint32_t elements, const std::string& what) {
  EXPECT_EQ(RoundTrip(samples, elements), samples) << what;
}

// Every run length up to beyond the longest run a window holds, followed by changes of every
// size class: small codes, the largest code, escapes, and wrap-around jumps.
template <class T>
void RunsAndChanges() {
  const int64_t changes[] = {1, -1, 2, 5, -17, 38, -38, 39, -100, 127, 1000, -32768};
  for (int run = 0; run <= 300; run += (run < 40 ? 1 : 7)) {
    std::vector<T> v;
    T value = 10;
    v.push_back(value);
    for (int64_t c : changes) {
      for (int i = 0; i < run; i++) v.push_back(value);  // unchanged stretch
      value = static_cast<T>(value + c);
      v.push_back(value);
      for (int i = 0; i < run / 2; i++) v.push_back(value);  // repeats of the new value
    }
    ExpectLossless(v, 1, "run " + std::to_string(run));
  }
}

TEST(ZqmfCompress, EveryRunLengthAndChangeSize) {
  RunsAndChanges<int16_t>();
  RunsAndChanges<uint16_t>();
  RunsAndChanges<int8_t>();
  RunsAndChanges<uint8_t>();
}

// Four- and eight-byte values go as 16-bit halves: noise across the whole range, then
// stretches where one half stays still while the other moves.
TEST(ZqmfCompress, WideTypesSurviveBitForBit) {
  std::mt19937 rng(20240601);
  std::vector<float> f;
  std::vector<double> d;
  std::vector<uint64_t> j;
  std::vector<int32_t> l;
  std::vector<uint32_t> u;
  for (int k = 0; k < 300; k++) {
    f.push_back(static_cast<float>(std::sin(k * 0.1)));
    d.push_back(std::cos(k * 0.01) * 1e6);
    j.push_back(0x0123456789ABCDEFULL + static_cast<uint64_t>(k) * 1000);
    l.push_back(k < 100 ? static_cast<int32_t>(rng()) : (k % 50) * 65536 - 7 * k);
    u.push_back(k < 100 ? static_cast<uint32_t>(rng()) : 0x80000000u + (k / 30) * 3);
  }
  ExpectLossless(l, 3, "int32");
  ExpectLossless(u, 1, "uint32");
  ExpectLossless(f, 2, "float");
  ExpectLossless(d, 1, "double");
  ExpectLossless(j, 1, "uint64");
  ExpectLossless(std::vector<int16_t>{42}, 1, "one sample");
}

TEST(ZqmfCompress, QuantisersKeepEverySampleWithinHalfAStep) {
  std::vector<int16_t> v;
  for (int k = 0; k < 2000; k++) {
    v.push_back(static_cast<int16_t>(8000 * std::sin(k / 50.0)));
    v.push_back(static_cast<int16_t>(k % 300));
  }
  size_t lossless = 0, lossy = 0;
  RoundTrip(v, 2, {}, &lossless);
  const std::vector<int16_t> back = RoundTrip(v, 2, {16, 3}, &lossy);
  for (size_t i = 0; i < v.size(); i++) {
    const int step = i % 2 == 0 ? 16 : 3;
    ASSERT_LE(std::abs(back[i] - v[i]), step / 2) << i;
  }
  EXPECT_LT(lossy, lossless);
}

TEST(ZqmfCompress, SmoothSignalsShrink) {
  std::vector<int16_t> v;
  for (int k = 0; k < 200; k++) {
    for (int e = 0; e < 3; e++)
      v.push_back(static_cast<int16_t>(300 * std::sin((k + 30 * e) / 100.0)));
  }
  size_t packed = 0;
  EXPECT_EQ(RoundTrip(v, 3, {}, &packed), v);
  EXPECT_LT(packed, v.size() * sizeof(int16_t) / 2);
}

TEST(ZqmfCompress, RefusesBadArguments) {
  const int16_t v[4] = {1, 2, 3, 4};
  std::vector<uint8_t> out;
  const uint16_t zero = 0, wide = 300, two[2] = {1, 1};
  EXPECT_EQ(ZQMF_Compress('s', 2, 0, v, nullptr, 0, &out), ZQMF_ERROR_MEMORY);
  EXPECT_EQ(ZQMF_Compress('s', 2, 4, nullptr, nullptr, 0, &out), ZQMF_ERROR_MEMORY);
  EXPECT_EQ(ZQMF_Compress('s', 3, 2, v, nullptr, 0, &out), ZQMF_ERROR_MEMORY);
  EXPECT_EQ(ZQMF_Compress('s', 2, 4, v, &zero, 1, &out), ZQMF_ERROR_MEMORY);
  EXPECT_EQ(ZQMF_Compress('b', 1, 4, v, &wide, 1, &out), ZQMF_ERROR_MEMORY);
  EXPECT_EQ(ZQMF_Compress('s', 2, 4, v, two, 2, &out), ZQMF_ERROR_MEMORY);  // one channel
  EXPECT_EQ(ZQMF_Compress('u', 2, 4, v, nullptr, 0, &out), ZQMF_ERROR_UNKNOWN_TYPE);
  EXPECT_EQ(ZQMF_Compress('s', 2, 4, v, nullptr, 0, &out), ZQMF_OK);
}

}  // namespace
