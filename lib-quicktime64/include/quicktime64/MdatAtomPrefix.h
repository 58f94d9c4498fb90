// The header of a media data atom, without its payload: the library never loads sample data
// into memory. Read takes only the header (the payload need not be in the buffer); Write
// writes only the header, sized for the declared payload; Size is the header's size.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MDATATOMPREFIX_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MDATATOMPREFIX_H_

#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

class MdatAtomPrefix final : public QuickTimeAtomImpl<MdatAtomPrefix, QuickTimeAtom> {
 public:
  MdatAtomPrefix() : QuickTimeAtomImpl(FourCC("mdat")) {}

  uint32_t Read(FileBuffer& buffer, bool flag) override;
  uint32_t Write(FileBuffer& buffer) const override;
  uint64_t Size() const override;
  using QuickTimeAtom::Read;

  uint64_t PayloadSize() const { return payloadSize_; }
  void SetPayloadSize(uint64_t n) { payloadSize_ = n; }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;

 private:
  uint64_t payloadSize_ = 0;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MDATATOMPREFIX_H_
