#include "quicktime64/TrackHeaderAtom.h"

#include "quicktime64/ByteStream.h"
#include "quicktime64/IdentityMatrix.h"

namespace MavrelQuickTime64Atom {

TrackHeaderAtom::TrackHeaderAtom() : QuickTimeAtomImpl(FourCC("tkhd")), matrix_(kIdentityMatrix) {
  // Enabled, in the movie, in the preview.
  flags_ = 0x000007;
}

uint32_t TrackHeaderAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadPrefix(in);
  trackID_ = in.U32();
  reserved1_ = in.U32();
  duration_ = ReadTime(in);
  in.Bytes(reserved2_, sizeof reserved2_);
  layer_ = in.U16();
  alternateGroup_ = in.U16();
  volume_ = in.U16();
  reserved3_ = in.U16();
  for (uint32_t& m : matrix_) m = in.U32();
  width_ = in.U32();
  height_ = in.U32();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint64_t TrackHeaderAtom::BodySize() const {
  return PrefixSize() + 8 + TimeFieldSize() + 16 + 36 + 8;
}

uint32_t TrackHeaderAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WritePrefix(out);
  out.U32(trackID_);
  out.U32(reserved1_);
  WriteTime(out, duration_);
  out.Bytes(reserved2_, sizeof reserved2_);
  out.U16(layer_);
  out.U16(alternateGroup_);
  out.U16(volume_);
  out.U16(reserved3_);
  for (uint32_t m : matrix_) out.U32(m);
  out.U32(width_);
  out.U32(height_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void TrackHeaderAtom::DumpBody(std::string& out, int depth) const {
  DumpPrefix(out, depth);
  Line(out, depth, "TrackID: %u Duration: %llu", trackID_,
       static_cast<unsigned long long>(duration_));
  Line(out, depth, "Layer: %u AlternateGroup: %u Volume: 0x%04x", layer_, alternateGroup_, volume_);
  Line(out, depth, "Width: %u.%u Height: %u.%u", width_ >> 16, width_ & 0xffff, height_ >> 16,
       height_ & 0xffff);
}

}  // namespace MavrelQuickTime64Atom
