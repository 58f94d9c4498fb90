#include "quicktime64/QuickTimeAtomStandardToModificationTime.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint64_t QuickTimeAtomStandardToModificationTime::ReadTime(ByteReader& in) const {
  return Wide() ? in.U64() : in.U32();
}

void QuickTimeAtomStandardToModificationTime::WriteTime(ByteWriter& out, uint64_t value) const {
  if (Wide()) {
    out.U64(value);
  } else {
    out.U32(static_cast<uint32_t>(value));
  }
}

void QuickTimeAtomStandardToModificationTime::ReadPrefix(ByteReader& in) {
  ReadVersionAndFlags(in);
  creationTime_ = ReadTime(in);
  modificationTime_ = ReadTime(in);
}

void QuickTimeAtomStandardToModificationTime::WritePrefix(ByteWriter& out) const {
  WriteVersionAndFlags(out);
  WriteTime(out, creationTime_);
  WriteTime(out, modificationTime_);
}

void QuickTimeAtomStandardToModificationTime::DumpPrefix(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "CreationTime: %llu ModificationTime: %llu",
       static_cast<unsigned long long>(creationTime_),
       static_cast<unsigned long long>(modificationTime_));
}

}  // namespace MavrelQuickTime64Atom
