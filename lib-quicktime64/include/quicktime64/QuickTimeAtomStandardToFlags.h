// Full atoms: the header is followed by a version (uint8) and 24 bits of flags.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEATOMSTANDARDTOFLAGS_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEATOMSTANDARDTOFLAGS_H_

#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

class ByteReader;
class ByteWriter;

class QuickTimeAtomStandardToFlags : public QuickTimeAtom {
 public:
  uint8_t Version() const { return version_; }
  uint32_t Flags() const { return flags_; }
  void SetVersion(uint8_t version) { version_ = version; }
  void SetFlags(uint32_t flags) { flags_ = flags & 0xffffff; }

 protected:
  using QuickTimeAtom::QuickTimeAtom;
  static constexpr uint64_t kVersionAndFlagsSize = 4;

  void ReadVersionAndFlags(ByteReader& in);
  void WriteVersionAndFlags(ByteWriter& out) const;
  void DumpVersionAndFlags(std::string& out, int depth) const;

  uint8_t version_ = 0;
  uint32_t flags_ = 0;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEATOMSTANDARDTOFLAGS_H_
