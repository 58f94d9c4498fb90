#include "quicktime64/ChunkOffsetAtom.h"

#include "TableDump.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

bool ChunkOffsetAtom::AcceptsType(uint32_t type) const {
  return type == FourCC("stco") || type == FourCC("co64");
}

void ChunkOffsetAtom::AddChunkOffset(uint64_t offset) {
  if (offset > 0xffffffffull) type_ = FourCC("co64");
  offsets_.push_back(offset);
}

void ChunkOffsetAtom::SetOffsets(std::vector<uint64_t> offsets) {
  offsets_ = std::move(offsets);
  for (uint64_t offset : offsets_) {
    if (offset > 0xffffffffull) type_ = FourCC("co64");
  }
}

uint32_t ChunkOffsetAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  uint32_t count = in.U32();
  offsets_.clear();
  uint64_t width = IsWide() ? 8 : 4;
  if (!in.ok() || in.Remaining() / width < count) return kQTAtomMalformed;
  const uint8_t* p = in.Span(width * count);
  if (p == nullptr) return kQTAtomMalformed;
  offsets_.resize(count);
  for (uint64_t& o : offsets_) {
    o = IsWide() ? zq_load_be64(p) : zq_load_be32(p);
    p += width;
  }
  return 0;
}

uint64_t ChunkOffsetAtom::BodySize() const {
  return kVersionAndFlagsSize + 4 + (IsWide() ? 8 : 4) * uint64_t{offsets_.size()};
}

uint32_t ChunkOffsetAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U32(static_cast<uint32_t>(offsets_.size()));
  for (uint64_t o : offsets_) {
    if (IsWide()) {
      out.U64(o);
    } else {
      out.U32(static_cast<uint32_t>(o));
    }
  }
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void ChunkOffsetAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "NumberOfChunks: %zu", offsets_.size());
  DumpNumbers(out, depth, "Offset", offsets_);
}

}  // namespace MavrelQuickTime64Atom
