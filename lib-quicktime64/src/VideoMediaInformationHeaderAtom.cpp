#include "quicktime64/VideoMediaInformationHeaderAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t VideoMediaInformationHeaderAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  graphicsMode_ = in.U16();
  for (auto& v : opColor_) v = in.U16();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint64_t VideoMediaInformationHeaderAtom::BodySize() const { return 12; }

uint32_t VideoMediaInformationHeaderAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U16(graphicsMode_);
  for (auto v : opColor_) out.U16(v);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void VideoMediaInformationHeaderAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "GraphicsMode: %u OpColor: %u %u %u", graphicsMode_, opColor_[0], opColor_[1],
       opColor_[2]);
}

}  // namespace MavrelQuickTime64Atom
