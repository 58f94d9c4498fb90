// Reading the Open API's fixed-form queries ("setting=%u&option=%u", "id=%hu", ...).
//
// A pattern is literal text with the conversions %u (a 32-bit unsigned number) and %hu (a
// 16-bit one). Matching works as the C library's scanf would on these patterns, with one
// difference: a number is decimal digits only and must fit its width. scanf would also take
// leading blanks, a sign ("-1" as 4294967295) and wrap a value too large; here they do not
// match, so such a query is refused rather than read as another number. As with scanf, text
// after the last conversion is ignored ("id=5&x=1" reads 5).
#ifndef ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQOPENAPIQUERY_H_
#define ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQOPENAPIQUERY_H_

#include <cstdint>
#include <string_view>

// Matches `text` against `pattern`; on success stores the numbers of its conversions, in
// order, into `out` (which must have room for them; %hu values are stored widened) and
// returns true. On failure `out` may be partly written. A null-text query never matches:
// pass "" only for a query that is present but empty.
bool zqoa_scan(std::string_view text, std::string_view pattern, uint32_t* out, int out_count);

// The settings query: "setting=%u&option=%u" or "option=%u&setting=%u".
bool zqoa_scan_setting(const char* query, uint32_t* setting, uint32_t* option);

#endif  // ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQOPENAPIQUERY_H_
