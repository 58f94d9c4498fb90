// The file type atom: major brand, minor version and the compatible brands.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_FTYPATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_FTYPATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

class FtypAtom final : public QuickTimeAtomImpl<FtypAtom, QuickTimeAtom> {
 public:
  FtypAtom() : QuickTimeAtomImpl(FourCC("ftyp")) {}

  uint32_t MajorBrand() const { return majorBrand_; }
  uint32_t MinorVersion() const { return minorVersion_; }
  const std::vector<uint32_t>& CompatibleBrands() const { return compatibleBrands_; }
  void SetMajorBrand(uint32_t brand) { majorBrand_ = brand; }
  void SetMinorVersion(uint32_t version) { minorVersion_ = version; }
  void SetCompatibleBrands(std::vector<uint32_t> brands) { compatibleBrands_ = std::move(brands); }
  void AddCompatibleBrand(uint32_t brand) { compatibleBrands_.push_back(brand); }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;

 private:
  uint32_t majorBrand_ = 0;
  uint32_t minorVersion_ = 0;
  std::vector<uint32_t> compatibleBrands_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_FTYPATOM_H_
