#include "quicktime64/TrackReferenceAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t TrackReferenceAtom::TrackReferenceTypeAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  trackIDs_.clear();
  trackIDs_.reserve(in.Remaining() / 4);
  while (in.Remaining() >= 4) trackIDs_.push_back(in.U32());
  return 0;
}

uint64_t TrackReferenceAtom::TrackReferenceTypeAtom::BodySize() const {
  return 4 * trackIDs_.size();
}

uint32_t TrackReferenceAtom::TrackReferenceTypeAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  for (uint32_t id : trackIDs_) out.U32(id);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void TrackReferenceAtom::TrackReferenceTypeAtom::DumpBody(std::string& out, int depth) const {
  std::string ids;
  for (uint32_t id : trackIDs_) ids += std::to_string(id) + " ";
  Line(out, depth, "TrackIDs: %s", ids.c_str());
}

const TrackReferenceAtom::TrackReferenceTypeAtom* TrackReferenceAtom::FindReference(
    uint32_t type) const {
  for (const auto& reference : references_) {
    if (reference.Type() == type) return &reference;
  }
  return nullptr;
}

void TrackReferenceAtom::AddReference(uint32_t type, uint32_t trackID) {
  for (auto& reference : references_) {
    if (reference.Type() == type) {
      reference.AddTrackID(trackID);
      return;
    }
  }
  references_.emplace_back(type);
  references_.back().AddTrackID(trackID);
}

uint32_t TrackReferenceAtom::ReadBody(FileBuffer& buffer, bool flag) {
  references_.clear();
  while (buffer.Remaining() >= 8) {
    TrackReferenceTypeAtom reference;
    uint32_t result = reference.Read(buffer, flag);
    if (result == kQTAtomZeroSize) break;
    if (result != 0) return kQTAtomMalformed;
    references_.push_back(std::move(reference));
  }
  return 0;
}

uint64_t TrackReferenceAtom::BodySize() const {
  uint64_t size = 0;
  for (const auto& reference : references_) size += reference.Size();
  return size;
}

uint32_t TrackReferenceAtom::WriteBody(FileBuffer& buffer) const {
  for (const auto& reference : references_) {
    uint32_t result = reference.Write(buffer);
    if (result != 0) return result;
  }
  return 0;
}

void TrackReferenceAtom::DumpBody(std::string& out, int depth) const {
  for (const auto& reference : references_) DumpChild(out, &reference, depth);
}

}  // namespace MavrelQuickTime64Atom
