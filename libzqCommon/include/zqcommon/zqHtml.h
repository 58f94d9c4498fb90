// Text placed into HTML pages that the daemon writes (forms, directory listings).
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQHTML_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQHTML_H_

#include <string>
#include <string_view>

// `text` safe inside an HTML element or a quoted attribute value: & < > " ' become character
// references; every other byte stays.
std::string zq_html_escape(std::string_view text);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQHTML_H_
