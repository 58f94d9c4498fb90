#include "quicktime64/SpaceAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t SpaceAtom::ReadBody(FileBuffer& buffer, bool) {
  freeBytes_ = buffer.Remaining();
  return 0;
}

uint32_t SpaceAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.Zeros(freeBytes_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void SpaceAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "FreeBytes: %llu", static_cast<unsigned long long>(freeBytes_));
}

}  // namespace MavrelQuickTime64Atom
