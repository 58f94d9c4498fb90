// "/zq/version": the version of the embedded HTTP server's interface.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQVERSION_ZQVERSION_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQVERSION_ZQVERSION_H_

#include "http/zqAnswer.h"
#include "http/zqRequest.h"

// The same JSON body on every call, whatever the query.
ZqAnswer zqVersion(ZqRequest& request);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQVERSION_ZQVERSION_H_
