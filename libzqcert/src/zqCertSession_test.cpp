#include "zqcert/zqCertSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zqcert {
namespace {

// One putcert request of a sequence, every key present.
std::string Put(const std::string& data, int cn, int tc, const std::string& token = "tok",
                int length = 100, int cl = -1) {
  return "t=putcert&protocol_version=1&st_SN=SN1&type=client&length=" + std::to_string(length) +
         "&cn=" + std::to_string(cn) + "&tc=" + std::to_string(tc) +
         "&cl=" + std::to_string(cl < 0 ? static_cast<int>(data.size()) : cl) + "&token=" + token +
         "&data=" + data;
}

TEST(CertQuery, ParsesKeysAndReportsWhatIsWrong) {
  const struct {
    const char* text;
    int bits;
    std::vector<std::pair<CertKey, const char*>> values;
  } cases[] = {
      {"t=getcert&type=cam&foo=bar", 0, {{kKeyCommand, "getcert"}, {kKeyType, "cam"}}},
      {"t=getcert&&type=", 0, {{kKeyCommand, "getcert"}, {kKeyType, ""}}},
      {"data=a%3Db+c", 0, {{kKeyData, "a%3Db+c"}}},  // kept as sent
      {"data=a=b", 0, {{kKeyData, "a=b"}}},          // the first '=' ends the key
      {"t=getcert&type", kQueryKeyWithoutValue, {{kKeyCommand, "getcert"}}},
      {"type=cam&type=ca", kQueryRepeatedKey, {{kKeyType, "cam"}}},
      {"t=putcert&cn=0",
       kQueryPutcertIncomplete,
       {{kKeyCommand, "putcert"}, {kKeyChunkNumber, "0"}}},
  };
  for (const auto& c : cases) {
    CertQuery q;
    q[kKeyToken] = "left over";
    zqquery_reset(&q);
    EXPECT_EQ(zqquery_parse(&q, c.text), c.bits) << c.text;
    CertQuery want;
    for (const auto& [key, value] : c.values) want[key] = value;
    EXPECT_EQ(q, want) << c.text;
  }
  CertQuery full;
  EXPECT_EQ(zqquery_parse(&full, Put("abc", 0, 1)), 0);
}

TEST(CertSession, AssemblesChunksAndDecodesTheCertificate) {
  CertSession s;
  EXPECT_EQ(s.zqcert_fsm_next_state(Put("A%2BB+C", 0, 1)), CertSession::kComplete);
  EXPECT_EQ(s.certificate(), "A+B C");
  EXPECT_FALSE(s.continuing());

  // Three chunks, a "%XX" escape split between two of them.
  EXPECT_EQ(s.zqcert_fsm_next_state(Put("-----BEGIN%0", 0, 3, "t2")), CertSession::kChunkAccepted);
  EXPECT_TRUE(s.continuing());
  EXPECT_EQ(s.zqcert_fsm_next_state(Put("Amiddle", 1, 3, "t2")), CertSession::kChunkAccepted);
  EXPECT_EQ(s.zqcert_fsm_next_state(Put("%0A-----END", 2, 3, "t2")), CertSession::kComplete);
  EXPECT_EQ(s.certificate(), "-----BEGIN\nmiddle\n-----END");

  // The most a certificate may be: 4095 encoded bytes.
  const std::string chunk(512, 'x');
  for (int i = 0; i < 7; ++i) {
    ASSERT_EQ(s.zqcert_fsm_next_state(Put(chunk, i, 8, "big", 4095)), CertSession::kChunkAccepted);
  }
  EXPECT_EQ(s.zqcert_fsm_next_state(Put(chunk.substr(1), 7, 8, "big", 4095)),
            CertSession::kComplete);
  EXPECT_EQ(s.certificate().size(), 4095u);
}

TEST(CertSession, FirstRequestsThatAreRefused) {
  const std::string chunk(512, 'x');
  const struct {
    std::string query;
    const char* status;
  } cases[] = {
      {std::string(1468, 'a'), "query was truncated"},
      {"t=getcert&protocol_version=1&t=getcert", "query parse error"},
      {"t=getcert&protocol_version=2", "incorrect protocol version"},
      {"t=delcert&protocol_version=1", "unknown command"},
      {Put("abc", 1, 2), "not starting at chunk zero"},
      {Put("abc", 0, 0), "less than one chunk"},
      {Put("abc", 0, 1, "tok", 0), "certificate too big or too small"},
      {Put("abc", 0, 1, "tok", 4096), "certificate too big or too small"},
      {Put(chunk + "y", 0, 1), "chunk too big or too small"},
      {Put("abc", 0, 1, "tok", 100, 4), "data doesn't match chunk length"},
      {Put("abc%4", 0, 1), "URL decode error"},
  };
  for (const auto& c : cases) {
    CertSession s;
    EXPECT_EQ(s.zqcert_fsm_next_state(c.query), CertSession::kError) << c.query.substr(0, 80);
    EXPECT_EQ(s.status(), c.status) << c.query.substr(0, 80);
    EXPECT_FALSE(s.continuing());
  }
  // 1467 characters are still read.
  std::string longest = "t=getcert&protocol_version=1&type=";
  longest += std::string(1467 - longest.size(), 'c');
  CertSession s;
  EXPECT_EQ(s.zqcert_fsm_next_state(longest), CertSession::kComplete);
}

TEST(CertSession, ABrokenSequenceStartsAgainFromChunkZero) {
  const std::string chunk(512, 'x');
  const struct {
    const char* name;
    std::string second;
    const char* status;
  } cases[] = {
      {"another token", Put("def", 1, 3, "other"), "session token changed"},
      {"a chunk skipped", Put("def", 2, 3), "chunk count discontinuity"},
      {"short data", Put("de", 1, 3, "tok", 100, 3), "data doesn't match chunk length"},
  };
  for (const auto& c : cases) {
    CertSession s;
    ASSERT_EQ(s.zqcert_fsm_next_state(Put("abc", 0, 3)), CertSession::kChunkAccepted) << c.name;
    EXPECT_EQ(s.zqcert_fsm_next_state(c.second), CertSession::kError) << c.name;
    EXPECT_EQ(s.status(), c.status) << c.name;
    // The next request is a first one again: chunk 1 is refused, chunk 0 starts afresh.
    EXPECT_EQ(s.zqcert_fsm_next_state(Put("ghi", 1, 3)), CertSession::kError) << c.name;
    EXPECT_EQ(s.status(), "not starting at chunk zero") << c.name;
    EXPECT_EQ(s.zqcert_fsm_next_state(Put("jk", 0, 2)), CertSession::kChunkAccepted) << c.name;
    EXPECT_EQ(s.zqcert_fsm_next_state(Put("l", 1, 2)), CertSession::kComplete) << c.name;
    EXPECT_EQ(s.certificate(), "jkl") << c.name;
  }

  // Collected chunks never pass 4095 bytes.
  CertSession s;
  for (int i = 0; i < 7; ++i) ASSERT_EQ(s.zqcert_fsm_next_state(Put(chunk, i, 9)), 0);
  EXPECT_EQ(s.zqcert_fsm_next_state(Put(chunk, 7, 9)), CertSession::kError);
  EXPECT_EQ(s.status(), "certificate length exceed");
}

TEST(CertSession, DescribesItsState) {
  CertSession s;
  s.zqcert_fsm_next_state(Put("abc", 0, 2, "tok", 42));
  EXPECT_EQ(s.Describe(),
            "session_token tok\ncommand 0\nprotocol_version 1\nnumber_of_chunks 2\n"
            "last_chunk_number 0\nreported chunk length 3\nencoded chunk_length 3\n"
            "cert_length 42\ndecoded certificate length 0\nencoded buffer length 3\n"
            "certificate_buffer abc\nst_wn SN1\nzqcert_err_string 'OK chunk'\n");
}

}  // namespace
}  // namespace zqcert
