#include "quicktime64/UserDataAtom.h"

#include <memory>

namespace MavrelQuickTime64Atom {

namespace {

// Reads a maker atom into `slot`; a second atom of the same type replaces the first.
template <class T>
uint32_t ReadMaker(FileBuffer& buffer, bool flag, Owned<T>* slot) {
  auto atom = std::make_unique<T>();
  uint32_t result = atom->Read(buffer, flag);
  if (result != 0) return result;
  *slot = std::move(atom);
  return 0;
}

}  // namespace

const UnparsedAtom* UserDataAtom::FindUnparsed(uint32_t type) const {
  auto it = unparsed_.find(type);
  return it != unparsed_.end() ? &it->second : nullptr;
}

std::vector<const QuickTimeAtom*> UserDataAtom::MakerAtoms() const {
  return {firmware_.get(),   zQMF_.get(),        cameraID_.get(),     cameraSettings_.get(),
          cameraLens_.get(), cameraLens2_.get(), cameraFOV_.get(),    cameraQURI_.get(),
          cameraQUSI_.get(), spotmarkTag_.get(), mediaUniqueId_.get()};
}

uint32_t UserDataAtom::ReadBody(FileBuffer& buffer, bool flag) {
  firmware_.reset();
  zQMF_.reset();
  cameraID_.reset();
  cameraSettings_.reset();
  cameraLens_.reset();
  cameraLens2_.reset();
  cameraFOV_.reset();
  cameraQURI_.reset();
  cameraQUSI_.reset();
  spotmarkTag_.reset();
  mediaUniqueId_.reset();
  unparsed_.clear();
  while (buffer.Remaining() >= 8) {
    uint32_t result = 0;
    switch (GetFourccOfCurrentAtom(buffer)) {
      case FourCC("FIRM"):
        result = ReadMaker(buffer, flag, &firmware_);
        break;
      case FourCC("ZQMF"):
        result = ReadMaker(buffer, flag, &zQMF_);
        break;
      case FourCC("CAME"):
        result = ReadMaker(buffer, flag, &cameraID_);
        break;
      case FourCC("SETT"):
        result = ReadMaker(buffer, flag, &cameraSettings_);
        break;
      case FourCC("Lens"):
        result = ReadMaker(buffer, flag, &cameraLens_);
        break;
      case FourCC("LENS"):
        result = ReadMaker(buffer, flag, &cameraLens2_);
        break;
      case FourCC("FOV\0"):
        result = ReadMaker(buffer, flag, &cameraFOV_);
        break;
      case FourCC("QURI"):
        result = ReadMaker(buffer, flag, &cameraQURI_);
        break;
      case FourCC("QUSI"):
        result = ReadMaker(buffer, flag, &cameraQUSI_);
        break;
      case FourCC("SMMT"):
        result = ReadMaker(buffer, flag, &spotmarkTag_);
        break;
      case FourCC("MUID"):
        result = ReadMaker(buffer, flag, &mediaUniqueId_);
        break;
      default: {
        UnparsedAtom other;
        result = other.Read(buffer, flag);
        if (result == kQTAtomZeroSize) return 0;  // a zero-size child ends the list
        if (result == 0) unparsed_.emplace(other.Type(), std::move(other));
        break;
      }
    }
    if (result != 0) return kQTAtomMalformed;
  }
  return 0;
}

uint64_t UserDataAtom::BodySize() const {
  uint64_t size = 0;
  for (const QuickTimeAtom* atom : MakerAtoms()) size += atom != nullptr ? atom->Size() : 0;
  for (const auto& entry : unparsed_) size += entry.second.Size();
  return size;
}

uint32_t UserDataAtom::WriteBody(FileBuffer& buffer) const {
  for (const QuickTimeAtom* atom : MakerAtoms()) {
    if (atom == nullptr) continue;
    uint32_t result = atom->Write(buffer);
    if (result != 0) return result;
  }
  for (const auto& entry : unparsed_) {
    uint32_t result = entry.second.Write(buffer);
    if (result != 0) return result;
  }
  return 0;
}

void UserDataAtom::DumpBody(std::string& out, int depth) const {
  for (const QuickTimeAtom* atom : MakerAtoms()) DumpChild(out, atom, depth);
  for (const auto& entry : unparsed_) DumpChild(out, &entry.second, depth);
}

}  // namespace MavrelQuickTime64Atom
