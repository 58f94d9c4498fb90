#include "quicktime64/TavroMediaUniqueIdAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

void TavroMediaUniqueIdAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "MUID: %s", HexBytes(payload_.data(), payload_.size()).c_str());
}

}  // namespace MavrelQuickTime64Atom
