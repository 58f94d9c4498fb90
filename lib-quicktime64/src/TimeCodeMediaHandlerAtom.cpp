#include "quicktime64/TimeCodeMediaHandlerAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t TimeCodeMediaHandlerAtom::ReadBody(FileBuffer& buffer, bool flag) {
  tcmi_.reset();
  if (Find(buffer, FourCC("tcmi"), buffer.Remaining()) != 0) return 0;
  auto tcmi = std::make_unique<TimeCodeMediaInformationAtom>();
  if (tcmi->Read(buffer, flag) != 0) return kQTAtomMalformed;
  tcmi_ = std::move(tcmi);
  return 0;
}

uint64_t TimeCodeMediaHandlerAtom::BodySize() const { return tcmi_ ? tcmi_->Size() : 0; }

uint32_t TimeCodeMediaHandlerAtom::WriteBody(FileBuffer& buffer) const {
  return tcmi_ ? tcmi_->Write(buffer) : 0;
}

void TimeCodeMediaHandlerAtom::DumpBody(std::string& out, int depth) const {
  DumpChild(out, tcmi_.get(), depth);
}

}  // namespace MavrelQuickTime64Atom
