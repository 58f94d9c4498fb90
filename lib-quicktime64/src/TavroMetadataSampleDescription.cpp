#include "quicktime64/TavroMetadataSampleDescription.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t TavroMetadataSampleDescription::ReadFields(FileBuffer& buffer) {
  ByteReader in(buffer);
  return in.Bytes(&trailing_, in.Remaining()) ? 0 : kQTAtomMalformed;
}

uint32_t TavroMetadataSampleDescription::WriteFields(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.Bytes(trailing_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void TavroMetadataSampleDescription::DumpFields(std::string& out, int depth) const {
  if (!trailing_.empty()) Line(out, depth, "Extra: %zu bytes", trailing_.size());
}

}  // namespace MavrelQuickTime64Atom
