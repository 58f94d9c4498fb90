// Atoms that only reserve space (`free`, `wide`): their body is unused bytes, written as
// zeros.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SPACEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SPACEATOM_H_

#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

class SpaceAtom : public QuickTimeAtom {
 public:
  // Bytes of the body (the atom is this plus its header).
  uint64_t FreeBytes() const { return freeBytes_; }
  void SetFreeBytes(uint64_t n) { freeBytes_ = n; }

 protected:
  using QuickTimeAtom::QuickTimeAtom;

  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override { return freeBytes_; }
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;

 private:
  uint64_t freeBytes_ = 0;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SPACEATOM_H_
