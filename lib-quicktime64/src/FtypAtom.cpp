#include "quicktime64/FtypAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t FtypAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  majorBrand_ = in.U32();
  minorVersion_ = in.U32();
  if (!in.ok()) return kQTAtomMalformed;
  compatibleBrands_.clear();
  // Brands fill the rest of the atom; a partial brand at the end is ignored.
  compatibleBrands_.reserve(in.Remaining() / 4);
  while (in.Remaining() >= 4) compatibleBrands_.push_back(in.U32());
  return 0;
}

uint64_t FtypAtom::BodySize() const { return 8 + 4 * compatibleBrands_.size(); }

uint32_t FtypAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U32(majorBrand_);
  out.U32(minorVersion_);
  for (uint32_t brand : compatibleBrands_) out.U32(brand);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void FtypAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "MajorBrand: %s MinorVersion: %u", FourCCText(majorBrand_).c_str(),
       minorVersion_);
  std::string brands;
  for (uint32_t brand : compatibleBrands_) brands += FourCCText(brand) + " ";
  Line(out, depth, "CompatibleBrands: %s", brands.c_str());
}

}  // namespace MavrelQuickTime64Atom
