#include "zqcommon/zqCrash.h"

#include "zqcommon/zqErrors.h"

// No handler is installed yet: the daemon reports that and carries on.
int zqch_install_crash_handler(uint32_t /*options*/) { return ZQ_ERR_NOT_SUPPORTED; }
