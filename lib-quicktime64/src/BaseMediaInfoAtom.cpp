#include "quicktime64/BaseMediaInfoAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t BaseMediaInfoAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  graphicsMode_ = in.U16();
  for (auto& v : opColor_) v = in.U16();
  balance_ = in.U16();
  reserved_ = in.U16();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint64_t BaseMediaInfoAtom::BodySize() const { return 16; }

uint32_t BaseMediaInfoAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U16(graphicsMode_);
  for (auto v : opColor_) out.U16(v);
  out.U16(balance_);
  out.U16(reserved_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void BaseMediaInfoAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "GraphicsMode: %u OpColor: %u %u %u Balance: %u Reserved: %u", graphicsMode_,
       opColor_[0], opColor_[1], opColor_[2], balance_, reserved_);
}

}  // namespace MavrelQuickTime64Atom
