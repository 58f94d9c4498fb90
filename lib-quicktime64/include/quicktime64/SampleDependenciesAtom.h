// Sample dependency flags, one byte per sample. There is no entry count: the atom's size
// gives it (size minus 12, or minus 20 with a 64-bit header).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLEDEPENDENCIESATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLEDEPENDENCIESATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class SampleDependenciesAtom final
    : public QuickTimeAtomImpl<SampleDependenciesAtom, QuickTimeAtomStandardToFlags> {
 public:
  SampleDependenciesAtom() : QuickTimeAtomImpl(FourCC("sdtp")) {}

  const std::vector<uint8_t>& Dependencies() const { return dependencies_; }
  void SetDependencies(std::vector<uint8_t> d) { dependencies_ = std::move(d); }
  void AppendDependencies(const std::vector<uint8_t>& d) {
    dependencies_.insert(dependencies_.end(), d.begin(), d.end());
  }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "SampleDependenciesAtom"; }

 private:
  std::vector<uint8_t> dependencies_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLEDEPENDENCIESATOM_H_
