// Certificate requests as a peer sends them: a series of queries, one per line of the input,
// run through one upload session. Checked for every input:
//  - each result is -1, 0 or 1 with a status text, and only a 0 leaves a sequence open;
//  - a completed putcert holds exactly the decoding of the chunks accepted since the
//    sequence began, never more than 4095 encoded bytes;
//  - every answer document built from the session parses as JSON.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "zqcert/zqCertEndpoint.h"
#include "zqcert/zqCertSession.h"
#include "zqcommon/zqUrl.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  zqcert::CertSession session;
  std::string collected;  // the encoded chunks of the open sequence, by this harness's count
  while (!input.empty()) {
    const size_t nl = input.find('\n');
    const std::string_view query = input.substr(0, nl);
    input.remove_prefix(nl == std::string_view::npos ? input.size() : nl + 1);

    if (!session.continuing()) collected.clear();
    const int result = session.zqcert_fsm_next_state(query);
    Check(result >= -1 && result <= 1);
    Check(!session.status().empty());
    Check(session.continuing() == (result == zqcert::CertSession::kChunkAccepted));

    const bool put = session.command() == zqcert::CertSession::kPutcert;
    if (result != zqcert::CertSession::kError && put) {
      zqcert::CertQuery q;
      Check(zqcert::zqquery_parse(&q, query) == 0);
      collected += q[zqcert::kKeyData].value_or("");
      Check(collected.size() <= zqcert::CertSession::kMaxCertificate);
    }
    if (result == zqcert::CertSession::kComplete && put) {
      std::string want;
      Check(zq_url_decode(collected, true, &want));
      Check(want == session.certificate());
    }

    const zqcert::CertObject cert{session.type(), session.certificate().size(),
                                  session.certificate()};
    const std::string json = zqcert::CertAnswerJson(
        std::string(query), session.status(), session.token(), session.protocol_version(), &cert);
    Check(nlohmann::json::accept(json));
    (void)session.Describe();
  }
  return 0;
}
