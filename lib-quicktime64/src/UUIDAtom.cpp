#include "quicktime64/UUIDAtom.h"

#include <cstdio>

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t UUIDAtom::ReadBody(FileBuffer& buffer, bool flag) {
  uint32_t result = PayloadAtom::ReadBody(buffer, flag);
  if (result != 0) return result;
  uuid_.clear();
  char hex[3];
  for (size_t i = 0; i < payload_.size() && i < 16; ++i) {
    snprintf(hex, sizeof hex, "%02x", payload_[i]);
    uuid_ += hex;
  }
  return 0;
}

void UUIDAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "UUID: %s", uuid_.c_str());
  PayloadAtom::DumpBody(out, depth);
}

}  // namespace MavrelQuickTime64Atom
