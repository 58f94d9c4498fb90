// Full atoms that continue with a creation and a modification time (seconds since
// 1904-01-01): 32 bits each in version 0, 64 bits in version 1.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEATOMSTANDARDTOMODIFICATIONTIME_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEATOMSTANDARDTOMODIFICATIONTIME_H_

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class QuickTimeAtomStandardToModificationTime : public QuickTimeAtomStandardToFlags {
 public:
  uint64_t CreationTime() const { return creationTime_; }
  uint64_t ModificationTime() const { return modificationTime_; }
  void SetCreationTime(uint64_t t) { creationTime_ = t; }
  void SetModificationTime(uint64_t t) { modificationTime_ = t; }

 protected:
  using QuickTimeAtomStandardToFlags::QuickTimeAtomStandardToFlags;

  // Version 1 stores times and durations in 64 bits; every other version uses 32.
  bool Wide() const { return version_ == 1; }
  uint64_t TimeFieldSize() const { return Wide() ? 8 : 4; }
  // Version, flags and both times.
  uint64_t PrefixSize() const { return kVersionAndFlagsSize + 2 * TimeFieldSize(); }
  void ReadPrefix(ByteReader& in);
  void WritePrefix(ByteWriter& out) const;
  void DumpPrefix(std::string& out, int depth) const;
  // A time or duration field of this atom's width.
  uint64_t ReadTime(ByteReader& in) const;
  void WriteTime(ByteWriter& out, uint64_t value) const;

  uint64_t creationTime_ = 0;
  uint64_t modificationTime_ = 0;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEATOMSTANDARDTOMODIFICATIONTIME_H_
