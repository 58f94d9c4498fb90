#include "quicktime64/DataInformationAtom.h"

#include "AtomChildren.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t DataInformationAtom::ReadBody(FileBuffer& buffer, bool flag) {
  return ReadOptionalChild(buffer, buffer.Cursor(), FourCC("dref"), &dref_, flag);
}

uint64_t DataInformationAtom::BodySize() const { return dref_ ? dref_->Size() : 0; }

uint32_t DataInformationAtom::WriteBody(FileBuffer& buffer) const {
  return dref_ ? dref_->Write(buffer) : 0;
}

void DataInformationAtom::DumpBody(std::string& out, int depth) const {
  DumpChild(out, dref_.get(), depth);
}

}  // namespace MavrelQuickTime64Atom
