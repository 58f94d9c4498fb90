// Maker user data: second lens information bytes.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERALENS2ATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERALENS2ATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class TavroCameraLens2Atom final : public QuickTimeAtomImpl<TavroCameraLens2Atom, PayloadAtom> {
 public:
  TavroCameraLens2Atom() : QuickTimeAtomImpl(FourCC("LENS")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERALENS2ATOM_H_
