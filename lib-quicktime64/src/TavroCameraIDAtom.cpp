#include "quicktime64/TavroCameraIDAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

void TavroCameraIDAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "Camera ID: %s", HexBytes(payload_.data(), payload_.size()).c_str());
}

}  // namespace MavrelQuickTime64Atom
