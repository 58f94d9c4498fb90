// The track references of a track: typed lists of the IDs of other tracks (a video track
// names its time code track in a reference of type `tmcd`).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TRACKREFERENCEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TRACKREFERENCEATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

class TrackReferenceAtom final : public QuickTimeAtomImpl<TrackReferenceAtom, QuickTimeAtom> {
 public:
  // One reference type (any 4CC) and its track IDs.
  class TrackReferenceTypeAtom final
      : public QuickTimeAtomImpl<TrackReferenceTypeAtom, QuickTimeAtom> {
   public:
    explicit TrackReferenceTypeAtom(uint32_t type = FourCC("tmcd")) : QuickTimeAtomImpl(type) {}

    const std::vector<uint32_t>& TrackIDs() const { return trackIDs_; }
    void AddTrackID(uint32_t id) { trackIDs_.push_back(id); }

   protected:
    bool AcceptsType(uint32_t) const override { return true; }
    uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
    uint64_t BodySize() const override;
    uint32_t WriteBody(FileBuffer& buffer) const override;
    void DumpBody(std::string& out, int depth) const override;

   private:
    std::vector<uint32_t> trackIDs_;
  };

  TrackReferenceAtom() : QuickTimeAtomImpl(FourCC("tref")) {}

  const std::vector<TrackReferenceTypeAtom>& References() const { return references_; }
  // The first reference of `type`, or null.
  const TrackReferenceTypeAtom* FindReference(uint32_t type) const;
  // Adds `trackID` to the reference of `type`, creating it when needed.
  void AddReference(uint32_t type, uint32_t trackID);

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "TrackReferenceAtom"; }

 private:
  std::vector<TrackReferenceTypeAtom> references_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TRACKREFERENCEATOM_H_
