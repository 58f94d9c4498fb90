// The sample description table: how the samples of a track are coded. The class of each
// entry follows the media's handler subtype (`vide`, `soun`, `tmcd`, `text`, `meta`), which
// the owner sets before reading; any other subtype cannot be read (kQTAtomMalformed).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLEDESCRIPTIONATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLEDESCRIPTIONATOM_H_

#include <vector>

#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtomStandardToFlags.h"
#include "quicktime64/SampleDescriptionCF.h"

namespace MavrelQuickTime64Atom {

class SampleDescriptionAtom final
    : public QuickTimeAtomImpl<SampleDescriptionAtom, QuickTimeAtomStandardToFlags> {
 public:
  SampleDescriptionAtom() : QuickTimeAtomImpl(FourCC("stsd")) {}

  uint32_t MediaType() const { return mediaType_; }
  void SetMediaType(uint32_t handlerSubtype) { mediaType_ = handlerSubtype; }
  const std::vector<Owned<SampleDescriptionCF>>& Descriptions() const { return descriptions_; }
  uint32_t GetNumberOfEntries() const { return static_cast<uint32_t>(descriptions_.size()); }
  // The first entry, or null.
  SampleDescriptionCF* First() const {
    return descriptions_.empty() ? nullptr : descriptions_.front().get();
  }
  void AddDescription(std::unique_ptr<SampleDescriptionCF> description) {
    descriptions_.emplace_back(std::move(description));
  }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "SampleDescriptionAtom"; }

 private:
  uint32_t mediaType_ = 0;
  std::vector<Owned<SampleDescriptionCF>> descriptions_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLEDESCRIPTIONATOM_H_
