#include "quicktime64/EditAtom.h"

#include "AtomChildren.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t EditAtom::ReadBody(FileBuffer& buffer, bool) {
  return ReadOptionalChild(buffer, buffer.Cursor(), FourCC("elst"), &elst_);
}

uint64_t EditAtom::BodySize() const { return elst_ ? elst_->Size() : 0; }

uint32_t EditAtom::WriteBody(FileBuffer& buffer) const { return elst_ ? elst_->Write(buffer) : 0; }

void EditAtom::DumpBody(std::string& out, int depth) const { DumpChild(out, elst_.get(), depth); }

}  // namespace MavrelQuickTime64Atom
