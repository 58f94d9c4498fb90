// Four-character codes as the 32-bit big-endian numbers stored in atom headers.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_FOURCC_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_FOURCC_H_

#include <cstdint>
#include <string>

// FourCC("moov") == 0x6d6f6f76. The argument must be exactly four characters.
constexpr uint32_t FourCC(const char (&s)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(s[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[3]));
}

// The four characters of `code`, with bytes outside printable ASCII shown as '.'.
std::string FourCCText(uint32_t code);

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_FOURCC_H_
