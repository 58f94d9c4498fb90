#include "quicktime64/TavroFirmwareAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

void TavroFirmwareAtom::DumpBody(std::string& out, int depth) const {
  std::string text(payload_.begin(), payload_.end());
  Line(out, depth, "FirmwareVersion: %s", text.c_str());
}

}  // namespace MavrelQuickTime64Atom
