// The one mapping of the media database's results to HTTP statuses, for every route that asks
// the database:
//
//   kOk 200   kBusy 503   kNotFound 404   kBadRequest 400   kNotSupported 501
//   kUnreachable, kBadReply, kFailed 500
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQMEDIAMETADATA_ZQDBSTATUS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQMEDIAMETADATA_ZQDBSTATUS_H_

#include "zqmediadb/zqMediaDBApp.h"

int zq_db_http_status(DbResult result);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQMEDIAMETADATA_ZQDBSTATUS_H_
