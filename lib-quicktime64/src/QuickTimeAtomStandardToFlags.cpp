#include "quicktime64/QuickTimeAtomStandardToFlags.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

void QuickTimeAtomStandardToFlags::ReadVersionAndFlags(ByteReader& in) {
  version_ = in.U8();
  flags_ = in.U24();
}

void QuickTimeAtomStandardToFlags::WriteVersionAndFlags(ByteWriter& out) const {
  out.U8(version_);
  out.U24(flags_);
}

void QuickTimeAtomStandardToFlags::DumpVersionAndFlags(std::string& out, int depth) const {
  Line(out, depth, "Version: %u Flags: 0x%06x", version_, flags_);
}

}  // namespace MavrelQuickTime64Atom
