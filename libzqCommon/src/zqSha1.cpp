#include "zqcommon/zqSha1.h"

#include <openssl/evp.h>

std::string zq_hex_lower(const unsigned char* bytes, size_t size) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * size);
  for (size_t i = 0; i < size; ++i) {
    hex.push_back(kHex[bytes[i] >> 4]);
    hex.push_back(kHex[bytes[i] & 15]);
  }
  return hex;
}

std::string zq_sha1_hex(std::string_view bytes) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), md, &len, EVP_sha1(), nullptr) != 1) return {};
  return zq_hex_lower(md, len);
}
