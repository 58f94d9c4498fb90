// A track (`trak`): its header and media (both required), and optionally its edits, track
// references and a user extension (`uuid`). Other children are not kept.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TRACKATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TRACKATOM_H_

#include <string>

#include "quicktime64/EditAtom.h"
#include "quicktime64/MediaAtom.h"
#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"
#include "quicktime64/TrackHeaderAtom.h"
#include "quicktime64/TrackReferenceAtom.h"
#include "quicktime64/UUIDAtom.h"

namespace MavrelQuickTime64Atom {

class TrackAtom final : public QuickTimeAtomImpl<TrackAtom, QuickTimeAtom> {
 public:
  TrackAtom() : QuickTimeAtomImpl(FourCC("trak")) {}

  TrackHeaderAtom& GetTrackHeader() { return tkhd_; }
  const TrackHeaderAtom& GetTrackHeader() const { return tkhd_; }
  MediaAtom& GetMedia() { return mdia_; }
  const MediaAtom& GetMedia() const { return mdia_; }
  EditAtom* GetEdit() const { return edts_.get(); }
  EditAtom& EnsureEdit() { return edts_.Ensure(); }
  TrackReferenceAtom* GetTrackReference() const { return tref_.get(); }
  TrackReferenceAtom& EnsureTrackReference() { return tref_.Ensure(); }
  UUIDAtom* GetUUID() const { return uuid_.get(); }
  // Drop the optional children (a writer rebuilds them for its own track layout).
  void RemoveEdit() { edts_.reset(); }
  void RemoveTrackReference() { tref_.reset(); }

  // The media's handler subtype (0 without a handler), its handler name ("" without).
  uint32_t HandlerSubtype() const { return mdia_.HandlerSubtype(); }
  std::string HandlerName() const;
  // The media information, or null.
  MediaInformationAtom* GetMediaInformation() const { return mdia_.GetMediaInformation(); }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "TrackAtom"; }

 private:
  TrackHeaderAtom tkhd_;
  MediaAtom mdia_;
  Owned<EditAtom> edts_;
  Owned<TrackReferenceAtom> tref_;
  Owned<UUIDAtom> uuid_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TRACKATOM_H_
