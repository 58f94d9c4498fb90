#include "quicktime64/WideAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t WideAtom::ReadBody(FileBuffer& buffer, bool) {
  freeBytes_ = buffer.Remaining();
  return 0;
}

uint64_t WideAtom::BodySize() const { return freeBytes_; }

uint32_t WideAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.Zeros(freeBytes_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void WideAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "FreeBytes: %llu", static_cast<unsigned long long>(freeBytes_));
}

}  // namespace MavrelQuickTime64Atom
