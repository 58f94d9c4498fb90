// Percent-decoding of URL query and form-encoded text ("application/x-www-form-urlencoded").
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQURL_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQURL_H_

#include <optional>
#include <string>
#include <string_view>

// Decodes "%XX" escapes (two hex digits, either case) and, when `plus_is_blank`, "+" as a
// blank. False, leaving `*out` unspecified, on a "%" not followed by two hex digits.
bool zq_url_decode(std::string_view text, bool plus_is_blank, std::string* out);

// The decoded value of the first `name=value` pair of form-encoded `text` whose decoded name
// is `name` (pairs separated by '&'; a pair without '=' has an empty value). nullopt when there
// is none or when its value does not decode.
std::optional<std::string> zq_form_value(std::string_view text, std::string_view name);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQURL_H_
