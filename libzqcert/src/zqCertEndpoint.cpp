#include "zqcert/zqCertEndpoint.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "csi.h"
#include "zqCertStore.h"
#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"

namespace zqcert {

namespace {

// The camera's identity is camera status 0.
constexpr int32_t kCsiIdentity = 0;
constexpr uint32_t kMaxIdentity = 128;

std::string Quoted(std::string_view text) { return "\"" + zq_json_escape(text) + "\""; }

}  // namespace

std::string CertAnswerJson(std::string_view cam_sn, std::string_view status, std::string_view token,
                           int protocol_version, const CertObject* cert) {
  std::string out = "{\"cam_SN\":" + Quoted(cam_sn) + ", \"status\":" + Quoted(status) +
                    ", \"token\":" + Quoted(token) + ", \"protocol_version\":\"" +
                    std::to_string(protocol_version) + "\"";
  if (cert) {
    out += ", \"cert\":{\"type\":" + Quoted(cert->type) + ", \"length\":\"" +
           std::to_string(cert->length) + "\", \"data\":" + Quoted(cert->data) + "}";
  }
  return out + "}";
}

CertEndpoint::Options CertEndpoint::DefaultOptions(ZqMutex* csi_mutex) {
  Options o;
  o.client_dir = zq_path("/tmp/fuse_b/s/cw/client/");
  o.camera_cert = zq_path("/tmp/fuse_b/s/cw/server/cw.cer");
  o.authority = zq_path("/tmp/fuse_b/s/cw/ca/ca.pem");
  o.camera_identity = [csi_mutex]() -> std::string {
    char text[kMaxIdentity + 1] = {};
    uint32_t len = 0;
    ZqLock lock(*csi_mutex);
    if (csi_get(kCsiIdentity, kMaxIdentity, &len, text) != 0) return "";
    return std::string(text, strnlen(text, std::min(len, kMaxIdentity)));
  };
  return o;
}

CertReply CertEndpoint::Handle(const CertRequest& request) {
  const std::string query(request.query.value_or(""));
  ZQ_LOG(ZQ_LOG_INFO, "zqcert %.*s, %.*s, ip=%.*s, port=%d\n%s",
         static_cast<int>(request.method.size()), request.method.data(),
         static_cast<int>(request.uri.size()), request.uri.data(),
         static_cast<int>(request.remote_addr.size()), request.remote_addr.data(),
         request.remote_port, query.c_str());
  if (query.empty()) {
    ZQ_LOG(ZQ_LOG_INFO, "empty query");
    return {CertReply::Kind::kJson,
            CertAnswerJson(Identity(), "empty query", "", protocol_version_.load(), nullptr)};
  }

  if (!mu_.TryLock()) {
    ZQ_LOG(ZQ_LOG_WARN, "/zqcert mutex in use");
    return {CertReply::Kind::kBusy, ""};
  }
  ZqLock lock(mu_, std::adopt_lock);
  const int result = session_.zqcert_fsm_next_state(query);
  protocol_version_.store(session_.protocol_version());
  ZQ_LOG(ZQ_LOG_DEBUG, "%s", session_.Describe().c_str());
  ZQ_LOG(ZQ_LOG_INFO, "zqcert parse result %d", result);
  std::string status = session_.status();
  CertObject cert;
  bool with_cert = false;
  if (result == CertSession::kError) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqcert parse error: %s", status.c_str());
  } else if (result == CertSession::kChunkAccepted) {
    status = "OK chunk";
  } else if (session_.command() == CertSession::kPutcert) {
    ZQ_LOG(ZQ_LOG_INFO, "store the certificate");
    const std::string& pem = session_.certificate();
    if (fsWriteCertificateBySubjectHash(options_.client_dir.c_str(),
                                        reinterpret_cast<const uint8_t*>(pem.data()),
                                        pem.size()) != 0) {
      status = "certificate write error";
      ZQ_LOG(ZQ_LOG_ERROR, "zqcert: %s", status.c_str());
    }
  } else {
    ZQ_LOG(ZQ_LOG_INFO, "return the certificate");
    with_cert = ReadCertificate(&cert, &status);
  }
  return {CertReply::Kind::kJson,
          CertAnswerJson(Identity(), status, session_.token(), session_.protocol_version(),
                         with_cert ? &cert : nullptr)};
}

std::string CertEndpoint::Identity() const {
  return options_.camera_identity ? options_.camera_identity() : std::string();
}

bool CertEndpoint::ReadCertificate(CertObject* cert, std::string* status) {
  const std::string& type = session_.type();
  const std::string* path = nullptr;
  if (type == "cam") {
    ZQ_LOG(ZQ_LOG_INFO, "cam on getcert command");
    path = &options_.camera_cert;
  } else if (type == "ca") {
    ZQ_LOG(ZQ_LOG_INFO, "ca on getcert command");
    path = &options_.authority;
  } else {
    if (type == "csr") ZQ_LOG(ZQ_LOG_WARN, "csr on getcert command - unsupported");
    *status = "unknown command";
    return false;
  }
  size_t length = 0;
  if (fsGetCertificateLength(path->c_str(), &length) == 0 && length <= kMaxStored) {
    std::string data(length, '\0');
    size_t got = length;
    if (fsReadCertificate(path->c_str(), reinterpret_cast<uint8_t*>(data.data()), &got) == 0 &&
        got <= length) {
      data.resize(got);
      cert->type = type;
      cert->length = got;
      cert->data = std::move(data);
      return true;
    }
  }
  ZQ_LOG(ZQ_LOG_ERROR, "zqcert: the %s certificate cannot be read", type.c_str());
  *status = "internal error";
  return false;
}

}  // namespace zqcert
