// The simulated certificate store behind the contract in zqCertStore.h.
//
// Certificates are plain files (the camera's store encrypts them; the simulator does not):
//   - a write succeeds only for a PEM X.509 certificate that OpenSSL reads, and stores exactly
//     the bytes handed over as "<subject hash>.0" (OpenSSL's X509_subject_name_hash, eight
//     lower-case hex digits) in the given directory; anything else fails and stores nothing;
//   - the length and read calls report the file at the given path (absent: both fail).
// Switches:
//   zqsim cert set cam|ca FILE / cert clear cam|ca
//       the camera's certificate ("/tmp/fuse_b/s/cw/server/cw.cer") or the certificate
//       authority ("/tmp/fuse_b/s/cw/ca/ca.pem"), below ZQ_ROOT: exactly FILE's bytes, or none
//   zqsim cert clients
//       one line per certificate in the client directory ("/tmp/fuse_b/s/cw/client/"): its
//       name, a blank, the SHA-1 (lower-case hex) of its bytes, in name order
//   zqsim cert slow MS
//       every store call waits MS milliseconds (times ZQ_TIME_SCALE) first; 0 ends it
// `zqsim reset` empties the store and ends a slow delay.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCERTSTORE_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCERTSTORE_H_

#include <string>
#include <vector>

namespace zqsim {

inline constexpr char kCertClientDir[] = "/tmp/fuse_b/s/cw/client/";
inline constexpr char kCertCameraPath[] = "/tmp/fuse_b/s/cw/server/cw.cer";
inline constexpr char kCertAuthorityPath[] = "/tmp/fuse_b/s/cw/ca/ca.pem";

// "zqsim cert ..." (`args` without "cert"). Exit status.
int CertCommand(const std::vector<std::string>& args);

// Empties the store and ends a slow delay (part of `zqsim reset`).
void CertReset();

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCERTSTORE_H_
