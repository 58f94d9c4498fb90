#include "quicktime64/TavroSpotmarkTagAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

void TavroSpotmarkTagAtom::SetTagTimes(std::vector<uint32_t> times) {
  if (times.size() > kMaximumTags) times.resize(kMaximumTags);
  times_ = std::move(times);
}

uint32_t TavroSpotmarkTagAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  uint32_t count = in.U32();
  times_.clear();
  if (!in.ok()) return kQTAtomMalformed;
  if (count > kMaximumTags) count = kMaximumTags;
  if (in.Remaining() / 4 < count) return kQTAtomMalformed;
  times_.resize(count);
  for (uint32_t& t : times_) t = in.U32();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint64_t TavroSpotmarkTagAtom::BodySize() const { return 4 + 4 * times_.size(); }

uint32_t TavroSpotmarkTagAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U32(static_cast<uint32_t>(times_.size()));
  for (uint32_t t : times_) out.U32(t);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void TavroSpotmarkTagAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "COUNT: %u", static_cast<uint32_t>(times_.size()));
  for (uint32_t t : times_) Line(out, depth, "TAG: %u.%u sec ", t / 1000, t % 1000);
}

}  // namespace MavrelQuickTime64Atom
