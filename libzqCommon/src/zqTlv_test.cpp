#include "zqcommon/zqTlv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "zqcommon/zqLog.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Builds messages byte by byte, independently of the code under test.
class MsgBuilder {
 public:
  explicit MsgBuilder(uint8_t category) : b_{0, 4, 0, category} {}
  MsgBuilder& El(uint8_t type, const std::string& value) {
    b_.push_back(0);
    b_.push_back(static_cast<uint8_t>(value.size() >> 8));
    b_.push_back(static_cast<uint8_t>(value.size()));
    b_.push_back(type);
    b_.insert(b_.end(), value.begin(), value.end());
    return Fix();
  }
  MsgBuilder& End() { return El(TLV_END, ""); }
  // A complete command: CMD, CMDARG, SRC, DST, end marker.
  static Bytes Command(uint8_t category = CAT_CGI_MK) {
    return MsgBuilder(category)
        .El(TLV_CMD, "XY")
        .El(TLV_CMDARG, "\x01")
        .El(TLV_SRC, "/to_mkcgi1")
        .El(TLV_DST, "/to_zqnet")
        .End()
        .bytes();
  }
  const Bytes& bytes() const { return b_; }

 private:
  MsgBuilder& Fix() {
    b_[0] = static_cast<uint8_t>(b_.size() >> 8);
    b_[1] = static_cast<uint8_t>(b_.size());
    return *this;
  }
  Bytes b_;
};

// A message of `category` holding `elements` in order, then the end marker.
Bytes Msg(uint8_t category, std::initializer_list<std::pair<uint8_t, std::string>> elements) {
  MsgBuilder m(category);
  for (const auto& [type, value] : elements) m.El(type, value);
  return m.End().bytes();
}

void SetLength(Bytes* b, size_t len) {
  (*b)[0] = static_cast<uint8_t>(len >> 8);
  (*b)[1] = static_cast<uint8_t>(len);
}

// Runs tlv_validate on `msg` (padded so that a long length field stays inside the buffer) and
// returns what it logged.
int ValidateLogged(const Bytes& msg, std::string* log) {
  Bytes buf = msg;
  buf.resize(std::max<size_t>(buf.size(), 65536), 0);
  testing::internal::CaptureStderr();
  const int rc = tlv_validate(buf.data());
  *log = testing::internal::GetCapturedStderr();
  return rc;
}

TEST(ZqTlv, BuildersWriteExactBytes) {
  uint8_t buf[64];
  memset(buf, 0xAA, sizeof buf);
  const uint8_t arg = 0x01;
  EXPECT_EQ(sntlv_msg_init(buf, 60, CAT_CGI_MK), 4);
  EXPECT_EQ(sntlv_add_bin(buf, 60, TLV_CMD, 2, "XY"), 6);
  EXPECT_EQ(sntlv_add_bin(buf, 60, TLV_CMDARG, 1, &arg), 5);
  EXPECT_EQ(sntlv_add_bin(buf, 60, TLV_SRC, 2, "/s"), 6);
  EXPECT_EQ(sntlv_add_bin(buf, 60, TLV_DST, 2, "/d"), 6);
  EXPECT_EQ(sntlv_add_dat(buf, 60, TLV_END, 0, 0), 4);
  const Bytes expected = {0x00, 0x1f, 0x00, 0x02,             // length 31, category 2
                          0x00, 0x00, 0x02, 0x41, 'X',  'Y',  // CMD
                          0x00, 0x00, 0x01, 0x42, 0x01,       // CMDARG
                          0x00, 0x00, 0x02, 0x44, '/',  's',  // SRC
                          0x00, 0x00, 0x02, 0x43, '/',  'd',  // DST
                          0x00, 0x00, 0x00, 0xee};            // end marker
  EXPECT_EQ(Bytes(buf, buf + expected.size()), expected);
  EXPECT_EQ(buf[expected.size()], 0xAA);
  EXPECT_EQ(sntlv_msg_len(buf), 31);
  EXPECT_EQ(tlv_validate(buf), 0);
}

