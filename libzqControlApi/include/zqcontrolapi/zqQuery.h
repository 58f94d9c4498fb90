// Reading the query parameters of the control commands built on this library.
//
// A command's parameters are the request's query text, undecoded: key=value pairs separated by
// "&", looked up by their key including its "=" ("p="). A key given more than once is refused
// (logged) rather than guessed at, and counts as unreadable.
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQQUERY_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQQUERY_H_

#include <cstdint>
#include <string>
#include <string_view>

enum class ZqQueryValue : uint8_t { kAbsent, kFound, kRepeated };

// Looks `key` up in `query` (nullptr counts as empty); on kFound `*raw` holds its undecoded
// text. kRepeated is logged.
ZqQueryValue zq_query_find(const char* query, const char* key, std::string* raw);

// True when `key` is given once; `*raw` then holds its undecoded text.
inline bool zq_query_get(const char* query, const char* key, std::string* raw) {
  return zq_query_find(query, key, raw) == ZqQueryValue::kFound;
}

// As zq_query_get, with the value percent-decoded ("+" stays "+").
bool zq_query_get_decoded(const char* query, const char* key, std::string* value);

// Decimal numbers written with digits only (and a leading "-" for the signed forms); anything
// else, an empty text, or a number outside the type is unreadable (false, `*out` untouched).
bool zq_parse_u32(std::string_view text, uint32_t* out);
bool zq_parse_i32(std::string_view text, int32_t* out);
bool zq_parse_i64(std::string_view text, int64_t* out);

// A number read the way a C++ stream extracts an int: optional white space and sign, then
// digits; whatever follows the digits is ignored ("12ab" reads 12). False when the text does
// not start with a number or the number does not fit 32 bits.
bool zq_parse_leading_i32(std::string_view text, int32_t* out);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQQUERY_H_
