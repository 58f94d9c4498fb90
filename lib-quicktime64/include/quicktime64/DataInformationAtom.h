// The data information container of a media: holds its data references.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_DATAINFORMATIONATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_DATAINFORMATIONATOM_H_

#include "quicktime64/DataReferenceAtom.h"
#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

class DataInformationAtom final : public QuickTimeAtomImpl<DataInformationAtom, QuickTimeAtom> {
 public:
  DataInformationAtom() : QuickTimeAtomImpl(FourCC("dinf")) {}

  DataReferenceAtom* GetDataReference() const { return dref_.get(); }
  DataReferenceAtom& EnsureDataReference() { return dref_.Ensure(); }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "DataInformationAtom"; }

 private:
  Owned<DataReferenceAtom> dref_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_DATAINFORMATIONATOM_H_
