#include "quicktime64/SyncSampleAtom.h"

#include "TableDump.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t SyncSampleAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  uint32_t count = in.U32();
  numbers_.clear();
  if (!in.ok() || in.Remaining() / 4 < count) return kQTAtomMalformed;
  const uint8_t* p = in.Span(4 * uint64_t{count});
  if (p == nullptr) return kQTAtomMalformed;
  for (uint32_t i = 0; i < count; ++i, p += 4) numbers_.insert(numbers_.end(), zq_load_be32(p));
  // Repeated numbers make the set smaller than the declared count: malformed.
  return in.ok() && numbers_.size() == count ? 0 : kQTAtomMalformed;
}

uint64_t SyncSampleAtom::BodySize() const { return kVersionAndFlagsSize + 4 + 4 * numbers_.size(); }

uint32_t SyncSampleAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U32(static_cast<uint32_t>(numbers_.size()));
  for (uint32_t n : numbers_) out.U32(n);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void SyncSampleAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "NumberOfEntries: %zu", numbers_.size());
  DumpNumbers(out, depth, "SyncSample", numbers_);
}

}  // namespace MavrelQuickTime64Atom
