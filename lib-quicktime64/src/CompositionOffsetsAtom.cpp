#include "quicktime64/CompositionOffsetsAtom.h"

#include <cstdio>

#include "EntryTable.h"
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
  AppendEntryLine(out, depth,
                  "SampleCount: " + std::to_string(sampleCount_) +
                      " CompositionOffset: " + std::to_string(static_cast<int32_t>(offset_)));
}

void CompositionOffsetsAtom::CompositionOffsetsTableEntry::Print(int depth) const {
  PrintEntry(*this, depth);
}

uint32_t CompositionOffsetsAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  return ReadCountedEntries(in, &entries_);
}

uint64_t CompositionOffsetsAtom::BodySize() const {
  return kVersionAndFlagsSize + 4 + entries_.size() * CompositionOffsetsTableEntry::Size();
}

uint32_t CompositionOffsetsAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  WriteCountedEntries(out, entries_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void CompositionOffsetsAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "NumberOfEntries: %zu", entries_.size());
  DumpTable(out, depth, entries_);
}

}  // namespace MavrelQuickTime64Atom
