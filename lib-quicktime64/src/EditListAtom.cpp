#include "quicktime64/EditListAtom.h"

#include <cstdio>

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
  for (int i = 0; i < depth; ++i) *out += "|\t";
  char text[128];
  snprintf(text, sizeof text, "Edit: TrackDuration: %llu MediaTime: %lld MediaRate: 0x%08x\n",
           static_cast<unsigned long long>(trackDuration_), static_cast<long long>(mediaTime_),
           mediaRate_);
  *out += text;
}

void EditListAtom::EditListTableEntry::Print(int depth) const {
  std::string text;
  Cat(&text, depth);
  fputs(text.c_str(), stdout);
}

uint32_t EditListAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  uint32_t count = in.U32();
  bool wide = version_ == 1;
  entries_.clear();
  if (!in.ok() || in.Remaining() / EditListTableEntry::Size(wide) < count) {
    return kQTAtomMalformed;
  }
  entries_.resize(count);
  for (auto& entry : entries_) entry.Read(in, wide);
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint64_t EditListAtom::BodySize() const {
  return kVersionAndFlagsSize + 4 + entries_.size() * EditListTableEntry::Size(version_ == 1);
}

uint32_t EditListAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U32(static_cast<uint32_t>(entries_.size()));
  for (const auto& entry : entries_) entry.Write(out, version_ == 1);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void EditListAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "NumberOfEntries: %zu", entries_.size());
  for (const auto& entry : entries_) entry.Cat(&out, depth);
}

}  // namespace MavrelQuickTime64Atom
