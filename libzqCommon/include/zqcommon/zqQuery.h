// Reading a request's query ("a=1&p=%2Fx+y"): the one rule every route and the media
// database client use.
//
// A parameter is found where its name starts the query or follows "&" and is followed by
// "="; names compare ignoring case. Its value runs to the next "&" and is decoded as a form
// value: "%" and two hex digits give that byte, "+" a space, anything else (a "%" without two
// hex digits included) stands for itself.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQQUERY_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQQUERY_H_

#include <cstddef>
#include <string>
#include <string_view>

enum class ZqParam {
  kFound,
  kMissing,
  kTooLong,  // longer than the caller allows
};

// The `occurrence`-th (from 0) value of `name` in `query`, decoded, when it has at most `max`
// bytes.
ZqParam zq_query_param(std::string_view query, std::string_view name, size_t max,
                       std::string* value, int occurrence = 0);

// `text` with "%XX" escapes decoded (and "+" as a space when `form`).
std::string zq_url_decode(std::string_view text, bool form);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQQUERY_H_