TEST(ZqTlv, FullAppendLeavesMessageUnchanged) {
  // The capacity counts the element area: 10 bytes hold exactly one 6-byte value.
  uint8_t buf[32];
  memset(buf, 0x55, sizeof buf);
  sntlv_msg_init(buf, 10, CAT_CGI_MK);
  const Bytes before(buf, buf + sizeof buf);
  EXPECT_EQ(sntlv_add_bin(buf, 9, TLV_CMDARG, 6, "abcdef"), 0);
  EXPECT_EQ(Bytes(buf, buf + sizeof buf), before);

  EXPECT_EQ(sntlv_add_bin(buf, 10, TLV_CMDARG, 6, "abcdef"), 10);
  EXPECT_EQ(sntlv_msg_len(buf), 14);
  const Bytes full(buf, buf + sizeof buf);
  EXPECT_EQ(sntlv_add_dat(buf, 10, TLV_END, 0, 0), 0);
  EXPECT_EQ(sntlv_add_bin(buf, 10, TLV_CMD, 1, "A"), 0);
  EXPECT_EQ(Bytes(buf, buf + sizeof buf), full);
}

TEST(ZqTlv, AddDatTakesTheValueAsStoredInMemory) {
  uint8_t buf[32] = {};
  const uint32_t value = 0x11223344;
  sntlv_msg_init(buf, 28, CAT_CGI_MK);
  EXPECT_EQ(sntlv_add_dat(buf, 28, TLV_CMDARG, 2, value), 6);
  EXPECT_EQ(buf[6], 2);
  EXPECT_EQ(buf[7], TLV_CMDARG);
  EXPECT_EQ(memcmp(buf + 8, &value, 2), 0);
}

TEST(ZqTlv, FindReturnsFirstElementWithinTheLength) {
  Bytes m = Msg(CAT_CGI_MK_RSP, {{TLV_CMD, "XY"}, {TLV_RSPARG, "ab"}, {TLV_RSPARG, "second"}});
  const uint8_t* first = tlv_find(m.data(), TLV_RSPARG);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first - m.data(), 10);
  EXPECT_EQ(tlv_value_len(first), 2);
  EXPECT_EQ(tlv_find(m.data(), TLV_SRC), nullptr);

  char out[8] = {};
  EXPECT_EQ(sntlv_find(out, 3, TLV_RSPARG, m.data()), 2);
  EXPECT_EQ(std::string(out, 2), "ab");
  EXPECT_EQ(sntlv_find(out, 2, TLV_RSPARG, m.data()), 0);  // no room left for a terminator
  EXPECT_EQ(sntlv_find(out, 8, TLV_DST, m.data()), 0);

  // An element after the length field, or one whose value runs past it, is not found.
  Bytes tail = m;
  const Bytes dst = {0, 0, 2, TLV_DST, '/', 'd'};
  tail.insert(tail.end(), dst.begin(), dst.end());
  EXPECT_EQ(tlv_find(tail.data(), TLV_DST), nullptr);
  SetLength(&tail, tail.size() - 1);
  EXPECT_EQ(tlv_find(tail.data(), TLV_DST), nullptr);
}

// One row per error tlv_validate reports, and the boundaries of the category.
struct ValidateCase {
  const char* name;
  Bytes msg;
  int result;
  const char* log;  // expected in the log ("" for nothing logged)
};

Bytes Damaged(Bytes b, size_t at, uint8_t value) {
  b[at] = value;
  return b;
}

Bytes WithLength(Bytes b, size_t len) {
  b.resize(len, 0);
  SetLength(&b, len);
  return b;
}

