// A user extension atom: a 16-byte identifier and private data. The payload is kept whole; its
// first 16 bytes are also kept as 32 lower-case hexadecimal digits.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_UUIDATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_UUIDATOM_H_

#include <string>

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class UUIDAtom final : public QuickTimeAtomImpl<UUIDAtom, PayloadAtom> {
 public:
  UUIDAtom() : QuickTimeAtomImpl(FourCC("uuid")) {}

  const std::string& UUIDString() const { return uuid_; }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "UUIDAtom"; }

 private:
  std::string uuid_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_UUIDATOM_H_
