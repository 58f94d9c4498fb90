#include "zqmf/zqmfParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zqmf/zqmfText.h"
#include "zqmftest/KlvBytes.h"

namespace {

using zqmftest::Be16;
using zqmftest::Be32;
using zqmftest::Nest;
using zqmftest::Record;
using zqmftest::Text;
using zqmftest::Words;

std::string AccelStream() {
  return Nest("STRM", Text("STNM", "Accel") + Record("TSMP", 'L', 4, 1, Be32(8)) +
                          Record("SCAL", 's', 2, 1, Be16(100)) +
                          Record("ACCL", 's', 6, 2,
                                 Be16(1) + Be16(2) + Be16(3) + Be16(4) + Be16(5) + Be16(6)));
}

std::string GyroStream() {
  return Nest("STRM",
              Text("STNM", "Gyro") + Record("GYRO", 's', 6, 1, Be16(7) + Be16(8) + Be16(9)));
}

std::string Device(uint32_t id, const std::string& name, const std::string& streams) {
  return Nest("DEVC", Record("DVID", 'L', 4, 1, Be32(id)) + Text("DVNM", name) + streams);
}

std::string Sample() { return Device(1, "Camera", AccelStream() + GyroStream()); }

// The keys and nest levels met by stepping with `flags` until a failure, and that failure.
std::vector<std::string> Walk(ZQMF_stream* ms, uint32_t flags, ZQMF_ERROR* end) {
  std::vector<std::string> seen;
  ZQMF_ERROR r;
  while ((r = ZQMF_Next(ms, flags)) == ZQMF_OK) {
    seen.push_back(zqmf_key_text(ZQMF_Key(ms)) + "@" + std::to_string(ZQMF_NestLevel(ms)));
  }
  *end = r;
  return seen;
}

TEST(ZqmfParser, InitTakesTheChainOfDevicesOnly) {
  ZQMF_stream ms;
  EXPECT_EQ(ZQMF_Init(nullptr, nullptr, 8), ZQMF_ERROR_MEMORY);
  Words four(Record("DEVC", 0, 1, 0, ""));
  EXPECT_EQ(ZQMF_Init(&ms, nullptr, 8), ZQMF_ERROR_MEMORY);
  EXPECT_EQ(ZQMF_Init(&ms, four.data(), 0), ZQMF_ERROR_MEMORY);
  EXPECT_EQ(ZQMF_Init(&ms, four.data(), 4), ZQMF_ERROR_BAD_STRUCTURE);

  Words strm(AccelStream());
  EXPECT_EQ(ZQMF_Init(&ms, strm.data(), strm.bytes()), ZQMF_ERROR_BAD_STRUCTURE);

  // A DEVC that claims more than the buffer holds.
  std::string cut = Sample();
  Words overrun(cut.substr(0, cut.size() - 4));
  EXPECT_EQ(ZQMF_Init(&ms, overrun.data(), overrun.bytes()), ZQMF_ERROR_BAD_STRUCTURE);

  // Two devices back to back make the stream; a record after them is outside it.
  const std::string two = Device(1, "A", "") + Device(2, "B", "");
  Words chained(two + Text("JUNK", "xyz"));
  ASSERT_EQ(ZQMF_Init(&ms, chained.data(), chained.bytes()), ZQMF_OK);
  EXPECT_EQ(ms.buffer_size_longs * 4, two.size());
  ZQMF_ERROR end;
  EXPECT_EQ(Walk(&ms, ZQMF_RECURSE_LEVELS, &end),
            (std::vector<std::string>{"DVID@0", "DVNM@0", "DEVC@0", "DVID@0", "DVNM@0"}));
  EXPECT_EQ(end, ZQMF_ERROR_BUFFER_END);
  EXPECT_EQ(ZQMF_DeviceID(&ms), 2u);
}

TEST(ZqmfParser, RecursiveWalkVisitsEveryRecordWithItsLevel) {
  Words w(Sample());
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  EXPECT_EQ(ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS), ZQMF_OK);
  ZQMF_ERROR end;
  EXPECT_EQ(Walk(&ms, ZQMF_RECURSE_LEVELS, &end),
            (std::vector<std::string>{"DVID@0", "DVNM@0", "STRM@0", "STNM@1", "TSMP@1", "SCAL@1",
                                      "ACCL@1", "STRM@0", "STNM@1", "GYRO@1"}));
  EXPECT_EQ(end, ZQMF_ERROR_BUFFER_END);
  EXPECT_EQ(zqmf_key_text(ZQMF_Key(&ms)), "GYRO");  // a failed step leaves the state alone
  EXPECT_EQ(ZQMF_DeviceID(&ms), 1u);
  char name[32];
  ASSERT_EQ(ZQMF_DeviceName(&ms, name, sizeof(name)), ZQMF_OK);
  EXPECT_STREQ(name, "Camera");
  EXPECT_EQ(ZQMF_DeviceName(&ms, name, 6), ZQMF_ERROR_MEMORY);  // no room for the terminator
}

