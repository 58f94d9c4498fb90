#include "quicktime64/SoundMediaInformationAtom.h"

#include "AtomChildren.h"

namespace MavrelQuickTime64Atom {

uint32_t SoundMediaInformationAtom::ReadMediaHeader(FileBuffer& buffer, size_t firstChild) {
  return ReadOptionalChild(buffer, firstChild, FourCC("smhd"), &header_);
}

SoundSampleDescription* SoundMediaInformationAtom::GetSoundSampleDescription() const {
  return stbl_ ? dynamic_cast<SoundSampleDescription*>(stbl_->GetSampleDescriptionAtom().First())
               : nullptr;
}

QuickTimeAtom* SoundMediaInformationAtom::GetSA3DAtom() const {
  SoundSampleDescription* sound = GetSoundSampleDescription();
  return sound != nullptr ? sound->GetSA3DAtom() : nullptr;
}

QuickTimeAtom* SoundMediaInformationAtom::GetSoundSampleDescriptionExtension() const {
  SoundSampleDescription* sound = GetSoundSampleDescription();
  return sound != nullptr ? sound->GetDecoderConfiguration() : nullptr;
}

}  // namespace MavrelQuickTime64Atom
