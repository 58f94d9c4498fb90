#include "zqcert/zqCertSession.h"

#include <charconv>
#include <type_traits>

#include "zqcommon/zqUrl.h"

namespace zqcert {

namespace {

// A whole decimal number (an optional '-' and digits, nothing else).
std::optional<long> Number(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  long value = 0;
  const char* end = text->data() + text->size();
  const auto [ptr, ec] = std::from_chars(text->data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

const std::string& Text(const CertQuery& q, CertKey key) {
  static const std::string kNone;
  return q[key] ? *q[key] : kNone;
}

}  // namespace

void zqquery_reset(CertQuery* table) {
  for (auto& value : *table) value.reset();
}

int zqquery_parse(CertQuery* table, std::string_view text) {
  int result = 0;
  while (!text.empty()) {
    const size_t amp = text.find('&');
    const std::string_view pair = text.substr(0, amp);
    text.remove_prefix(amp == std::string_view::npos ? text.size() : amp + 1);
    if (pair.empty()) continue;
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos) {
      result |= kQueryKeyWithoutValue;
      continue;
    }
    const std::string_view key = pair.substr(0, eq);
    for (size_t k = 0; k < kKeyCount; ++k) {
      if (kCertKeys[k] != key) continue;
      if ((*table)[k]) {
        result |= kQueryRepeatedKey;
      } else {
        (*table)[k] = std::string(pair.substr(eq + 1));
      }
    }
  }
  if ((*table)[kKeyCommand] == "putcert") {
    for (const auto& value : *table) {
      if (!value || value->empty()) result |= kQueryPutcertIncomplete;
    }
  }
  return result;
}

int CertSession::zqcert_fsm_next_state(std::string_view query) {
  CertQuery q;
  if (!Read(query, &q)) return kError;
  return continuing_ ? Continue(q) : First(q);
}

bool CertSession::Read(std::string_view query, CertQuery* q) {
  if (query.size() > kMaxQuery) {
    Fail("query was truncated");
    return false;
  }
  zqquery_reset(q);
  if (zqquery_parse(q, query) != 0) {
    Fail("query parse error");
    return false;
  }
  return true;
}

int CertSession::First(const CertQuery& q) {
  encoded_.clear();
  certificate_.clear();
  token_ = Text(q, kKeyToken);
  const std::optional<long> version = Number(q[kKeyProtocolVersion]);
  protocol_version_ = version && *version == 1 ? 1 : 0;
  if (protocol_version_ != 1) return Fail("incorrect protocol version");
  if (q[kKeySerial]) serial_ = q[kKeySerial]->substr(0, kMaxSerial);
  type_ = Text(q, kKeyType);

  const std::string& t = Text(q, kKeyCommand);
  if (t == "getcert") {
    command_ = kGetcert;
    status_ = "OK";
    continuing_ = false;
    return kComplete;
  }
  if (t != "putcert") {
    command_ = kUnknown;
    return Fail("unknown command");
  }
  command_ = kPutcert;
  if (Number(q[kKeyChunkNumber]) != 0) return Fail("not starting at chunk zero");
  const std::optional<long> total = Number(q[kKeyTotalChunks]);
  if (!total || *total < 1) return Fail("less than one chunk");
  const std::optional<long> length = Number(q[kKeyLength]);
  if (!length || *length < 1 || *length > static_cast<long>(kMaxCertificate)) {
    return Fail("certificate too big or too small");
  }
  number_of_chunks_ = *total;
  cert_length_ = *length;
  return AcceptChunk(q, 0);
}

int CertSession::Continue(const CertQuery& q) {
  if (Text(q, kKeyToken) != token_) return Fail("session token changed");
  const std::optional<long> chunk = Number(q[kKeyChunkNumber]);
  if (chunk != last_chunk_number_ + 1) return Fail("chunk count discontinuity");
  return AcceptChunk(q, *chunk);
}

int CertSession::AcceptChunk(const CertQuery& q, long chunk) {
  const std::optional<long> reported = Number(q[kKeyChunkLength]);
  if (!reported || *reported < 1 || *reported > static_cast<long>(kMaxChunk)) {
    return Fail("chunk too big or too small");
  }
  reported_chunk_length_ = *reported;
  const std::string& data = Text(q, kKeyData);
  encoded_chunk_length_ = data.size();
  if (data.size() != static_cast<size_t>(*reported)) {
    return Fail("data doesn't match chunk length");
  }
  if (encoded_.size() + data.size() > kMaxCertificate) return Fail("certificate length exceed");
  encoded_ += data;
  last_chunk_number_ = chunk;

  // The total announced by this request, or by the first one when this one names none.
  const std::optional<long> total = Number(q[kKeyTotalChunks]);
  const long chunks = total && *total >= 1 ? *total : number_of_chunks_;
  if (chunk + 1 < chunks) {
    status_ = "OK chunk";
    continuing_ = true;
    return kChunkAccepted;
  }
  if (!zq_url_decode(encoded_, true, &certificate_)) {
    certificate_.clear();
    return Fail("URL decode error");
  }
  status_ = "certificate complete";
  continuing_ = false;
  return kComplete;
}

int CertSession::Fail(const char* status) {
  status_ = status;
  continuing_ = false;
  return kError;
}

std::string CertSession::Describe() const {
  auto line = [](const char* name, const auto& value) {
    if constexpr (std::is_convertible_v<decltype(value), std::string_view>) {
      return std::string(name) + " " + std::string(value) + "\n";
    } else {
      return std::string(name) + " " + std::to_string(value) + "\n";
    }
  };
  return line("session_token", token_) + line("command", static_cast<int>(command_)) +
         line("protocol_version", protocol_version_) + line("number_of_chunks", number_of_chunks_) +
         line("last_chunk_number", last_chunk_number_) +
         line("reported chunk length", reported_chunk_length_) +
         line("encoded chunk_length", encoded_chunk_length_) + line("cert_length", cert_length_) +
         line("decoded certificate length", certificate_.size()) +
         line("encoded buffer length", encoded_.size()) + line("certificate_buffer", encoded_) +
         line("st_wn", serial_) + "zqcert_err_string '" + status_ + "'\n";
}

}  // namespace zqcert
