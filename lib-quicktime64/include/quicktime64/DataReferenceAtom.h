// Where a track's sample data lives: a list of data references (full atoms of type `url `,
// `alis`, `rsrc` or `cios`; flag 1 means "in this file").
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_DATAREFERENCEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_DATAREFERENCEATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class DataReferenceAtom final
    : public QuickTimeAtomImpl<DataReferenceAtom, QuickTimeAtomStandardToFlags> {
 public:
  class DataReference final
      : public QuickTimeAtomImpl<DataReference, QuickTimeAtomStandardToFlags> {
   public:
    explicit DataReference(uint32_t type = FourCC("url ")) : QuickTimeAtomImpl(type) {}

    const std::vector<uint8_t>& Data() const { return data_; }
    void SetData(std::vector<uint8_t> data) { data_ = std::move(data); }

   protected:
    bool AcceptsType(uint32_t type) const override;
    uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
    uint64_t BodySize() const override;
    uint32_t WriteBody(FileBuffer& buffer) const override;
    void DumpBody(std::string& out, int depth) const override;

   private:
    std::vector<uint8_t> data_;
  };

  DataReferenceAtom() : QuickTimeAtomImpl(FourCC("dref")) {}

  const std::vector<DataReference>& References() const { return references_; }
  // Adds a self reference (`url ` with flag 1: the data is in this file).
  void AddSelfReference();

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "DataReferenceAtom"; }

 private:
  std::vector<DataReference> references_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_DATAREFERENCEATOM_H_