TEST(ZqmfParser, FlatWalkStaysInItsNestAndReportsTheLast) {
  Words w(Sample());
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  ZQMF_stream top = ms;
  EXPECT_EQ(ZQMF_Next(&top, ZQMF_CURRENT_LEVEL), ZQMF_ERROR_BUFFER_END);  // one device

  ASSERT_EQ(ZQMF_Next(&ms, ZQMF_RECURSE_LEVELS), ZQMF_OK);  // DVID
  ZQMF_ERROR end;
  EXPECT_EQ(Walk(&ms, ZQMF_CURRENT_LEVEL, &end),
            (std::vector<std::string>{"DVNM@0", "STRM@0", "STRM@0"}));
  EXPECT_EQ(end, ZQMF_ERROR_LAST);
}

TEST(ZqmfParser, PaddingWordsBetweenRecordsAreSkipped) {
  const std::string inner = Record("AAAA", 'B', 1, 1, "\x01") + std::string(8, '\0') +
                            Record("BBBB", 'B', 1, 1, "\x02") + std::string(4, '\0');
  Words w(Nest("DEVC", Nest("STRM", inner) + std::string(4, '\0')) + Device(2, "X", ""));
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  EXPECT_EQ(ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS), ZQMF_OK);
  ZQMF_ERROR end;
  EXPECT_EQ(Walk(&ms, ZQMF_RECURSE_LEVELS, &end),
            (std::vector<std::string>{"STRM@0", "AAAA@1", "BBBB@1", "DEVC@0", "DVID@0", "DVNM@0"}));
  EXPECT_EQ(end, ZQMF_ERROR_BUFFER_END);

  // Trailing padding does not hide that a record is the last of its nest.
  ASSERT_EQ(ZQMF_ResetState(&ms), ZQMF_OK);
  ASSERT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("BBBB"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  EXPECT_EQ(ZQMF_Next(&ms, ZQMF_CURRENT_LEVEL), ZQMF_ERROR_LAST);
}

// A stream whose first STRM holds a damaged record; the second STRM is sound.
struct Damage {
  const char* name;
  std::string record;
};

class ZqmfDamage : public ::testing::TestWithParam<Damage> {};

TEST_P(ZqmfDamage, StrictWalkStopsAndTolerantWalkResumesAfterTheNest) {
  const std::string first = Nest("STRM", Record("TSMP", 'L', 4, 1, Be32(1)) + GetParam().record +
                                             Record("LOST", 'B', 1, 1, "\x01"));
  Words w(Device(1, "Camera", first + GyroStream()));
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  EXPECT_EQ(ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS), ZQMF_ERROR_BAD_STRUCTURE);
  EXPECT_EQ(ZQMF_Validate(&ms, ZQMF_CURRENT_LEVEL), ZQMF_OK);  // the top level is sound

  ASSERT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("TSMP"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  ZQMF_stream strict = ms;
  EXPECT_EQ(ZQMF_Next(&strict, ZQMF_RECURSE_LEVELS), ZQMF_ERROR_BAD_STRUCTURE);
  EXPECT_EQ(strict.pos, ms.pos);

  ZQMF_ERROR end;
  EXPECT_EQ(Walk(&ms, ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT, &end),
            (std::vector<std::string>{"STRM@0", "STNM@1", "GYRO@1"}));
  EXPECT_EQ(end, ZQMF_ERROR_BUFFER_END);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ZqmfDamage,
    ::testing::Values(Damage{"SizeBeyondNest", Record("BIGG", 'L', 4, 200, Be32(0))},
                      Damage{"KeyWithControlCharacter", Record("AC\x01L", 's', 2, 1, Be16(1))},
                      Damage{"ZeroStructSize", Record("ZERO", 's', 0, 4, "")}),
    [](const ::testing::TestParamInfo<Damage>& p) { return p.param.name; });