std::vector<ValidateCase> ValidateCases() {
  const Bytes good = MsgBuilder::Command();
  // The last byte is 0xEE, but as a value, not as the end marker.
  const Bytes value_end = MsgBuilder(CAT_CGI_MK)
                              .El(TLV_CMD, "XY")
                              .El(TLV_CMDARG, "")
                              .El(TLV_SRC, "/s")
                              .El(TLV_DST, "/d")
                              .El(TLV_RSPARG, "\xee")
                              .bytes();
  return {
      {"Valid", good, 0, ""},
      {"HeaderAndEndOnly", Msg(CAT_CGI_MK, {}), kTlvBadFrame,
       "TLV_ERROR: MSG len is too short (8 < 18)"},
      {"TooLong", WithLength(good, 1501), kTlvBadFrame,
       "TLV_ERROR: MSG len is too long (1501 > 1500)"},
      // CMDARG claims one byte more than it has: the elements overrun the length.
      {"ElementsOverrunLength", Damaged(good, 44, 1), kTlvBadFrame,
       "TLV_ERROR: MSG length (46) does not match internal length (47"},
      {"Unterminated", Damaged(good, good.size() - 1, TLV_VOID), kTlvBadFrame,
       "TLV_ERROR: MSG is missing ending TLV: 0xEE"},
      {"LastByteOfAValue", value_end, kTlvBadFrame, "TLV_ERROR: MSG is missing ending TLV: 0xEE"},
      {"NoCmd", Msg(CAT_CGI_MK, {{TLV_CMDARG, ""}, {TLV_SRC, "/s"}, {TLV_DST, "/d"}}), kTlvMissing,
       "TLV_ERROR: MSG needs a CMD"},
      {"NoDst", Msg(CAT_CGI_MK, {{TLV_CMD, "XY"}, {TLV_CMDARG, ""}, {TLV_SRC, "/s"}}), kTlvMissing,
       ":XY MSG needs a DST"},
      {"NoSrc", Msg(CAT_CGI_MK, {{TLV_CMD, "XY"}, {TLV_CMDARG, ""}, {TLV_DST, "/d"}}), kTlvMissing,
       ":XY MSG needs a SRC"},
      {"TwoEndMarkers",
       Msg(CAT_CGI_MK, {{TLV_CMD, "XY"}, {TLV_END, ""}, {TLV_SRC, "/s"}, {TLV_DST, "/d"}}),
       kTlvBadFrame, ":XY MSG has too many ending TLV: 0xEE"},
      {"UnknownCategory", MsgBuilder::Command(240), kTlvBadCategory,
       ":XY MSG needs a known CATagory. CAT=0xf0"},
      {"HighestCategory", MsgBuilder::Command(238), 0, ""},
      {"CommandWithoutCmdarg", Msg(CAT_CGI_MK, {{TLV_CMD, "XY"}, {TLV_SRC, "/s"}, {TLV_DST, "/d"}}),
       kTlvMissing, ":XY CMD needs a CMDARG"},
      {"ResponseWithoutCmdarg",
       Msg(CAT_CGI_MK_RSP,
           {{TLV_CMD, "XY"}, {TLV_RSPARG, std::string(1, '\0')}, {TLV_SRC, "/s"}, {TLV_DST, "/d"}}),
       kTlvMissing, ":XY RSP needs a CMDARG"},
      {"ResponseWithoutRspargIsOnlyAWarning",
       Msg(CAT_CGI_MK_RSP,
           {{TLV_CMD, "XY"}, {TLV_CMDARG, ""}, {TLV_SRC, "/to_zqnet"}, {TLV_DST, "/to_mkcgi77"}}),
       0, "TLV_WARNING: MSG :XY RSP needs a RSPARG fr_zqnet /to_mkcgi77"},
  };
}

class ZqTlvValidate : public testing::TestWithParam<ValidateCase> {};

