// Atoms whose body is kept as bytes: unknown atoms, decoder configurations, the maker's
// user-data atoms. The payload is the whole body after the header.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_PAYLOADATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_PAYLOADATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

class PayloadAtom : public QuickTimeAtom {
 public:
  const std::vector<uint8_t>& Payload() const { return payload_; }
  uint32_t PayloadLength() const { return static_cast<uint32_t>(payload_.size()); }
  void SetPayload(std::vector<uint8_t> payload) { payload_ = std::move(payload); }

 protected:
  using QuickTimeAtom::QuickTimeAtom;

  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override { return payload_.size(); }
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;

  std::vector<uint8_t> payload_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_PAYLOADATOM_H_
