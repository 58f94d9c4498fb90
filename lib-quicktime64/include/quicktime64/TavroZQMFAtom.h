// Maker user data: the recording's global ZQMF metadata stream (not per sample).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROZQMFATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROZQMFATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class TavroZQMFAtom final : public QuickTimeAtomImpl<TavroZQMFAtom, PayloadAtom> {
 public:
  TavroZQMFAtom() : QuickTimeAtomImpl(FourCC("ZQMF")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROZQMFATOM_H_
