#include "zqcontrolapi/zqBase64.h"

#include <openssl/evp.h>

namespace {

bool InAlphabet(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

}  // namespace

bool zq_base64_decode(std::string_view text, std::vector<uint8_t>* out) {
  out->clear();
  if (text.size() % 4 != 0) return false;
  // OpenSSL's block decoder is lenient with padding and white space: the shape is checked here,
  // so that only canonical text reaches it.
  size_t pad = 0;
  if (!text.empty() && text.back() == '=') pad = text[text.size() - 2] == '=' ? 2 : 1;
  for (size_t i = 0; i < text.size() - pad; ++i) {
    if (!InAlphabet(text[i])) return false;
  }
  if (text.empty()) return true;
  std::vector<uint8_t> bytes(text.size() / 4 * 3);
  const int n = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  if (n < 0 || static_cast<size_t>(n) != bytes.size()) return false;
  bytes.resize(bytes.size() - pad);
  *out = std::move(bytes);
  return true;
}
