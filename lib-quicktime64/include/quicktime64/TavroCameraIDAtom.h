// Maker user data: the camera identifier bytes.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAIDATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAIDATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class TavroCameraIDAtom final : public QuickTimeAtomImpl<TavroCameraIDAtom, PayloadAtom> {
 public:
  TavroCameraIDAtom() : QuickTimeAtomImpl(FourCC("CAME")) {}

 protected:
  void DumpBody(std::string& out, int depth) const override;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAIDATOM_H_
