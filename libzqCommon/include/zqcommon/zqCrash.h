// The crash handler: a fatal signal leaves a report and ends the process with that signal.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCRASH_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCRASH_H_

#include <cstdint>

// Installs the handler for the signals selected by `options`. 0 on success.
int zqch_install_crash_handler(uint32_t options);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCRASH_H_
