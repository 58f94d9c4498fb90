// The elementary-stream descriptor (decoder configuration) of compressed sound, kept as
// bytes.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_GENERICSOUNDCOMPRESSIONATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_GENERICSOUNDCOMPRESSIONATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class GenericSoundCompressionAtom final
    : public QuickTimeAtomImpl<GenericSoundCompressionAtom, PayloadAtom> {
 public:
  GenericSoundCompressionAtom() : QuickTimeAtomImpl(FourCC("esds")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_GENERICSOUNDCOMPRESSIONATOM_H_
