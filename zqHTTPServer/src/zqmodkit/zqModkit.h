// "/modkit" and "/zq/zqModkit": the legacy command relay to the network service.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQMODKIT_ZQMODKIT_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQMODKIT_ZQMODKIT_H_

#include "http/zqAnswer.h"
#include "http/zqRequest.h"

// Relays the command to DST "/to_zqnet" (see zqRelay.h).
ZqAnswer zqModkit(ZqRequest& request);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQMODKIT_ZQMODKIT_H_
