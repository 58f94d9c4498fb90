#include "quicktime64/VideoMediaInformationAtom.h"

#include "AtomChildren.h"

namespace MavrelQuickTime64Atom {

uint32_t VideoMediaInformationAtom::ReadMediaHeader(FileBuffer& buffer, size_t firstChild) {
  return ReadOptionalChild(buffer, firstChild, FourCC("vmhd"), &header_);
}

VideoSampleDescription* VideoMediaInformationAtom::GetVideoSampleDescription() const {
  return stbl_ ? dynamic_cast<VideoSampleDescription*>(stbl_->GetSampleDescriptionAtom().First())
               : nullptr;
}

QuickTimeAtom* VideoMediaInformationAtom::GetImageDescriptionExtension() const {
  VideoSampleDescription* video = GetVideoSampleDescription();
  return video != nullptr ? video->GetDecoderConfiguration() : nullptr;
}

}  // namespace MavrelQuickTime64Atom
