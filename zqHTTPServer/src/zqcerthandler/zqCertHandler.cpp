#include "zqcerthandler/zqCertHandler.h"

#include <optional>
#include <string>

#include "core/zqCsi.h"

ZqAnswer zq_cert_serve(zqcert::CertEndpoint& endpoint, ZqRequest& request) {
  const std::string client(request.Client());
  zqcert::CertRequest r;
  r.method = request.Method();
  r.uri = request.Uri();
  r.remote_addr = client;
  r.remote_port = request.ClientPort();
  if (request.HasQuery()) r.query = request.Query();
  zqcert::CertReply reply = endpoint.Handle(r);
  if (reply.kind == zqcert::CertReply::Kind::kBusy) {
    return ZqAnswer::Bytes(503, "text/plain; charset=utf-8", "Error 503: Service Unavailable\n");
  }
  return ZqAnswer::Json(200, std::move(reply.body));
}

ZqAnswer zqCertHandler(ZqRequest& request) {
  static auto* endpoint =
      new zqcert::CertEndpoint(zqcert::CertEndpoint::DefaultOptions(&g_CSIMutex));
  return zq_cert_serve(*endpoint, request);
}
