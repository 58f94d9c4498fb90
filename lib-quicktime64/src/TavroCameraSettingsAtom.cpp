#include "quicktime64/TavroCameraSettingsAtom.h"

#include <cstdio>

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

void TavroCameraSettingsAtom::SetWords(std::vector<uint32_t> words) {
  words_ = std::move(words);
  length_ = static_cast<uint32_t>(4 * words_.size());
}

uint32_t TavroCameraSettingsAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  uint64_t length = in.Remaining();
  if (length > 0xffffffffull) return kQTAtomMalformed;
  length_ = static_cast<uint32_t>(length);
  words_.assign((length + 3) / 4, 0);
  for (uint32_t& word : words_) {
    uint8_t bytes[4] = {};
    uint64_t n = in.Remaining() < 4 ? in.Remaining() : 4;
    in.Bytes(bytes, n);
    word = zq_load_be32(bytes);
  }
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint64_t TavroCameraSettingsAtom::BodySize() const { return length_; }

uint32_t TavroCameraSettingsAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  uint64_t left = length_;
  for (uint32_t word : words_) {
    uint8_t bytes[4] = {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
                        static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
    uint64_t n = left < 4 ? left : 4;
    out.Bytes(bytes, n);
    left -= n;
  }
  out.Zeros(left);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void TavroCameraSettingsAtom::DumpBody(std::string& out, int depth) const {
  std::string words;
  for (uint32_t word : words_) {
    char text[12];
    snprintf(text, sizeof text, "%08x ", word);
    words += text;
  }
  Line(out, depth, "Camera Settings: %s", words.c_str());
}

}  // namespace MavrelQuickTime64Atom
