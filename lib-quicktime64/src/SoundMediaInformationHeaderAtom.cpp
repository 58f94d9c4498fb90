#include "quicktime64/SoundMediaInformationHeaderAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t SoundMediaInformationHeaderAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  balance_ = in.U16();
  reserved_ = in.U16();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint64_t SoundMediaInformationHeaderAtom::BodySize() const { return 8; }

uint32_t SoundMediaInformationHeaderAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U16(balance_);
  out.U16(reserved_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void SoundMediaInformationHeaderAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "Balance: %u Reserved: %u", balance_, reserved_);
}

}  // namespace MavrelQuickTime64Atom
