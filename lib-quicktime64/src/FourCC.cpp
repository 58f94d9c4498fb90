#include "quicktime64/FourCC.h"

std::string FourCCText(uint32_t code) {
  std::string text(4, '.');
  for (int i = 0; i < 4; ++i) {
    char c = static_cast<char>((code >> (24 - 8 * i)) & 0xff);
    if (c >= 0x20 && c < 0x7f) text[static_cast<size_t>(i)] = c;
  }
  return text;
}
