// SHA-1 digests as the daemon writes them: 40 lower-case hexadecimal digits (OpenSSL's SHA-1).
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQSHA1_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQSHA1_H_

#include <cstddef>
#include <string>
#include <string_view>

// `size` bytes as lower-case hexadecimal digits, two a byte.
std::string zq_hex_lower(const unsigned char* bytes, size_t size);

// The SHA-1 digest of `bytes` in hexadecimal.
std::string zq_sha1_hex(std::string_view bytes);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQSHA1_H_