std::string Nested(int depth, const std::string& core) {
  std::string s = core;
  for (int i = 0; i < depth; i++) s = Nest("NEST", s);
  return s;
}

TEST(ZqmfParser, NestingIsLimitedToSixteenLevels) {
  const std::string leaf = Record("LEAF", 'B', 1, 1, "\x07");
  // The DEVC payload is the first level.
  Words ok(Nest("DEVC", Nested(15, leaf)));
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, ok.data(), ok.bytes()), ZQMF_OK);
  EXPECT_EQ(ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS), ZQMF_OK);
  ASSERT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("LEAF"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  EXPECT_EQ(ZQMF_NestLevel(&ms), 15u);

  Words deep(Nest("DEVC", Nested(16, leaf)));
  ASSERT_EQ(ZQMF_Init(&ms, deep.data(), deep.bytes()), ZQMF_OK);
  EXPECT_EQ(ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS), ZQMF_ERROR_BAD_STRUCTURE);
  EXPECT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("LEAF"), ZQMF_RECURSE_LEVELS), ZQMF_ERROR_BAD_STRUCTURE);
  EXPECT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("LEAF"), ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT),
            ZQMF_ERROR_BAD_STRUCTURE);
}

TEST(ZqmfParser, UnknownTypesFailStrictlyAndAreSkippedTolerantly) {
  const std::string strm =
      Nest("STRM", Record("ODDT", 'x', 1, 3, "abc") + Record("GOOD", 'B', 1, 1, "\x05"));
  Words w(Nest("DEVC", strm));
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  EXPECT_EQ(ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS), ZQMF_ERROR_UNKNOWN_TYPE);
  ZQMF_ERROR end;
  ZQMF_stream strict = ms;
  EXPECT_EQ(Walk(&strict, ZQMF_RECURSE_LEVELS, &end), (std::vector<std::string>{"STRM@0"}));
  EXPECT_EQ(end, ZQMF_ERROR_UNKNOWN_TYPE);
  EXPECT_EQ(Walk(&ms, ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT, &end),
            (std::vector<std::string>{"STRM@0", "GOOD@1"}));
  EXPECT_EQ(end, ZQMF_ERROR_BUFFER_END);
}

TEST(ZqmfParser, ValidateChecksOnlyFromThePositionAndDoesNotMove) {
  // Damage in the first stream, which lies behind the position.
  const std::string bad = Nest("STRM", Record("BIGG", 'L', 4, 9, Be32(0)));
  Words w(Device(1, "Camera", bad + GyroStream()));
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  ASSERT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("GYRO"), ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT), ZQMF_OK);
  const uint32_t pos = ms.pos;
  EXPECT_EQ(ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS), ZQMF_OK);
  EXPECT_EQ(ms.pos, pos);
  ASSERT_EQ(ZQMF_ResetState(&ms), ZQMF_OK);
  EXPECT_EQ(ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS), ZQMF_ERROR_BAD_STRUCTURE);
}

