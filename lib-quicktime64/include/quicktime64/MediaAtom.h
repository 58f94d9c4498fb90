// The media of a track (`mdia`): its header (time scale, duration), the handler reference
// that says what kind of media it is, and the media information, whose class follows the
// handler subtype: `vide` video, `soun` sound, `tmcd`/`text`/`meta` base media. A media of
// any other subtype (or without a handler) has no media information.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MEDIAATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MEDIAATOM_H_

#include "quicktime64/HandlerReferenceAtom.h"
#include "quicktime64/MediaHeaderAtom.h"
#include "quicktime64/MediaInformationAtom.h"
#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

class MediaAtom final : public QuickTimeAtomImpl<MediaAtom, QuickTimeAtom> {
 public:
  MediaAtom() : QuickTimeAtomImpl(FourCC("mdia")) {}

  MediaHeaderAtom& GetMediaHeader() { return mdhd_; }
  const MediaHeaderAtom& GetMediaHeader() const { return mdhd_; }
  HandlerReferenceAtom* GetHandlerReference() const { return hdlr_.get(); }
  HandlerReferenceAtom& EnsureHandlerReference() { return hdlr_.Ensure(); }
  MediaInformationAtom* GetMediaInformation() const { return minf_.get(); }
  // Replaces the media information (which then takes this media's handler subtype).
  void SetMediaInformation(std::unique_ptr<MediaInformationAtom> minf);
  // The handler subtype, 0 without a handler.
  uint32_t HandlerSubtype() const { return hdlr_ ? hdlr_->ComponentSubtype() : 0; }

  // A new media information atom of the class for `handlerSubtype`, or null.
  static std::unique_ptr<MediaInformationAtom> MakeMediaInformation(uint32_t handlerSubtype);

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "MediaAtom"; }

 private:
  MediaHeaderAtom mdhd_;
  Owned<HandlerReferenceAtom> hdlr_;
  Owned<MediaInformationAtom> minf_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MEDIAATOM_H_
