#include "zqmf/zqmfWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "zqmf/zqmfParser.h"
#include "zqmftest/KlvBytes.h"

namespace {

using zqmftest::Be16;
using zqmftest::Be32;
using zqmftest::Nest;
using zqmftest::Record;
using zqmftest::Words;

std::string Str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// A parser over finished writer output, standing on the first record `key`.
class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : words_(Str(bytes)) {
    EXPECT_EQ(ZQMF_Init(&ms_, words_.data(), words_.bytes()), ZQMF_OK);
  }
  ~Reader() { ZQMF_Free(&ms_); }
  ZQMF_stream* At(const char (&key)[5]) {
    ZQMF_ResetState(&ms_);
    EXPECT_EQ(ZQMF_FindNext(&ms_, ZQMF_Key4CC(key), ZQMF_RECURSE_LEVELS), ZQMF_OK) << key;
    return &ms_;
  }
  template <class T>
  std::vector<T> Values(const char (&key)[5]) {
    ZQMF_stream* s = At(key);
    std::vector<T> out(ZQMF_FormattedDataSize(s) / sizeof(T) + 2);
    EXPECT_EQ(ZQMF_FormattedData(s, out.data(), static_cast<uint32_t>(out.size() * sizeof(T)), 0,
                                 ZQMF_Repeat(s)),
              ZQMF_OK)
        << key;
    out.resize(ZQMF_FormattedDataSize(s) / sizeof(T));
    return out;
  }
  ZQMF_stream* state() { return &ms_; }

 private:
  Words words_;
  ZQMF_stream ms_;
};

TEST(ZqmfWriter, WritesTheBytesOfTheFormat) {
  ZQMFWriter w;
  ASSERT_EQ(w.BeginNest("DEVC"), ZQMF_OK);
  ASSERT_EQ(w.AddValue("TSMP", uint32_t{8}), ZQMF_OK);
  ASSERT_EQ(w.AddString("STNM", "Accel"), ZQMF_OK);
  const int16_t xyz[3] = {1, -2, 3};
  ASSERT_EQ(w.AddValues("ACCL", xyz, 3, 1), ZQMF_OK);
  ASSERT_EQ(w.EndNest(), ZQMF_OK);
  std::vector<uint8_t> out;
  ASSERT_EQ(w.Finish(&out), ZQMF_OK);
  EXPECT_EQ(Str(out),
            Nest("DEVC", Record("TSMP", 'L', 4, 1, Be32(8)) + Record("STNM", 'c', 5, 1, "Accel") +
                             Record("ACCL", 's', 6, 1,
                                    Be16(1) + Be16(static_cast<uint16_t>(-2)) + Be16(3))));
  EXPECT_EQ(w.size(), 0u);  // ready for the next stream
}