TEST(ZqmfParser, FindNextAndFindPrevRestoreTheStateOnFailure) {
  Words w(Sample());
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  EXPECT_EQ(ZQMF_FindPrev(&ms, ZQMF_Key4CC("DVID"), ZQMF_RECURSE_LEVELS), ZQMF_ERROR_BUFFER_END);

  ASSERT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("ACCL"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  const ZQMF_stream at_accl = ms;
  EXPECT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("NONE"), ZQMF_RECURSE_LEVELS), ZQMF_ERROR_BUFFER_END);
  EXPECT_EQ(ms.pos, at_accl.pos);
  EXPECT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("GYRO"), ZQMF_CURRENT_LEVEL), ZQMF_ERROR_LAST);
  EXPECT_EQ(ms.pos, at_accl.pos);

  // Within the nest, and with recursion in the enclosing ones.
  ZQMF_stream s = at_accl;
  ASSERT_EQ(ZQMF_FindPrev(&s, ZQMF_Key4CC("SCAL"), ZQMF_CURRENT_LEVEL), ZQMF_OK);
  EXPECT_EQ(ZQMF_Repeat(&s), 1u);
  EXPECT_EQ(ZQMF_NestLevel(&s), 1u);
  s = at_accl;
  EXPECT_EQ(ZQMF_FindPrev(&s, ZQMF_Key4CC("DVNM"), ZQMF_CURRENT_LEVEL), ZQMF_ERROR_FIND);
  EXPECT_EQ(s.pos, at_accl.pos);
  ASSERT_EQ(ZQMF_FindPrev(&s, ZQMF_Key4CC("DVNM"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  EXPECT_EQ(ZQMF_NestLevel(&s), 0u);
  // From the found record the walk goes on normally.
  ASSERT_EQ(ZQMF_Next(&s, ZQMF_CURRENT_LEVEL), ZQMF_OK);
  EXPECT_EQ(zqmf_key_text(ZQMF_Key(&s)), "STRM");

  // The record itself and later ones are not "previous".
  s = at_accl;
  EXPECT_EQ(ZQMF_FindPrev(&s, ZQMF_Key4CC("ACCL"), ZQMF_RECURSE_LEVELS), ZQMF_ERROR_FIND);
  ASSERT_EQ(ZQMF_FindNext(&s, ZQMF_Key4CC("GYRO"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  EXPECT_EQ(ZQMF_FindPrev(&s, ZQMF_Key4CC("TSMP"), ZQMF_RECURSE_LEVELS), ZQMF_ERROR_FIND);
}

TEST(ZqmfParser, FindPrevTakesTheNearestPrecedingRecord) {
  const std::string strm =
      Nest("STRM", Record("SCAL", 's', 2, 1, Be16(10)) + Record("DATA", 's', 2, 1, Be16(1)) +
                       Record("SCAL", 's', 2, 1, Be16(20)) + Record("DATA", 's', 2, 1, Be16(2)));
  Words w(Nest("DEVC", strm));
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  ASSERT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("DATA"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  ASSERT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("DATA"), ZQMF_CURRENT_LEVEL), ZQMF_OK);
  ASSERT_EQ(ZQMF_FindPrev(&ms, ZQMF_Key4CC("SCAL"), ZQMF_CURRENT_LEVEL), ZQMF_OK);
  int16_t scale = 0;
  ASSERT_EQ(ZQMF_FormattedData(&ms, &scale, sizeof(scale), 0, 1), ZQMF_OK);
  EXPECT_EQ(scale, 20);
}

TEST(ZqmfParser, SeekToSamplesFindsTheDataOfAStream) {
  Words w(Sample());
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  ASSERT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("STRM"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  ASSERT_EQ(ZQMF_SeekToSamples(&ms), ZQMF_OK);
  EXPECT_EQ(zqmf_key_text(ZQMF_Key(&ms)), "ACCL");

  // A stream of metadata only: nothing to seek to.
  Words meta(
      Nest("DEVC", Nest("STRM", Text("STNM", "Empty") + Record("TSMP", 'L', 4, 1, Be32(0)))));
  ASSERT_EQ(ZQMF_Init(&ms, meta.data(), meta.bytes()), ZQMF_OK);
  ASSERT_EQ(ZQMF_Next(&ms, ZQMF_RECURSE_LEVELS), ZQMF_OK);
  const uint32_t pos = ms.pos;
  EXPECT_EQ(ZQMF_SeekToSamples(&ms), ZQMF_ERROR_FIND);
  EXPECT_EQ(ms.pos, pos);
}

TEST(ZqmfParser, RecordDescriptions) {
  const std::string strm =
      Nest("STRM", Text("TYPE", "f[2]L") + Record("CPLX", '?', 12, 3, std::string(36, '\0')) +
                       Record("ACCL", 's', 6, 5, std::string(30, '\0')) +
                       Record("ONCE", 'B', 1, 0, "") + Record("REPT", 'L', 4, 1, Be32(1)) +
                       Record("REPT", 'L', 4, 1, Be32(2)) + Record("REPT", 'L', 4, 1, Be32(3)) +
                       // A compressed record describes the data once expanded.
                       Record("PACK", '#', 1, 8, std::string("s\x06") + Be16(40) + "raw!"));
  Words w(Nest("DEVC", strm));
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  auto at = [&](const char(&key)[5]) {
    ZQMF_stream s = ms;
    EXPECT_EQ(ZQMF_FindNext(&s, ZQMF_Key4CC(key), ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT), ZQMF_OK)
        << key;
    return s;
  };
  ZQMF_stream s = at("CPLX");
  EXPECT_EQ(ZQMF_ElementsInStruct(&s), 3u);
  EXPECT_EQ(ZQMF_ScaledDataSize(&s, 'd'), 3u * 3 * 8);
  s = at("ACCL");
  EXPECT_EQ(ZQMF_ElementsInStruct(&s), 3u);
  EXPECT_EQ(ZQMF_PayloadSampleCount(&s), 5u);
  EXPECT_EQ(ZQMF_RawDataSize(&s), 30u);
  EXPECT_EQ(ZQMF_FormattedDataSize(&s), 30u);
  s = at("ONCE");
  EXPECT_EQ(ZQMF_PayloadSampleCount(&s), 1u);
  s = at("REPT");
  EXPECT_EQ(ZQMF_PayloadSampleCount(&s), 3u);
  s = at("PACK");
  EXPECT_EQ(ZQMF_Type(&s), static_cast<uint32_t>('s'));
  EXPECT_EQ(ZQMF_StructSize(&s), 6u);
  EXPECT_EQ(ZQMF_Repeat(&s), 40u);
  EXPECT_EQ(ZQMF_FormattedDataSize(&s), 240u);
  EXPECT_EQ(ZQMF_RawDataSize(&s), 8u);
  EXPECT_EQ(ZQMF_ElementsInStruct(&s), 3u);
  uint32_t expanded = 0;
  EXPECT_EQ(ZQMF_DecompressedSize(&s, &expanded), ZQMF_OK);
  EXPECT_EQ(expanded, 240u);
}

TEST(ZqmfParser, ComplexTypeStrings) {
  const struct {
    const char* source;
    uint32_t capacity;
    ZQMF_ERROR result;
    const char* expanded;
  } kCases[] = {
      {"f[3]L", 64, ZQMF_OK, "fffL"},
      {"s[12]", 64, ZQMF_OK, "ssssssssssss"},
      {"f[3]L", 5, ZQMF_OK, "fffL"},        // exactly fits with its terminator
      {"f[3]L", 4, ZQMF_ERROR_MEMORY, ""},  // one short
      {"f[99999999999]", 64, ZQMF_ERROR_MEMORY, ""},
      {"f[x]", 64, ZQMF_ERROR_BAD_STRUCTURE, ""},
      {"f[0]", 64, ZQMF_ERROR_BAD_STRUCTURE, ""},
      {"f[3", 64, ZQMF_ERROR_BAD_STRUCTURE, ""},
  };
  for (const auto& c : kCases) {
    char out[64];
    uint32_t capacity = c.capacity;
    const ZQMF_ERROR r = ZQMF_ExpandComplexTYPE(c.source, 64, out, &capacity);
    EXPECT_EQ(r, c.result) << c.source;
    if (r == ZQMF_OK) {
      EXPECT_STREQ(out, c.expanded);
      EXPECT_EQ(capacity, strlen(c.expanded));
    }
  }
  EXPECT_EQ(ZQMF_SizeOfComplexTYPE("f[2]L", 5), 12u);
  EXPECT_EQ(ZQMF_SizeOfComplexTYPE("f[2]Lxyz", 5), 12u);  // the length bounds the string
  EXPECT_EQ(ZQMF_SizeOfComplexTYPE("fu", 2), 0u);         // 'u' has no element size
  EXPECT_EQ(ZQMF_SizeOfComplexTYPE("f[64]", 5), 0u);      // longer than a type string holds
  EXPECT_EQ(ZQMF_Reserved(ZQMF_Key4CC("ORIO")), ZQMF_ERROR_RESERVED);
  EXPECT_EQ(ZQMF_Reserved(ZQMF_Key4CC("ACCL")), ZQMF_OK);
}

TEST(ZqmfParser, ModifyRewritesARecordOfTheSameSizeInPlace) {
  Words w(Sample());
  const std::string before = w.str();
  ZQMF_stream ms;
  ASSERT_EQ(ZQMF_Init(&ms, w.data(), w.bytes()), ZQMF_OK);
  ASSERT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("STRM"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  const uint32_t pos = ms.pos;

  // Found from elsewhere: the stream's scale becomes an unsigned 16-bit 250.
  const uint16_t scale = 250;
  ASSERT_EQ(ZQMF_Modify(&ms, ZQMF_Key4CC("SCAL"), ZQMF_Key4CC("SCAL"), 'S', 2, 1, &scale), ZQMF_OK);
  EXPECT_EQ(ms.pos, pos);
  ZQMF_stream s = ms;
  ASSERT_EQ(ZQMF_FindNext(&s, ZQMF_Key4CC("SCAL"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  EXPECT_EQ(ZQMF_Type(&s), static_cast<uint32_t>('S'));
  uint16_t back = 0;
  ASSERT_EQ(ZQMF_FormattedData(&s, &back, 2, 0, 1), ZQMF_OK);
  EXPECT_EQ(back, 250);

  // A new key and type with a payload of the same word count.
  const float xyz[3] = {1.5f, -2.0f, 0.25f};
  s = ms;
  ASSERT_EQ(ZQMF_FindNext(&s, ZQMF_Key4CC("ACCL"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  ASSERT_EQ(ZQMF_Modify(&s, ZQMF_Key4CC("ACCL"), ZQMF_Key4CC("ACCF"), 'f', 12, 1, xyz), ZQMF_OK);
  ASSERT_EQ(ZQMF_FindNext(&ms, ZQMF_Key4CC("ACCF"), ZQMF_RECURSE_LEVELS), ZQMF_OK);
  float got[3] = {};
  ASSERT_EQ(ZQMF_FormattedData(&ms, got, sizeof(got), 0, 1), ZQMF_OK);
  EXPECT_EQ(got[0], 1.5f);
  EXPECT_EQ(got[1], -2.0f);
  EXPECT_EQ(got[2], 0.25f);

  // One word more, a missing key, a bad new key: refused, nothing written.
  const std::string after = w.str();
  const uint8_t wide[16] = {};
  EXPECT_EQ(ZQMF_Modify(&ms, ZQMF_Key4CC("ACCF"), ZQMF_Key4CC("ACCF"), 'B', 1, 16, wide),
            ZQMF_ERROR_BAD_STRUCTURE);
  EXPECT_EQ(ZQMF_Modify(&ms, ZQMF_Key4CC("NONE"), ZQMF_Key4CC("NONE"), 'B', 1, 4, wide),
            ZQMF_ERROR_FIND);
  EXPECT_EQ(ZQMF_Modify(&ms, ZQMF_Key4CC("ACCF"), ZQMF_Key4CC("a-b!"), 'B', 1, 12, wide),
            ZQMF_ERROR_BAD_STRUCTURE);
  EXPECT_EQ(w.str(), after);
  EXPECT_NE(after, before);
}

}  // namespace
