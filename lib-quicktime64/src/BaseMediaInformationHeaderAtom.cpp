#include "quicktime64/BaseMediaInformationHeaderAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t BaseMediaInformationHeaderAtom::ReadBody(FileBuffer& buffer, bool flag) {
  gmin_.reset();
  tmcd_.reset();
  others_.clear();
  while (buffer.Remaining() >= 8) {
    uint32_t type = GetFourccOfCurrentAtom(buffer);
    uint32_t result;
    if (type == FourCC("gmin") && !gmin_) {
      auto gmin = std::make_unique<BaseMediaInfoAtom>();
      result = gmin->Read(buffer, flag);
      if (result == 0) gmin_ = std::move(gmin);
    } else if (type == FourCC("tmcd") && !tmcd_) {
      auto tmcd = std::make_unique<TimeCodeMediaHandlerAtom>();
      result = tmcd->Read(buffer, flag);
      if (result == 0) tmcd_ = std::move(tmcd);
    } else {
      UnparsedAtom other;
      result = other.Read(buffer, flag);
      if (result == kQTAtomZeroSize) break;
      if (result == 0) others_.push_back(std::move(other));
    }
    if (result != 0) return kQTAtomMalformed;
  }
  return 0;
}

uint64_t BaseMediaInformationHeaderAtom::BodySize() const {
  uint64_t size = (gmin_ ? gmin_->Size() : 0) + (tmcd_ ? tmcd_->Size() : 0);
  for (const auto& other : others_) size += other.Size();
  return size;
}

uint32_t BaseMediaInformationHeaderAtom::WriteBody(FileBuffer& buffer) const {
  uint32_t result = gmin_ ? gmin_->Write(buffer) : 0;
  if (result == 0 && tmcd_) result = tmcd_->Write(buffer);
  for (const auto& other : others_) {
    if (result == 0) result = other.Write(buffer);
  }
  return result;
}

void BaseMediaInformationHeaderAtom::DumpBody(std::string& out, int depth) const {
  DumpChild(out, gmin_.get(), depth);
  DumpChild(out, tmcd_.get(), depth);
  for (const auto& other : others_) DumpChild(out, &other, depth);
}

}  // namespace MavrelQuickTime64Atom
