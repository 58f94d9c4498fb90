// "/zq/zqCert" (internal tunnel only): certificate upload in chunked GETs ("putcert") and the
// camera's certificate or authority ("getcert"), thin over libzqcert. Every answer is a JSON
// document with a Content-Length; a request that arrives while another is served is answered
// 503.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCERTHANDLER_ZQCERTHANDLER_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCERTHANDLER_ZQCERTHANDLER_H_

#include "http/zqAnswer.h"
#include "http/zqRequest.h"
#include "zqcert/zqCertEndpoint.h"

// The route's handler, over the daemon's one endpoint (made at first use).
ZqAnswer zqCertHandler(ZqRequest& request);

// The same over a given endpoint.
ZqAnswer zq_cert_serve(zqcert::CertEndpoint& endpoint, ZqRequest& request);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCERTHANDLER_ZQCERTHANDLER_H_
