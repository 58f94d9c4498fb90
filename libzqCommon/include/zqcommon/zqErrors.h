// Status codes of the daemon: 0 for success, a negative ZQ_ERR_* value otherwise.
// Every interface maps these to its HTTP answer in one place.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQERRORS_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQERRORS_H_

#include <cstdint>

enum : int32_t {
  ZQ_OK = 0,
  ZQ_ERR = -1,
  ZQ_ERR_OUTOFMEM = -2,
  ZQ_ERR_INVALID_PARAM = -3,
  ZQ_ERR_INCOMPLETE_CGI_PARAM = -4,
  ZQ_ERR_MQ_FAIL = -5,
  ZQ_ERR_NO_SDCARD = -6,
  ZQ_ERR_SDCARD_FULL = -7,
  ZQ_ERR_CREATING_MISC_DIR = -8,
  ZQ_ERR_UPLOADED_FILE = -9,
  ZQ_ERR_FILE_OPEN = -10,
  ZQ_ERR_FILE_READ = -11,
  ZQ_ERR_FILE_WRITE = -12,
  ZQ_ERR_REMOTE_FILE_OPEN = -14,
  ZQ_ERR_REMOTE_FILE_READ = -15,
  ZQ_ERR_REMOTE_FILE_WRITE = -16,
  ZQ_ERR_ACCESS_DENIED = -17,
  ZQ_ERR_NAK = -101,
  ZQ_ERR_RESPONSE_ALREADY_SENT = -102,
  ZQ_ERR_NAK_OFF = -103,
  ZQ_ERR_NOT_SUPPORTED = -104,
  ZQ_ERR_DOWNLOAD_FAILED = -100,
};

// Codes that handlers return without a name in the table above; the control dispatcher
// maps them to HTTP statuses.
enum : int32_t {
  kZqStatusNoContent = -18,  // answered 204
  kZqStatusNotFound = -20,   // answered 404
};

// Name of a status code ("ZQ_ERR_NAK"), or "UNKNOWN" for a code without a name.
const char* zqErrno2Str(int32_t code);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQERRORS_H_
