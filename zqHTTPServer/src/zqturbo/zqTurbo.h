// "/zq/zqTurbo?p=1|0": switches the camera's processor boost, which clients turn on before
// bulk transfers.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQTURBO_ZQTURBO_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQTURBO_ZQTURBO_H_

#include "http/zqAnswer.h"
#include "http/zqRequest.h"

// {"turbo":"<0|1>"} on success, the common bad request for a missing or invalid "p", and the
// common internal error when the status write fails.
ZqAnswer zqTurbo(ZqRequest& request);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQTURBO_ZQTURBO_H_
