// JSON text helpers for answers that are written with printf-style formats: every string taken
// from a file, the card, a certificate or a client goes through zq_json_escape, so that the
// document always parses.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQJSON_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQJSON_H_

#include <string>
#include <string_view>

// `text` as the inside of a JSON string (no surrounding quotes): quotes, backslashes and
// control characters escaped; bytes that are not valid UTF-8 become U+FFFD.
std::string zq_json_escape(std::string_view text);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQJSON_H_
