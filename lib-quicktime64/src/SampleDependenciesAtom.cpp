#include "quicktime64/SampleDependenciesAtom.h"

#include "TableDump.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t SampleDependenciesAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  if (!in.ok()) return kQTAtomMalformed;
  return in.Bytes(&dependencies_, in.Remaining()) ? 0 : kQTAtomMalformed;
}

uint64_t SampleDependenciesAtom::BodySize() const {
  return kVersionAndFlagsSize + dependencies_.size();
}

uint32_t SampleDependenciesAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.Bytes(dependencies_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void SampleDependenciesAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "NumberOfSamples: %zu", dependencies_.size());
  DumpNumbers(out, depth, "Dependency", dependencies_);
}

}  // namespace MavrelQuickTime64Atom
