// The work behind /zq/zqCert (internal tunnel only): a trusted peer puts a client certificate
// onto the camera in chunks ("putcert") or reads the camera's certificate or its certificate
// authority ("getcert"), through the platform's certificate store. Knows nothing of HTTP:
// the handler passes the request's query and writes the reply.
//
// The answer document is valid JSON: every text in it (the camera's identity, the status,
// the token, the certificate's PEM text) is escaped, in the field order of
//   {"cam_SN":"...", "status":"...", "token":"...", "protocol_version":"1"
//    [, "cert":{"type":"cam", "length":"1234", "data":"-----BEGIN..."}]}
// "length" is the stored certificate's size in bytes.
//
// Decisions where the request rules leave room:
//  - A getcert "type" other than "cam" and "ca" (and "csr", which is named as unsupported)
//    is refused the same way, with the status "unknown command".
//  - The session state is described in the debug log, not on standard output.
#ifndef ZQ_LIBZQCERT_INCLUDE_ZQCERT_ZQCERTENDPOINT_H_
#define ZQ_LIBZQCERT_INCLUDE_ZQCERT_ZQCERTENDPOINT_H_

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "zqcert/zqCertSession.h"
#include "zqcommon/zqMutex.h"

namespace zqcert {

// A certificate to return with the answer.
struct CertObject {
  std::string type;
  size_t length = 0;
  std::string data;
};

// The answer document (see above); `cert` may be null.
std::string CertAnswerJson(std::string_view cam_sn, std::string_view status, std::string_view token,
                           int protocol_version, const CertObject* cert);

struct CertRequest {
  std::string_view method;
  std::string_view uri;
  std::string_view remote_addr;
  int remote_port = 0;
  std::optional<std::string_view> query;  // nullopt or empty: no query string
};

struct CertReply {
  // kJson: "200 OK", "application/json", `body`; kBusy: the server's 503 "Service
  // Unavailable" error answer (another certificate request is being served).
  enum class Kind { kJson, kBusy };
  Kind kind = Kind::kJson;
  std::string body;
};

class CertEndpoint {
 public:
  struct Options {
    std::string client_dir;   // received client certificates ("/tmp/fuse_b/s/cw/client/")
    std::string camera_cert;  // "/tmp/fuse_b/s/cw/server/cw.cer"
    std::string authority;    // "/tmp/fuse_b/s/cw/ca/ca.pem"
    // The camera's identity text (camera status 0, up to 128 bytes).
    std::function<std::string()> camera_identity;
  };
  // The store's paths below the root; the identity read from camera status 0 while holding
  // `csi_mutex` (the daemon's g_CSIMutex; not owned, outlives the endpoint).
  static Options DefaultOptions(ZqMutex* csi_mutex);

  explicit CertEndpoint(Options options) : options_(std::move(options)) {}
  CertEndpoint(const CertEndpoint&) = delete;
  CertEndpoint& operator=(const CertEndpoint&) = delete;

  // Serves one request. One at a time: a request that arrives while another is served gets
  // kBusy at once. Thread-safe.
  CertReply Handle(const CertRequest& request);

 private:
  // A stored certificate bigger than this is not one (the store's length is not trusted).
  static constexpr size_t kMaxStored = 65536;

  std::string Identity() const;
  // Reads the certificate that getcert's "type" names into `*cert`; false (`*status` set)
  // when it cannot.
  bool ReadCertificate(CertObject* cert, std::string* status) REQUIRES(mu_);

  Options options_;
  ZqMutex mu_;                           // one request at a time (try-lock)
  CertSession session_ GUARDED_BY(mu_);  // the one sequence of the daemon
  // The session's protocol version, for answers given without the session (empty queries).
  std::atomic<int> protocol_version_{0};
};

}  // namespace zqcert

#endif  // ZQ_LIBZQCERT_INCLUDE_ZQCERT_ZQCERTENDPOINT_H_
