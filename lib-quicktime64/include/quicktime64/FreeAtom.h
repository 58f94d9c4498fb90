// Free space.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_FREEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_FREEATOM_H_

#include "quicktime64/SpaceAtom.h"

namespace MavrelQuickTime64Atom {

class FreeAtom final : public QuickTimeAtomImpl<FreeAtom, SpaceAtom> {
 public:
  FreeAtom() : QuickTimeAtomImpl(FourCC("free")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_FREEATOM_H_
