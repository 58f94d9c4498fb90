// The certificate upload sequence behind /zq/zqCert. A certificate does not fit into one
// query string, so a peer sends it as a series of GET requests, each carrying one URL-encoded
// chunk; a CertSession follows such a series. One session serves the whole daemon: the
// endpoint keeps one and lets one request at a time use it.
//
// Every request carries the same query keys: "t" (command: "putcert" or "getcert"),
// "protocol_version" (must be 1), "st_SN", "type", "length" (the certificate's length),
// "cn" (chunk number), "tc" (total chunks), "cl" (the chunk's length as sent), "token" (the
// session token) and "data" (the chunk, URL-encoded). Values are kept as sent; only the
// assembled certificate is decoded.
//
// Decisions where the request rules leave room:
//  - A numeric value that is not a whole decimal number fails the check it takes part in,
//    with that check's status text (a "cn" of "x" in the first request is "not starting at
//    chunk zero").
//  - A pair without "=" is a key without a value (parse error); "key=" has an empty value,
//    which only a putcert refuses (every key of the table must have a value there). Empty
//    pairs ("&&") are skipped.
//  - A query without "t" is an unknown command.
//  - The assembled certificate is not compared with the announced "length": the store
//    refuses anything that is not a readable certificate.
#ifndef ZQ_LIBZQCERT_INCLUDE_ZQCERT_ZQCERTSESSION_H_
#define ZQ_LIBZQCERT_INCLUDE_ZQCERT_ZQCERTSESSION_H_

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zqcert {

// The keys of a certificate request, in the order the table lists them.
enum CertKey : size_t {
  kKeyCommand,  // "t"
  kKeyProtocolVersion,
  kKeySerial,  // "st_SN"
  kKeyType,
  kKeyLength,
  kKeyChunkNumber,  // "cn"
  kKeyTotalChunks,  // "tc"
  kKeyChunkLength,  // "cl"
  kKeyToken,
  kKeyData,
  kKeyCount,
};
inline constexpr std::array<std::string_view, kKeyCount> kCertKeys = {
    "t", "protocol_version", "st_SN", "type", "length", "cn", "tc", "cl", "token", "data"};

// The values of one query, by key (nullopt: not sent).
using CertQuery = std::array<std::optional<std::string>, kKeyCount>;

// Bits of zqquery_parse's result; any of them is a parse error.
enum : int {
  kQueryKeyWithoutValue = 1,
  kQueryRepeatedKey = 4,
  kQueryPutcertIncomplete = 8,  // "t" is "putcert" and a key of the table has no value
};

// Clears every value of `table`.
void zqquery_reset(CertQuery* table);
// Splits `text` into key=value pairs separated by '&' and stores each value under its key
// when the key is in the table (the first value stays when a key repeats); other keys are
// ignored. Returns the bits above (0: parsed).
int zqquery_parse(CertQuery* table, std::string_view text);

class CertSession {
 public:
  enum Command { kPutcert = 0, kGetcert = 1, kUnknown = 2 };
  enum Result { kError = -1, kChunkAccepted = 0, kComplete = 1 };

  static constexpr size_t kMaxQuery = 1467;        // longer queries are refused
  static constexpr size_t kMaxCertificate = 4095;  // encoded bytes collected, and "length"
  static constexpr size_t kMaxChunk = 512;         // "cl"
  static constexpr size_t kMaxSerial = 63;         // characters of "st_SN" kept

  // Runs the state for the next request of a sequence on `query` (the raw query string):
  // kComplete when the command can be executed (a getcert, or the last chunk of a putcert,
  // decoded), kChunkAccepted when more chunks are expected, kError otherwise; status() says
  // which. After anything but kChunkAccepted the next request starts a new sequence.
  int zqcert_fsm_next_state(std::string_view query);

  Command command() const { return command_; }
  const std::string& status() const { return status_; }
  const std::string& token() const { return token_; }
  int protocol_version() const { return protocol_version_; }
  const std::string& serial() const { return serial_; }
  // The last request's "type" value ("" when absent).
  const std::string& type() const { return type_; }
  // The decoded certificate, after a putcert's kComplete.
  const std::string& certificate() const { return certificate_; }
  // Whether the next request continues a sequence.
  bool continuing() const { return continuing_; }

  // The whole session state, one "name value" line each, for the debug log.
  std::string Describe() const;

 private:
  int First(const CertQuery& q);
  int Continue(const CertQuery& q);
  int AcceptChunk(const CertQuery& q, long chunk);
  int Fail(const char* status);
  // Copies and parses `query`; false (status set) when it is too long or does not parse.
  bool Read(std::string_view query, CertQuery* q);

  bool continuing_ = false;
  std::string token_;
  Command command_ = kUnknown;
  int protocol_version_ = 0;
  long number_of_chunks_ = 0;
  long last_chunk_number_ = 0;
  long reported_chunk_length_ = 0;
  size_t encoded_chunk_length_ = 0;
  long cert_length_ = 0;
  std::string encoded_;      // chunks collected so far
  std::string certificate_;  // decoded
  std::string serial_;
  std::string type_;
  std::string status_;
};

}  // namespace zqcert

#endif  // ZQ_LIBZQCERT_INCLUDE_ZQCERT_ZQCERTSESSION_H_
