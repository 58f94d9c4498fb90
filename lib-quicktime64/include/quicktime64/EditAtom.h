// The edit container of a track: holds its edit list.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_EDITATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_EDITATOM_H_

#include "quicktime64/EditListAtom.h"
#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

class EditAtom final : public QuickTimeAtomImpl<EditAtom, QuickTimeAtom> {
 public:
  EditAtom() : QuickTimeAtomImpl(FourCC("edts")) {}

  EditListAtom* GetEditList() const { return elst_.get(); }
  EditListAtom& EnsureEditList() { return elst_.Ensure(); }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "EditAtom"; }

 private:
  Owned<EditListAtom> elst_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_EDITATOM_H_
