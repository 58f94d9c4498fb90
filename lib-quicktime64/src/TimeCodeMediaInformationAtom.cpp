#include "quicktime64/TimeCodeMediaInformationAtom.h"

#include <algorithm>

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t TimeCodeMediaInformationAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  textFont_ = in.U16();
  textFace_ = in.U16();
  textSize_ = in.U16();
  reserved_ = in.U16();
  for (auto& v : textColor_) v = in.U16();
  for (auto& v : backgroundColor_) v = in.U16();
  fontName_.clear();
  if (!in.ok()) return kQTAtomMalformed;
  if (in.Remaining() == 0) return 0;  // no font name at all
  uint8_t length = in.U8();
  std::vector<uint8_t> text;
  // A length running past the atom is malformed, not a name to cut.
  if (!in.Bytes(&text, length)) return kQTAtomMalformed;
  fontName_.assign(text.begin(), text.end());
  return 0;
}

uint64_t TimeCodeMediaInformationAtom::BodySize() const {
  return kVersionAndFlagsSize + 20 + 1 + std::min<uint64_t>(fontName_.size(), 255);
}

uint32_t TimeCodeMediaInformationAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U16(textFont_);
  out.U16(textFace_);
  out.U16(textSize_);
  out.U16(reserved_);
  for (auto v : textColor_) out.U16(v);
  for (auto v : backgroundColor_) out.U16(v);
  uint64_t length = std::min<uint64_t>(fontName_.size(), 255);
  out.U8(static_cast<uint8_t>(length));
  out.Bytes(fontName_.data(), length);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void TimeCodeMediaInformationAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "TextFont: %u TextFace: %u TextSize: %u", textFont_, textFace_, textSize_);
  Line(out, depth, "TextColor: %u %u %u BackgroundColor: %u %u %u", textColor_[0], textColor_[1],
       textColor_[2], backgroundColor_[0], backgroundColor_[1], backgroundColor_[2]);
  Line(out, depth, "FontName: %s", fontName_.c_str());
}

}  // namespace MavrelQuickTime64Atom
