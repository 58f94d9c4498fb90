#include "quicktime64/MovieHeaderAtom.h"

#include "quicktime64/ByteStream.h"
#include "quicktime64/IdentityMatrix.h"

namespace MavrelQuickTime64Atom {

MovieHeaderAtom::MovieHeaderAtom() : QuickTimeAtomImpl(FourCC("mvhd")), matrix_(kIdentityMatrix) {}

uint32_t MovieHeaderAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadPrefix(in);
  timeScale_ = in.U32();
  duration_ = ReadTime(in);
  preferredRate_ = in.U32();
  preferredVolume_ = in.U16();
  in.Bytes(reserved_, sizeof reserved_);
  for (uint32_t& m : matrix_) m = in.U32();
  previewTime_ = in.U32();
  previewDuration_ = in.U32();
  posterTime_ = in.U32();
  selectionTime_ = in.U32();
  selectionDuration_ = in.U32();
  currentTime_ = in.U32();
  nextTrackID_ = in.U32();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint64_t MovieHeaderAtom::BodySize() const {
  return PrefixSize() + 4 + TimeFieldSize() + 4 + 2 + 10 + 36 + 7 * 4;
}

uint32_t MovieHeaderAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WritePrefix(out);
  out.U32(timeScale_);
  WriteTime(out, duration_);
  out.U32(preferredRate_);
  out.U16(preferredVolume_);
  out.Bytes(reserved_, sizeof reserved_);
  for (uint32_t m : matrix_) out.U32(m);
  out.U32(previewTime_);
  out.U32(previewDuration_);
  out.U32(posterTime_);
  out.U32(selectionTime_);
  out.U32(selectionDuration_);
  out.U32(currentTime_);
  out.U32(nextTrackID_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void MovieHeaderAtom::DumpBody(std::string& out, int depth) const {
  DumpPrefix(out, depth);
  Line(out, depth, "TimeScale: %u Duration: %llu", timeScale_,
       static_cast<unsigned long long>(duration_));
  Line(out, depth, "PreferredRate: 0x%08x PreferredVolume: 0x%04x", preferredRate_,
       preferredVolume_);
  Line(out, depth, "Matrix: %08x %08x %08x %08x %08x %08x %08x %08x %08x", matrix_[0], matrix_[1],
       matrix_[2], matrix_[3], matrix_[4], matrix_[5], matrix_[6], matrix_[7], matrix_[8]);
  Line(out, depth, "PreviewTime: %u PreviewDuration: %u PosterTime: %u", previewTime_,
       previewDuration_, posterTime_);
  Line(out, depth, "SelectionTime: %u SelectionDuration: %u CurrentTime: %u", selectionTime_,
       selectionDuration_, currentTime_);
  Line(out, depth, "NextTrackID: %u", nextTrackID_);
}

}  // namespace MavrelQuickTime64Atom
