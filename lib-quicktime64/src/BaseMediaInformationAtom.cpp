#include "quicktime64/BaseMediaInformationAtom.h"

#include "AtomChildren.h"

namespace MavrelQuickTime64Atom {

uint32_t BaseMediaInformationAtom::ReadMediaHeader(FileBuffer& buffer, size_t firstChild) {
  return ReadOptionalChild(buffer, firstChild, FourCC("gmhd"), &header_);
}

}  // namespace MavrelQuickTime64Atom
