// An atom this library does not interpret, kept whole as bytes so that it can be
// written back unchanged.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_UNPARSEDATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_UNPARSEDATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class UnparsedAtom final : public QuickTimeAtomImpl<UnparsedAtom, PayloadAtom> {
 public:
  explicit UnparsedAtom(uint32_t type = 0) : QuickTimeAtomImpl(type) {}

 protected:
  // Any type: this is the class of every atom without one of its own.
  bool AcceptsType(uint32_t) const override { return true; }
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_UNPARSEDATOM_H_