TEST_P(ZqTlvValidate, ResultAndLogText) {
  const ValidateCase& c = GetParam();
  std::string log;
  EXPECT_EQ(ValidateLogged(c.msg, &log), c.result);
  if (*c.log == '\0') {
    EXPECT_EQ(log.find("TLV_"), std::string::npos) << log;
  } else {
    EXPECT_NE(log.find(c.log), std::string::npos) << log;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ZqTlvValidate, testing::ValuesIn(ValidateCases()),
                         [](const testing::TestParamInfo<ValidateCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(ZqTlv, ValidationLogFollowsVerbosity) {
  const uint32_t saved = g_debug_level;
  std::string log;
  g_debug_level = 15;  // the verbosity byte must exceed 15
  EXPECT_EQ(ValidateLogged(Msg(CAT_CGI_MK, {}), &log), kTlvBadFrame);
  EXPECT_EQ(log, "");
  g_debug_level = 16;
  EXPECT_EQ(ValidateLogged(Msg(CAT_CGI_MK, {}), &log), kTlvBadFrame);
  EXPECT_NE(log.find("TLV_ERROR: MSG len is too short"), std::string::npos) << log;
  g_debug_level = saved;
}

TEST(ZqTlv, VoidBlanksTheFirstElementKeepingItsLength) {
  Bytes m = MsgBuilder::Command();
  Bytes expected = m;
  sntlv_void(m.data(), TLV_SRC);
  expected[18] = TLV_VOID;  // SRC's type byte; its 10 value bytes become zeros
  std::fill(expected.begin() + 19, expected.begin() + 29, 0);
  EXPECT_EQ(m, expected);
  EXPECT_EQ(tlv_find(m.data(), TLV_SRC), nullptr);
  EXPECT_EQ(tlv_validate(m.data()), kTlvMissing);
}

TEST(ZqTlv, RemoveDropsTheEndMarkerSoMoreCanBeAppended) {
  Bytes m = MsgBuilder::Command();
  m.resize(64, 0);
  const size_t len = sntlv_msg_len(m.data());
  EXPECT_EQ(sntlv_remove(m.data(), 60, TLV_END), -4);
  EXPECT_EQ(sntlv_msg_len(m.data()), len - 4);
  EXPECT_EQ(sntlv_add_bin(m.data(), 60, TLV_RSPARG, 1, "\x00"), 5);
  EXPECT_EQ(sntlv_add_dat(m.data(), 60, TLV_END, 0, 0), 4);
  EXPECT_EQ(tlv_validate(m.data()), 0);
  EXPECT_EQ(sntlv_msg_len(m.data()), len + 5);
}

TEST(ZqTlvDeathTest, MisuseIsAnAssertion) {
  Bytes m = MsgBuilder(CAT_CGI_MK).El(TLV_CMD, "XY").bytes();
  m.resize(64, 0);
  EXPECT_DEATH(sntlv_void(m.data(), TLV_SRC), "ASSERT:zqTlv.cpp/sntlv_void:[0-9]+:tlv != NULL");
  EXPECT_DEATH(sntlv_remove(m.data(), 60, TLV_END), "ASSERT:.*sntlv_remove:[0-9]+:tlvend != NULL");
  EXPECT_DEATH(sntlv_add_bin(m.data(), 60, TLV_SRC, 0, ""), "ASSERT:.*sntlv_add_bin.*len > 0");
}

TEST(ZqTlv, LocalIntegerAndBinaryCopies) {
  const uint32_t v = 0x11223344;
  struct Case {
    size_t nbytes;
    size_t capacity;
    int result;
    Bytes out;
  };
  const Case cases[] = {
      {3, 4, 3, {0x22, 0x33, 0x44}},
      {4, 4, 4, {0x11, 0x22, 0x33, 0x44}},
      {5, 8, 0, {}},
      {3, 2, 0, {}},
  };
  for (const Case& c : cases) {
    uint8_t out[8];
    memset(out, 0xAA, sizeof out);
    EXPECT_EQ(snLoclItoI(out, c.capacity, c.nbytes, v), c.result) << c.nbytes;
    EXPECT_EQ(Bytes(out, out + c.out.size()), c.out) << c.nbytes;
    EXPECT_EQ(out[c.out.size()], 0xAA) << c.nbytes;
  }

  uint8_t dst[4] = {};
  EXPECT_EQ(snLoclbin(dst, 4, 0, "abcd"), 0);
  EXPECT_EQ(snLoclbin(dst, 3, 4, "abcd"), 0);
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(snLoclbin(dst, 4, 4, "abcd"), 4);
  EXPECT_EQ(memcmp(dst, "abcd", 4), 0);
}

}  // namespace
