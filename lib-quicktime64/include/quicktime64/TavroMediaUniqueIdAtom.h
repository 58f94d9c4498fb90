// Maker user data: the media unique identifier bytes.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROMEDIAUNIQUEIDATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROMEDIAUNIQUEIDATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class TavroMediaUniqueIdAtom final : public QuickTimeAtomImpl<TavroMediaUniqueIdAtom, PayloadAtom> {
 public:
  TavroMediaUniqueIdAtom() : QuickTimeAtomImpl(FourCC("MUID")) {}

 protected:
  void DumpBody(std::string& out, int depth) const override;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROMEDIAUNIQUEIDATOM_H_
