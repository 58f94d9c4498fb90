#include "quicktime64/TimeCodeSampleDescription.h"

#include <algorithm>

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t TimeCodeSampleDescription::NameAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  uint16_t length = in.U16();
  language_ = in.U16();
  std::vector<uint8_t> text;
  if (!in.ok() || !in.Bytes(&text, length)) return kQTAtomMalformed;
  text_.assign(text.begin(), text.end());
  return 0;
}

uint64_t TimeCodeSampleDescription::NameAtom::BodySize() const {
  return 4 + std::min<uint64_t>(text_.size(), 0xffff);
}

uint32_t TimeCodeSampleDescription::NameAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  uint64_t length = std::min<uint64_t>(text_.size(), 0xffff);
  out.U16(static_cast<uint16_t>(length));
  out.U16(language_);
  out.Bytes(text_.data(), length);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void TimeCodeSampleDescription::NameAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "ReelName: %s Language: %u", text_.c_str(), language_);
}

std::unique_ptr<QuickTimeAtom> TimeCodeSampleDescription::MakeExtension(uint32_t type) const {
  if (type == FourCC("name")) return std::make_unique<NameAtom>();
  return nullptr;
}

TimeCodeSampleDescription::NameAtom* TimeCodeSampleDescription::GetNameAtom() const {
  return dynamic_cast<NameAtom*>(FindExtension(FourCC("name")));
}

void TimeCodeSampleDescription::SetReelName(const std::string& name) {
  if (name.empty()) {
    RemoveExtension(FourCC("name"));
    return;
  }
  auto atom = std::make_unique<NameAtom>();
  atom->SetText(name);
  SetExtension(std::move(atom));
}

uint32_t TimeCodeSampleDescription::ReadFields(FileBuffer& buffer) {
  ByteReader in(buffer);
  reserved1_ = in.U32();
  flags_ = in.U32();
  timeScale_ = in.U32();
  frameDuration_ = in.U32();
  numberOfFrames_ = in.U8();
  reserved2_ = in.U8();
  if (!in.ok()) return kQTAtomMalformed;
  buffer.Advance(in.Position());
  return ReadExtensions(buffer);
}

uint64_t TimeCodeSampleDescription::FieldsSize() const { return 18 + ExtensionsSize(); }

uint32_t TimeCodeSampleDescription::WriteFields(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U32(reserved1_);
  out.U32(flags_);
  out.U32(timeScale_);
  out.U32(frameDuration_);
  out.U8(numberOfFrames_);
  out.U8(reserved2_);
  if (!out.ok()) return kQTAtomBufferTooSmall;
  buffer.Advance(out.Position());
  return WriteExtensions(buffer);
}

void TimeCodeSampleDescription::DumpFields(std::string& out, int depth) const {
  Line(out, depth, "Flags: 0x%08x TimeScale: %u FrameDuration: %u NumberOfFrames: %u", flags_,
       timeScale_, frameDuration_, numberOfFrames_);
  DumpExtensions(out, depth);
}

}  // namespace MavrelQuickTime64Atom
