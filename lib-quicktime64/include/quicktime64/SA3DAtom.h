// Spatial audio description of a sound sample description, kept as bytes.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SA3DATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SA3DATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class SA3DAtom final : public QuickTimeAtomImpl<SA3DAtom, PayloadAtom> {
 public:
  SA3DAtom() : QuickTimeAtomImpl(FourCC("SA3D")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SA3DATOM_H_
