// Base64 text as the network daemon's values travel in queries.
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQBASE64_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQBASE64_H_

#include <cstdint>
#include <string_view>
#include <vector>

// Decodes the standard alphabet (A-Z, a-z, 0-9, "+", "/") in groups of four characters, the
// last group padded with one or two "=" (decoding through OpenSSL). False, leaving `*out`
// empty, for any other text: white space, a missing or misplaced "=", another alphabet. The
// empty text decodes to no bytes.
bool zq_base64_decode(std::string_view text, std::vector<uint8_t>* out);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQBASE64_H_
