#include "quicktime64/TrackAtom.h"

#include "AtomChildren.h"

namespace MavrelQuickTime64Atom {

std::string TrackAtom::HandlerName() const {
  HandlerReferenceAtom* hdlr = mdia_.GetHandlerReference();
  return hdlr != nullptr ? hdlr->ComponentName() : std::string();
}

uint32_t TrackAtom::ReadBody(FileBuffer& buffer, bool flag) {
  size_t first = buffer.Cursor();
  uint32_t result = ReadRequiredChild(buffer, first, FourCC("tkhd"), &tkhd_, flag);
  if (result == 0) result = ReadRequiredChild(buffer, first, FourCC("mdia"), &mdia_, flag);
  if (result == 0) result = ReadOptionalChild(buffer, first, FourCC("edts"), &edts_, flag);
  if (result == 0) result = ReadOptionalChild(buffer, first, FourCC("tref"), &tref_, flag);
  if (result == 0) result = ReadOptionalChild(buffer, first, FourCC("uuid"), &uuid_, flag);
  return result;
}

uint64_t TrackAtom::BodySize() const {
  return tkhd_.Size() + mdia_.Size() + (edts_ ? edts_->Size() : 0) + (tref_ ? tref_->Size() : 0) +
         (uuid_ ? uuid_->Size() : 0);
}

uint32_t TrackAtom::WriteBody(FileBuffer& buffer) const {
  const QuickTimeAtom* children[] = {&tkhd_, &mdia_, edts_.get(), tref_.get(), uuid_.get()};
  for (const QuickTimeAtom* child : children) {
    if (child == nullptr) continue;
    uint32_t result = child->Write(buffer);
    if (result != 0) return result;
  }
  return 0;
}

void TrackAtom::DumpBody(std::string& out, int depth) const {
  const QuickTimeAtom* children[] = {&tkhd_, &mdia_, edts_.get(), tref_.get(), uuid_.get()};
  for (const QuickTimeAtom* child : children) DumpChild(out, child, depth);
}

}  // namespace MavrelQuickTime64Atom
