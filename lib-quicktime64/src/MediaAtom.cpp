#include "quicktime64/MediaAtom.h"

#include "AtomChildren.h"
#include "quicktime64/BaseMediaInformationAtom.h"
#include "quicktime64/SoundMediaInformationAtom.h"
#include "quicktime64/VideoMediaInformationAtom.h"

namespace MavrelQuickTime64Atom {

std::unique_ptr<MediaInformationAtom> MediaAtom::MakeMediaInformation(uint32_t handlerSubtype) {
  std::unique_ptr<MediaInformationAtom> minf;
  switch (handlerSubtype) {
    case FourCC("vide"):
      minf = std::make_unique<VideoMediaInformationAtom>();
      break;
    case FourCC("soun"):
      minf = std::make_unique<SoundMediaInformationAtom>();
      break;
    case FourCC("tmcd"):
    case FourCC("text"):
    case FourCC("meta"):
      minf = std::make_unique<BaseMediaInformationAtom>();
      break;
    default:
      return nullptr;
  }
  minf->SetMediaType(handlerSubtype);
  return minf;
}

void MediaAtom::SetMediaInformation(std::unique_ptr<MediaInformationAtom> minf) {
  if (minf) minf->SetMediaType(HandlerSubtype());
  minf_ = std::move(minf);
}

uint32_t MediaAtom::ReadBody(FileBuffer& buffer, bool flag) {
  size_t first = buffer.Cursor();
  minf_.reset();
  uint32_t result = ReadRequiredChild(buffer, first, FourCC("mdhd"), &mdhd_, flag);
  if (result == 0) result = ReadOptionalChild(buffer, first, FourCC("hdlr"), &hdlr_, flag);
  if (result != 0 || !hdlr_) return result;
  std::unique_ptr<MediaInformationAtom> minf = MakeMediaInformation(hdlr_->ComponentSubtype());
  if (!minf) return 0;
  buffer.SetCursor(first);
  if (Find(buffer, FourCC("minf"), buffer.Remaining()) != 0) return 0;
  if (minf->Read(buffer, flag) != 0) return kQTAtomMalformed;
  minf_ = std::move(minf);
  return 0;
}

uint64_t MediaAtom::BodySize() const {
  return mdhd_.Size() + (hdlr_ ? hdlr_->Size() : 0) + (minf_ ? minf_->Size() : 0);
}

uint32_t MediaAtom::WriteBody(FileBuffer& buffer) const {
  uint32_t result = mdhd_.Write(buffer);
  if (result == 0 && hdlr_) result = hdlr_->Write(buffer);
  if (result == 0 && minf_) result = minf_->Write(buffer);
  return result;
}

void MediaAtom::DumpBody(std::string& out, int depth) const {
  DumpChild(out, &mdhd_, depth);
  DumpChild(out, hdlr_.get(), depth);
  DumpChild(out, minf_.get(), depth);
}

}  // namespace MavrelQuickTime64Atom
