#include "zqcommon/zqErrors.h"

namespace {

struct ErrorName {
  int32_t code;
  const char* name;
};

// Searched in this order; -13 has no entry on purpose.
constexpr ErrorName kErrorNames[] = {
    {ZQ_OK, "ZQ_OK"},
    {ZQ_ERR, "ZQ_ERR"},
    {ZQ_ERR_OUTOFMEM, "ZQ_ERR_OUTOFMEM"},
    {ZQ_ERR_INVALID_PARAM, "ZQ_ERR_INVALID_PARAM"},
    {ZQ_ERR_INCOMPLETE_CGI_PARAM, "ZQ_ERR_INCOMPLETE_CGI_PARAM"},
    {ZQ_ERR_MQ_FAIL, "ZQ_ERR_MQ_FAIL"},
    {ZQ_ERR_NO_SDCARD, "ZQ_ERR_NO_SDCARD"},
    {ZQ_ERR_SDCARD_FULL, "ZQ_ERR_SDCARD_FULL"},
    {ZQ_ERR_CREATING_MISC_DIR, "ZQ_ERR_CREATING_MISC_DIR"},
    {ZQ_ERR_UPLOADED_FILE, "ZQ_ERR_UPLOADED_FILE"},
    {ZQ_ERR_FILE_OPEN, "ZQ_ERR_FILE_OPEN"},
    {ZQ_ERR_FILE_READ, "ZQ_ERR_FILE_READ"},
    {ZQ_ERR_FILE_WRITE, "ZQ_ERR_FILE_WRITE"},
    {ZQ_ERR_REMOTE_FILE_OPEN, "ZQ_ERR_REMOTE_FILE_OPEN"},
    {ZQ_ERR_REMOTE_FILE_READ, "ZQ_ERR_REMOTE_FILE_READ"},
    {ZQ_ERR_REMOTE_FILE_WRITE, "ZQ_ERR_REMOTE_FILE_WRITE"},
    {ZQ_ERR_ACCESS_DENIED, "ZQ_ERR_ACCESS_DENIED"},
    {ZQ_ERR_NAK, "ZQ_ERR_NAK"},
    {ZQ_ERR_RESPONSE_ALREADY_SENT, "ZQ_ERR_RESPONSE_ALREADY_SENT"},
    {ZQ_ERR_NAK_OFF, "ZQ_ERR_NAK_OFF"},
    {ZQ_ERR_NOT_SUPPORTED, "ZQ_ERR_NOT_SUPPORTED"},
    {ZQ_ERR_DOWNLOAD_FAILED, "ZQ_ERR_DOWNLOAD_FAILED"},
};

}  // namespace

const char* zqErrno2Str(int32_t code) {
  for (const ErrorName& e : kErrorNames) {
    if (e.code == code) return e.name;
  }
  return "UNKNOWN";
}
