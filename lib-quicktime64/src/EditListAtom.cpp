#include "quicktime64/EditListAtom.h"

#include <cstdio>

#include "EntryTable.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

void EditListAtom::EditListTableEntry::Read(ByteReader& in, bool wide) {
  if (wide) {
    trackDuration_ = in.U64();
    mediaTime_ = static_cast<int64_t>(in.U64());
  } else {
    trackDuration_ = in.U32();
    mediaTime_ = static_cast<int32_t>(in.U32());
  }
  mediaRate_ = in.U32();
}

void EditListAtom::EditListTableEntry::Write(ByteWriter& out, bool wide) const {
  if (wide) {
    out.U64(trackDuration_);
    out.U64(static_cast<uint64_t>(mediaTime_));
  } else {
    out.U32(static_cast<uint32_t>(trackDuration_));
    out.U32(static_cast<uint32_t>(static_cast<int32_t>(mediaTime_)));
  }
  out.U32(mediaRate_);
}

void EditListAtom::EditListTableEntry::Cat(std::string* out, int depth) const {
  char text[128];
  snprintf(text, sizeof text, "Edit: TrackDuration: %llu MediaTime: %lld MediaRate: 0x%08x",
           static_cast<unsigned long long>(trackDuration_), static_cast<long long>(mediaTime_),
           mediaRate_);
  AppendEntryLine(out, depth, text);
}

void EditListAtom::EditListTableEntry::Print(int depth) const { PrintEntry(*this, depth); }

uint32_t EditListAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  bool wide = version_ == 1;
  return ReadCountedEntries(in, EditListTableEntry::Size(wide), &entries_,
                            [&](EditListTableEntry& e) { e.Read(in, wide); });
}

uint64_t EditListAtom::BodySize() const {
  return kVersionAndFlagsSize + 4 + entries_.size() * EditListTableEntry::Size(version_ == 1);
}

uint32_t EditListAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U32(static_cast<uint32_t>(entries_.size()));
  for (const auto& entry : entries_) entry.Write(out, version_ == 1);  // width by version
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void EditListAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "NumberOfEntries: %zu", entries_.size());
  for (const auto& entry : entries_) entry.Cat(&out, depth);
}

}  // namespace MavrelQuickTime64Atom
