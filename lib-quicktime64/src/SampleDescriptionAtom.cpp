#include "quicktime64/SampleDescriptionAtom.h"

#include "quicktime64/ByteStream.h"
#include "quicktime64/SoundSampleDescription.h"
#include "quicktime64/TavroMetadataSampleDescription.h"
#include "quicktime64/TextSampleDescription.h"
#include "quicktime64/TimeCodeSampleDescription.h"
#include "quicktime64/VideoSampleDescription.h"

namespace MavrelQuickTime64Atom {

namespace {

std::unique_ptr<SampleDescriptionCF> MakeDescription(uint32_t mediaType) {
  switch (mediaType) {
    case FourCC("vide"):
      return std::make_unique<VideoSampleDescription>();
    case FourCC("soun"):
      return std::make_unique<SoundSampleDescription>();
    case FourCC("tmcd"):
      return std::make_unique<TimeCodeSampleDescription>();
    case FourCC("text"):
      return std::make_unique<TextSampleDescription>();
    case FourCC("meta"):
      return std::make_unique<TavroMetadataSampleDescription>();
    default:
      return nullptr;
  }
}

// The smallest entry: size, format, reserved, data reference index.
constexpr uint64_t kMinimumEntry = 16;

}  // namespace

uint32_t SampleDescriptionAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  uint32_t count = in.U32();
  descriptions_.clear();
  if (!in.ok() || in.Remaining() / kMinimumEntry < count) return kQTAtomMalformed;
  buffer.Advance(in.Position());
  for (uint32_t i = 0; i < count; ++i) {
    std::unique_ptr<SampleDescriptionCF> description = MakeDescription(mediaType_);
    if (!description || description->Read(buffer) != 0) return kQTAtomMalformed;
    descriptions_.emplace_back(std::move(description));
  }
  return 0;
}

uint64_t SampleDescriptionAtom::BodySize() const {
  uint64_t size = kVersionAndFlagsSize + 4;
  for (const auto& d : descriptions_) size += d->Size();
  return size;
}

uint32_t SampleDescriptionAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U32(static_cast<uint32_t>(descriptions_.size()));
  buffer.Advance(out.Position());
  for (const auto& d : descriptions_) {
    uint32_t result = d->Write(buffer);
    if (result != 0) return result;
  }
  return 0;
}

void SampleDescriptionAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "NumberOfEntries: %zu MediaType: %s", descriptions_.size(),
       FourCCText(mediaType_).c_str());
  for (const auto& d : descriptions_) d->Cat(&out, depth + 1);
}

}  // namespace MavrelQuickTime64Atom
