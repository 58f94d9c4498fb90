// The sample description of the camera's telemetry (metadata) track: data format `zqmd` and
// only the common fields. Any bytes after them are kept as they are.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROMETADATASAMPLEDESCRIPTION_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROMETADATASAMPLEDESCRIPTION_H_

#include <vector>

#include "quicktime64/SampleDescriptionCF.h"

namespace MavrelQuickTime64Atom {

class TavroMetadataSampleDescription final
    : public SampleDescriptionImpl<TavroMetadataSampleDescription> {
 public:
  TavroMetadataSampleDescription() : SampleDescriptionImpl(FourCC("zqmd")) {}

 protected:
  uint32_t ReadFields(FileBuffer& buffer) override;
  uint64_t FieldsSize() const override { return trailing_.size(); }
  uint32_t WriteFields(FileBuffer& buffer) const override;
  void DumpFields(std::string& out, int depth) const override;
  std::string Label() const override { return "TavroMetadataSampleDescription"; }

 private:
  std::vector<uint8_t> trailing_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROMETADATASAMPLEDESCRIPTION_H_
