#include "quicktime64/TextSampleDescription.h"

#include <algorithm>

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t TextSampleDescription::ReadFields(FileBuffer& buffer) {
  ByteReader in(buffer);
  displayFlags_ = in.U32();
  textJustification_ = in.U32();
  in.Bytes(backgroundColor_.data(), backgroundColor_.size());
  in.Bytes(defaultTextBox_.data(), defaultTextBox_.size());
  in.Bytes(reserved1_.data(), reserved1_.size());
  fontNumber_ = in.U16();
  fontFace_ = in.U16();
  reserved2_ = in.U8();
  reserved3_ = in.U16();
  in.Bytes(foregroundColor_.data(), foregroundColor_.size());
  fontName_.clear();
  trailing_.clear();
  if (!in.ok()) return kQTAtomMalformed;
  if (in.Remaining() == 0) return 0;
  uint8_t length = in.U8();
  std::vector<uint8_t> name;
  if (!in.Bytes(&name, length)) return kQTAtomMalformed;  // longer than the entry
  fontName_.assign(name.begin(), name.end());
  return in.Bytes(&trailing_, in.Remaining()) ? 0 : kQTAtomMalformed;
}

uint64_t TextSampleDescription::FieldsSize() const {
  return 43 + 1 + std::min<uint64_t>(fontName_.size(), 255) + trailing_.size();
}

uint32_t TextSampleDescription::WriteFields(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U32(displayFlags_);
  out.U32(textJustification_);
  out.Bytes(backgroundColor_.data(), backgroundColor_.size());
  out.Bytes(defaultTextBox_.data(), defaultTextBox_.size());
  out.Bytes(reserved1_.data(), reserved1_.size());
  out.U16(fontNumber_);
  out.U16(fontFace_);
  out.U8(reserved2_);
  out.U16(reserved3_);
  out.Bytes(foregroundColor_.data(), foregroundColor_.size());
  uint64_t length = std::min<uint64_t>(fontName_.size(), 255);
  out.U8(static_cast<uint8_t>(length));
  out.Bytes(fontName_.data(), length);
  out.Bytes(trailing_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void TextSampleDescription::DumpFields(std::string& out, int depth) const {
  Line(out, depth, "DisplayFlags: 0x%08x TextJustification: %u FontNumber: %u FontFace: %u",
       displayFlags_, textJustification_, fontNumber_, fontFace_);
  Line(out, depth, "FontName: %s", fontName_.c_str());
}

}  // namespace MavrelQuickTime64Atom
