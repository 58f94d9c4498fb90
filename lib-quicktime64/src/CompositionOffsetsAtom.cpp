#include "quicktime64/CompositionOffsetsAtom.h"

#include <cstdio>

#include "TableDump.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

void CompositionOffsetsAtom::CompositionOffsetsTableEntry::Read(ByteReader& in) {
  sampleCount_ = in.U32();
  offset_ = in.U32();
}

void CompositionOffsetsAtom::CompositionOffsetsTableEntry::Write(ByteWriter& out) const {
  out.U32(sampleCount_);
  out.U32(offset_);
}

void CompositionOffsetsAtom::CompositionOffsetsTableEntry::Cat(std::string* out, int depth) const {
  for (int i = 0; i < depth; ++i) *out += "|\t";
  *out += "SampleCount: " + std::to_string(sampleCount_) +
          " CompositionOffset: " + std::to_string(static_cast<int32_t>(offset_)) + "\n";
}

void CompositionOffsetsAtom::CompositionOffsetsTableEntry::Print(int depth) const {
  std::string text;
  Cat(&text, depth);
  fputs(text.c_str(), stdout);
}

uint32_t CompositionOffsetsAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  uint32_t count = in.U32();
  entries_.clear();
  if (!in.ok() || in.Remaining() / CompositionOffsetsTableEntry::Size() < count) {
    return kQTAtomMalformed;
  }
  entries_.resize(count);
  for (auto& e : entries_) e.Read(in);
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint64_t CompositionOffsetsAtom::BodySize() const {
  return kVersionAndFlagsSize + 4 + entries_.size() * CompositionOffsetsTableEntry::Size();
}

uint32_t CompositionOffsetsAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U32(static_cast<uint32_t>(entries_.size()));
  for (const auto& e : entries_) e.Write(out);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void CompositionOffsetsAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "NumberOfEntries: %zu", entries_.size());
  DumpTable(out, depth, entries_);
}

}  // namespace MavrelQuickTime64Atom
