#include "zqmediametadata/zqDbStatus.h"

int zq_db_http_status(DbResult result) {
  switch (result) {
    case DbResult::kOk:
      return 200;
    case DbResult::kBusy:
      return 503;
    case DbResult::kNotFound:
      return 404;
    case DbResult::kBadRequest:
      return 400;
    case DbResult::kNotSupported:
      return 501;
    case DbResult::kUnreachable:
    case DbResult::kBadReply:
    case DbResult::kFailed:
      return 500;
  }
  return 500;
}
