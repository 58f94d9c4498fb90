#include "quicktime64/MediaHeaderAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t MediaHeaderAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadPrefix(in);
  timeScale_ = in.U32();
  duration_ = ReadTime(in);
  language_ = in.U16();
  quality_ = in.U16();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint64_t MediaHeaderAtom::BodySize() const { return PrefixSize() + 4 + TimeFieldSize() + 4; }

uint32_t MediaHeaderAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WritePrefix(out);
  out.U32(timeScale_);
  WriteTime(out, duration_);
  out.U16(language_);
  out.U16(quality_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void MediaHeaderAtom::DumpBody(std::string& out, int depth) const {
  DumpPrefix(out, depth);
  Line(out, depth, "TimeScale: %u Duration: %llu Language: %u Quality: %u", timeScale_,
       static_cast<unsigned long long>(duration_), language_, quality_);
}

}  // namespace MavrelQuickTime64Atom
