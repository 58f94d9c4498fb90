// The media information of a video track (`vmhd` media header).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_VIDEOMEDIAINFORMATIONATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_VIDEOMEDIAINFORMATIONATOM_H_

#include "quicktime64/MediaInformationAtom.h"
#include "quicktime64/OwnedAtom.h"
#include "quicktime64/VideoMediaInformationHeaderAtom.h"

namespace MavrelQuickTime64Atom {

class VideoMediaInformationAtom final
    : public QuickTimeAtomImpl<VideoMediaInformationAtom, MediaInformationAtom> {
 public:
  VideoMediaInformationAtom() = default;

  VideoMediaInformationHeaderAtom* GetMediaHeader() const { return header_.get(); }
  VideoMediaInformationHeaderAtom& EnsureMediaHeader() { return header_.Ensure(); }
  // The first video sample description, or null.
  VideoSampleDescription* GetVideoSampleDescription() const;
  // The decoder configuration (`avcC` or `hvcC`) of the first description, or null.
  QuickTimeAtom* GetImageDescriptionExtension() const;

 protected:
  const QuickTimeAtom* MediaHeader() const override { return header_.get(); }
  uint32_t ReadMediaHeader(FileBuffer& buffer, size_t firstChild) override;
  std::string Label() const override { return "VideoMediaInformationAtom"; }

 private:
  Owned<VideoMediaInformationHeaderAtom> header_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_VIDEOMEDIAINFORMATIONATOM_H_