// One record per element width and swap unit; signedness changes only the type letter.
TEST(ZqmfWriter, EveryWidthRoundTrips) {
  const uint8_t ub[] = {0, 1, 255};
  const int16_t ss[] = {-32768, -1, 32767};
  const uint32_t ul[] = {0, 123456789, UINT32_MAX};
  const uint64_t uj[] = {0, 1ULL << 40, UINT64_MAX};
  const double d[] = {-2.25, 1e-300, 6.02e23};
  const uint32_t q[] = {0x00018000, 0xFFFF0000};
  const uint64_t bigq[] = {0x0000000180000000ULL};
  const char fourcc[] = "EAC0";
  const char guid[] = "0123456789abcdef";

  ZQMFWriter w;
  w.BeginNest("DEVC");
  w.AddValue("DVID", uint32_t{42});
  w.AddString("DVNM", "Camera");
  w.BeginNest("STRM");
  w.AddValues("UB08", ub, 1, 3);
  w.AddValues("SS16", ss, 3, 1);
  w.AddValues("UL32", ul, 3, 1);
  w.AddValues("UJ64", uj, 1, 3);
  w.AddValues("FL64", d, 3, 1);
  w.Add("QQ32", 'q', 4, 2, q);
  w.Add("QQ64", 'Q', 8, 1, bigq);
  w.Add("FOUR", 'F', 4, 1, fourcc);
  w.Add("GUID", 'G', 16, 1, guid);
  w.Add("DATE", 'u', 16, 1, guid);
  w.AddString("EMPT", "");
  w.EndNest();
  w.EndNest();
  std::vector<uint8_t> out;
  ASSERT_EQ(w.Finish(&out), ZQMF_OK);

  Reader r(out);
  EXPECT_EQ(ZQMF_Validate(r.state(), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  EXPECT_EQ(r.Values<uint8_t>("UB08"), std::vector<uint8_t>(ub, ub + 3));
  EXPECT_EQ(r.Values<int16_t>("SS16"), std::vector<int16_t>(ss, ss + 3));
  EXPECT_EQ(r.Values<uint32_t>("UL32"), std::vector<uint32_t>(ul, ul + 3));
  EXPECT_EQ(r.Values<uint64_t>("UJ64"), std::vector<uint64_t>(uj, uj + 3));
  EXPECT_EQ(r.Values<double>("FL64"), std::vector<double>(d, d + 3));
  EXPECT_EQ(r.Values<uint32_t>("QQ32"), std::vector<uint32_t>(q, q + 2));
  EXPECT_EQ(r.Values<uint64_t>("QQ64"), std::vector<uint64_t>(bigq, bigq + 1));
  EXPECT_EQ(r.Values<char>("FOUR"), std::vector<char>(fourcc, fourcc + 4));
  EXPECT_EQ(r.Values<char>("GUID"), std::vector<char>(guid, guid + 16));
  EXPECT_EQ(r.Values<char>("DATE"), std::vector<char>(guid, guid + 16));
  EXPECT_EQ(ZQMF_Repeat(r.At("EMPT")), 0u);
  ZQMF_stream* s = r.At("UB08");
  EXPECT_EQ(ZQMF_DeviceID(s), 42u);
  EXPECT_EQ(ZQMF_NestLevel(s), 1u);
}

TEST(ZqmfWriter, ComplexRecordsCarryTheirTypeString) {
  struct Packed {
    float a, b;
    uint32_t c;
  };
  static_assert(sizeof(Packed) == 12);
  const Packed values[2] = {{1.5f, 2.5f, 7}, {-1.0f, 0.5f, 9}};
  ZQMFWriter w;
  w.BeginNest("DEVC");
  ASSERT_EQ(w.AddComplex("CPLX", "f[2]L", 2, values), ZQMF_OK);
  w.EndNest();
  std::vector<uint8_t> out;
  ASSERT_EQ(w.Finish(&out), ZQMF_OK);
  Reader r(out);
  std::vector<char> type = r.Values<char>("TYPE");
  EXPECT_EQ(std::string(type.begin(), type.end()), "f[2]L");
  Packed back[2];
  ASSERT_EQ(ZQMF_FormattedData(r.At("CPLX"), back, sizeof(back), 0, 2), ZQMF_OK);
  EXPECT_EQ(memcmp(back, values, sizeof(back)), 0);
}

TEST(ZqmfWriter, LargeNestsUseWordStructures) {
  std::vector<uint8_t> blob(250 * 300);
  for (size_t i = 0; i < blob.size(); i++) blob[i] = static_cast<uint8_t>(i * 7);
  ZQMFWriter w;
  w.BeginNest("DEVC");
  w.BeginNest("STRM");
  w.AddValues("BLOB", blob.data(), 250, 300);  // a nest of more than 65,535 bytes
  w.AddValue("LAST", uint8_t{1});
  w.EndNest();
  w.EndNest();
  std::vector<uint8_t> out;
  ASSERT_EQ(w.Finish(&out), ZQMF_OK);
  Reader r(out);
  EXPECT_EQ(ZQMF_Validate(r.state(), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  ZQMF_Next(r.state(), ZQMF_RECURSE_LEVELS);
  EXPECT_EQ(ZQMF_StructSize(r.state()) % 4, 0u);
  EXPECT_EQ(r.Values<uint8_t>("BLOB"), blob);
  EXPECT_EQ(r.Values<uint8_t>("LAST"), (std::vector<uint8_t>{1}));
}

constexpr uint8_t one = 1;

TEST(ZqmfWriter, RefusesWhatTheFormatCannotHold) {
  // Each case writes into a fresh writer, inside a DEVC when `inDevice`.
  const struct {
    const char* name;
    bool inDevice;
    ZQMF_ERROR (*write)(ZQMFWriter*);
  } kCases[] = {
      {"record on the top level", false, [](ZQMFWriter* w) { return w->AddValue("ABCD", one); }},
      {"top-level nest not DEVC", false, [](ZQMFWriter* w) { return w->BeginNest("STRM"); }},
      {"end without nest", false, [](ZQMFWriter* w) { return w->EndNest(); }},
      {"short key", true, [](ZQMFWriter* w) { return w->AddValue("ABC", one); }},
      {"key with punctuation", true, [](ZQMFWriter* w) { return w->AddValue("AB-C", one); }},
      {"seventeen levels", true,
       [](ZQMFWriter* w) {
         for (int i = 0; i < 15; i++) w->BeginNest("NEST");
         return w->BeginNest("DEEP");
       }},
      {"struct over 255", true,
       [](ZQMFWriter* w) {
         std::vector<uint8_t> v(256);
         return w->AddValues("WIDE", v.data(), 256, 1);
       }},
      {"complex without type", true,
       [](ZQMFWriter* w) { return w->Add("CPLX", '?', 8, 1, "8 bytes"); }},
      {"unknown type", true, [](ZQMFWriter* w) { return w->Add("ODDT", 'x', 1, 1, "a"); }},
  };
  for (const auto& c : kCases) {
    ZQMFWriter w;
    if (c.inDevice) {
      ASSERT_EQ(w.BeginNest("DEVC"), ZQMF_OK);
    }
    const ZQMF_ERROR r = c.write(&w);
    EXPECT_NE(r, ZQMF_OK) << c.name;
    // The first error sticks.
    EXPECT_EQ(w.AddValue("OKAY", one), r) << c.name;
    std::vector<uint8_t> out;
    EXPECT_EQ(w.Finish(&out), r) << c.name;
  }
  ZQMFWriter open;
  open.BeginNest("DEVC");
  std::vector<uint8_t> out;
  EXPECT_EQ(open.Finish(&out), ZQMF_ERROR_BAD_STRUCTURE);
  ZQMFWriter empty;
  EXPECT_EQ(empty.Finish(&out), ZQMF_ERROR_BAD_STRUCTURE);
}

}  // namespace
