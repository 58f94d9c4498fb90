#include "quicktime64/PayloadAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t PayloadAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  return in.Bytes(&payload_, in.Remaining()) ? 0 : kQTAtomMalformed;
}

uint32_t PayloadAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.Bytes(payload_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void PayloadAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "Payload: %zu bytes: %s", payload_.size(),
       HexBytes(payload_.data(), payload_.size(), 32).c_str());
}

}  // namespace MavrelQuickTime64Atom
