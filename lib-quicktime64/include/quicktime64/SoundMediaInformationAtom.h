// The media information of a sound track (`smhd` media header).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SOUNDMEDIAINFORMATIONATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SOUNDMEDIAINFORMATIONATOM_H_

#include "quicktime64/MediaInformationAtom.h"
#include "quicktime64/OwnedAtom.h"
#include "quicktime64/SoundMediaInformationHeaderAtom.h"

namespace MavrelQuickTime64Atom {

class SoundMediaInformationAtom final
    : public QuickTimeAtomImpl<SoundMediaInformationAtom, MediaInformationAtom> {
 public:
  SoundMediaInformationAtom() = default;

  SoundMediaInformationHeaderAtom* GetMediaHeader() const { return header_.get(); }
  SoundMediaInformationHeaderAtom& EnsureMediaHeader() { return header_.Ensure(); }
  // The first sound sample description, or null.
  SoundSampleDescription* GetSoundSampleDescription() const;
  QuickTimeAtom* GetSA3DAtom() const;
  // The decoder configuration (`esds`) of the first description, or null.
  QuickTimeAtom* GetSoundSampleDescriptionExtension() const;

 protected:
  const QuickTimeAtom* MediaHeader() const override { return header_.get(); }
  uint32_t ReadMediaHeader(FileBuffer& buffer, size_t firstChild) override;
  std::string Label() const override { return "SoundMediaInformationAtom"; }

 private:
  Owned<SoundMediaInformationHeaderAtom> header_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SOUNDMEDIAINFORMATIONATOM_H_
