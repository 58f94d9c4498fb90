#include "quicktime64/MovieAtom.h"

#include "quicktime64/ByteStream.h"
#include "zqcommon/zqByteOrder.h"

namespace MavrelQuickTime64Atom {

namespace {

// The payload of the first child of type `type` among the atoms in [data, data + size).
bool FindChild(const uint8_t* data, uint64_t size, uint32_t type, const uint8_t** child,
               uint64_t* childSize) {
  while (size >= 8) {
    QuickTimeAtom::Header h = {};
    if (QuickTimeAtom::ParseHeader(data, size, &h) != 0 || h.size < h.headerSize || h.size > size) {
      return false;
    }
    if (h.type == type) {
      *child = data + h.headerSize;
      *childSize = h.size - h.headerSize;
      return true;
    }
    data += h.size;
    size -= h.size;
  }
  return false;
}

// The handler subtype and first sample format of the `trak` payload [data, data + size).
void PeekTrack(const uint8_t* data, uint64_t size, uint32_t* handler, uint32_t* format) {
  const uint8_t *mdia = nullptr, *hdlr = nullptr, *minf = nullptr, *stbl = nullptr, *stsd = nullptr;
  uint64_t mdiaSize = 0, hdlrSize = 0, minfSize = 0, stblSize = 0, stsdSize = 0;
  if (!FindChild(data, size, FourCC("mdia"), &mdia, &mdiaSize)) return;
  // hdlr: version and flags, component type, then the subtype.
  if (FindChild(mdia, mdiaSize, FourCC("hdlr"), &hdlr, &hdlrSize) && hdlrSize >= 12)
    *handler = zq_load_be32(hdlr + 8);
  // stsd: version and flags, entry count, then the first entry's size and format.
  if (FindChild(mdia, mdiaSize, FourCC("minf"), &minf, &minfSize) &&
      FindChild(minf, minfSize, FourCC("stbl"), &stbl, &stblSize) &&
      FindChild(stbl, stblSize, FourCC("stsd"), &stsd, &stsdSize) && stsdSize >= 16 &&
      zq_load_be32(stsd + 4) > 0) {
    *format = zq_load_be32(stsd + 12);
  }
}

}  // namespace

TrackAtom* MovieAtom::GetTrack(uint32_t index) {
  return index < tracks_.size() ? &tracks_[index] : nullptr;
}

uint32_t MovieAtom::ReadBody(FileBuffer& buffer, bool onlyMetadataTracks) {
  tracks_.clear();
  unparsed_.clear();
  udta_.reset();
  mvhd_ = MovieHeaderAtom();
  skippedHandler_ = 0;
  skippedFormat_ = 0;
  bool skippedFirstTrack = false;
  while (buffer.Remaining() >= 8) {
    uint32_t type = GetFourccOfCurrentAtom(buffer);
    if (type == FourCC("trak")) {
      if (onlyMetadataTracks && !skippedFirstTrack) {
        // The first track of a camera recording is its video: not wanted here, and not worth
        // parsing.
        skippedFirstTrack = true;
        Header header = {};
        if (ParseHeader(buffer.Current(), buffer.Remaining(), &header) != 0) {
          return kQTAtomMalformed;
        }
        if (header.size >= header.headerSize && header.size <= buffer.Remaining()) {
          PeekTrack(buffer.Current() + header.headerSize, header.size - header.headerSize,
                    &skippedHandler_, &skippedFormat_);
        }
        buffer.Advance(header.size);
        continue;
      }
      TrackAtom track;
      if (track.Read(buffer, false) != 0) return kQTAtomMalformed;
      if (!onlyMetadataTracks || track.HandlerSubtype() == FourCC("meta")) {
        tracks_.push_back(std::move(track));
      }
    } else if (type == FourCC("udta")) {
      auto udta = std::make_unique<UserDataAtom>();
      if (udta->Read(buffer, false) != 0) return kQTAtomMalformed;
      udta_ = std::move(udta);
    } else if (type == FourCC("mvhd")) {
      if (mvhd_.Read(buffer, false) != 0) return kQTAtomMalformed;
    } else {
      UnparsedAtom other;
      uint32_t result = other.Read(buffer, false);
      if (result == kQTAtomZeroSize) break;  // a zero-size child ends the movie
      if (result != 0) return kQTAtomMalformed;
      unparsed_.emplace(other.Type(), std::move(other));
    }
  }
  return tracks_.empty() ? kQTAtomMalformed : 0;
}

uint64_t MovieAtom::BodySize() const {
  uint64_t size = mvhd_.Size() + (udta_ ? udta_->Size() : 0);
  for (const auto& track : tracks_) size += track.Size();
  for (const auto& entry : unparsed_) size += entry.second.Size();
  return size;
}

uint32_t MovieAtom::WriteBody(FileBuffer& buffer) const {
  uint32_t result = mvhd_.Write(buffer);
  for (const auto& track : tracks_) {
    if (result == 0) result = track.Write(buffer);
  }
  if (result == 0 && udta_) result = udta_->Write(buffer);
  for (const auto& entry : unparsed_) {
    if (result == 0) result = entry.second.Write(buffer);
  }
  return result;
}

void MovieAtom::DumpBody(std::string& out, int depth) const {
  DumpChild(out, &mvhd_, depth);
  for (const auto& track : tracks_) DumpChild(out, &track, depth);
  DumpChild(out, udta_.get(), depth);
  for (const auto& entry : unparsed_) DumpChild(out, &entry.second, depth);
}

uint32_t MovieAtom::GetTrackIndexOfKind(uint32_t subtype, uint32_t ordinal,
                                        uint32_t* trackIndex) const {
  if (trackIndex == nullptr) return kQTLookupOutOfRange;
  uint32_t seen = 0;
  for (uint32_t i = 0; i < tracks_.size(); ++i) {
    if (tracks_[i].HandlerSubtype() != subtype) continue;
    if (seen++ == ordinal) {
      *trackIndex = i;
      return 0;
    }
  }
  return kQTLookupOutOfRange;
}

uint32_t MovieAtom::CountTracksOfKind(uint32_t subtype) const {
  uint32_t n = 0;
  for (const auto& track : tracks_) n += track.HandlerSubtype() == subtype ? 1 : 0;
  return n;
}

uint32_t MovieAtom::MediaOfKind(uint32_t subtype, uint32_t ordinal, uint32_t missing,
                                MediaInformationAtom** minf) const {
  uint32_t index = 0;
  if (GetTrackIndexOfKind(subtype, ordinal, &index) != 0) return missing;
  *minf = tracks_[index].GetMediaInformation();
  return *minf != nullptr ? 0 : kQTLookupAbsent;
}

uint32_t MovieAtom::GetVideoSampleRetrievalInformationFromSampleIndex(uint32_t videoTrack,
                                                                      uint32_t index,
                                                                      uint64_t* fileOffset,
                                                                      uint32_t* sampleSize) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = MediaOfKind(FourCC("vide"), videoTrack, kQTLookupOutOfRange, &minf);
  if (result != 0) return result;
  return minf->GetVideoSampleRetrievalInformationFromSampleIndex(index, fileOffset, sampleSize);
}

uint32_t MovieAtom::GetVideoSampleRetrievalInformationFromSampleTime(uint32_t videoTrack,
                                                                     int64_t time,
                                                                     uint64_t* fileOffset,
                                                                     uint32_t* sampleSize) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = MediaOfKind(FourCC("vide"), videoTrack, kQTLookupOutOfRange, &minf);
  if (result != 0) return result;
  return minf->GetVideoSampleRetrievalInformationFromSampleTime(time, fileOffset, sampleSize);
}

uint32_t MovieAtom::IsKeyFrame(uint32_t videoTrack, uint32_t index, bool* isKey) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = MediaOfKind(FourCC("vide"), videoTrack, kQTLookupOutOfRange, &minf);
  if (result != 0) return result;
  return minf->IsKeyFrame(index, isKey);
}

uint32_t MovieAtom::GetTextSampleRetrievalInformationFromSampleIndex(uint32_t textTrack,
                                                                     uint32_t index,
                                                                     uint64_t* fileOffset,
                                                                     uint32_t* sampleSize) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = MediaOfKind(FourCC("text"), textTrack, kQTLookupOutOfRange, &minf);
  if (result != 0) return result;
  return minf->GetTextSampleRetrievalInformationFromSampleIndex(index, fileOffset, sampleSize);
}

uint32_t MovieAtom::GetTavroMetadataSampleRetrievalInformationFromSampleIndex(
    uint32_t metaIndex, uint32_t index, uint64_t* fileOffset, uint32_t* sampleSize) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = MediaOfKind(FourCC("meta"), metaIndex, kQTLookupAbsent, &minf);
  if (result != 0) return result;
  return minf->GetTavroMetadataSampleRetrievalInformationFromSampleIndex(index, fileOffset,
                                                                         sampleSize);
}

uint32_t MovieAtom::MapAudioTrackIndexToGlobalTrackIndex(uint32_t audioIndex,
                                                         uint32_t* trackIndex) const {
  return GetTrackIndexOfKind(FourCC("soun"), audioIndex, trackIndex);
}

uint32_t MovieAtom::GetAudioSampleRetrievalInformationFromSampleIndex(uint32_t audioTrack,
                                                                      uint32_t index,
                                                                      uint64_t* fileOffset,
                                                                      uint32_t* size) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = MediaOfKind(FourCC("soun"), audioTrack, kQTLookupOutOfRange, &minf);
  if (result != 0) return result;
  return minf->GetAudioSampleRetrievalInformationFromSampleIndex(index, fileOffset, size);
}

uint32_t MovieAtom::GetAudioFrameRetrievalInformationFromChunkIndex(
    uint32_t audioTrack, uint32_t chunkIndex, uint64_t* chunkOffset, uint64_t* chunkBytes,
    uint32_t* samplesInChunk, std::vector<uint32_t>* sampleSizes) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = MediaOfKind(FourCC("soun"), audioTrack, kQTLookupOutOfRange, &minf);
  if (result != 0) return result;
  return minf->GetAudioFrameRetrievalInformationFromChunkIndex(chunkIndex, chunkOffset, chunkBytes,
                                                               samplesInChunk, sampleSizes);
}

uint32_t MovieAtom::GetTavroMetadataTrackIndices(const std::string& name,
                                                 std::vector<uint32_t>* indices) {
  if (indices == nullptr) return kQTLookupOutOfRange;
  indices->clear();
  uint32_t ordinal = 0;
  for (const auto& track : tracks_) {
    if (track.HandlerSubtype() != FourCC("meta")) continue;
    if (track.HandlerName().substr(0, 511).find(name) != std::string::npos) {
      indices->push_back(ordinal);
    }
    ++ordinal;
  }
  return 0;
}

uint32_t MovieAtom::GetTavroMetadataNumberOfSamples(uint32_t metaIndex, uint32_t* count) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = MediaOfKind(FourCC("meta"), metaIndex, kQTLookupAbsent, &minf);
  if (result != 0) return result;
  return minf->GetNumberOfSamples(count);
}

uint32_t MovieAtom::GetTavroMetadataFrameRate(uint32_t metaIndex, uint32_t* sampleDuration,
                                              uint32_t* timeScale) {
  if (sampleDuration == nullptr || timeScale == nullptr) return kQTLookupOutOfRange;
  uint32_t index = 0;
  if (GetTrackIndexOfKind(FourCC("meta"), metaIndex, &index) != 0) return kQTLookupAbsent;
  const TrackAtom& track = tracks_[index];
  MediaInformationAtom* minf = track.GetMediaInformation();
  uint32_t samples = 0;
  if (minf == nullptr || minf->GetNumberOfSamples(&samples) != 0 || samples == 0) {
    return kQTLookupAbsent;
  }
  const MediaHeaderAtom& mdhd = track.GetMedia().GetMediaHeader();
  *sampleDuration = static_cast<uint32_t>(mdhd.Duration() / samples);
  *timeScale = mdhd.TimeScale();
  return 0;
}

uint32_t MovieAtom::GetTavroMetadataMediaStart(uint32_t metaIndex, int64_t* start) {
  if (start == nullptr) return kQTLookupOutOfRange;
  *start = 0;
  uint32_t index = 0;
  if (GetTrackIndexOfKind(FourCC("meta"), metaIndex, &index) != 0) return kQTLookupAbsent;
  EditAtom* edts = tracks_[index].GetEdit();
  if (edts == nullptr) return 0;
  EditListAtom* elst = edts->GetEditList();
  if (elst == nullptr) return kQTLookupAbsent;
  const auto& entries = elst->Entries();
  if (entries.empty()) return kQTLookupOutOfRange;
  int64_t first = entries[0].MediaTime();
  if (first == -1) {
    // An empty edit delays the media; its start is in the next entry. Two empty edits in a
    // row leave nothing to start from: 0.
    first = entries.size() > 1 && entries[1].MediaTime() != -1 ? entries[1].MediaTime() : 0;
  }
  *start = first;
  return 0;
}

uint32_t MovieAtom::GetTavroMetadataContentsOfTimeToSampleTable(
    uint32_t metaIndex, std::vector<TimeToSampleAtom::TimeToSampleTableEntry>* entries) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = MediaOfKind(FourCC("meta"), metaIndex, kQTLookupAbsent, &minf);
  if (result != 0) return result;
  return minf->GetContentsOfTimeToSampleTable(entries);
}

uint32_t MovieAtom::GetVideoTimeCodeTrackIndex(uint32_t* trackIndex) const {
  if (trackIndex == nullptr) return kQTLookupOutOfRange;
  uint32_t video = 0;
  if (GetTrackIndexOfKind(FourCC("vide"), 0, &video) != 0) return kQTLookupOutOfRange;
  TrackReferenceAtom* tref = tracks_[video].GetTrackReference();
  const TrackReferenceAtom::TrackReferenceTypeAtom* tmcd =
      tref != nullptr ? tref->FindReference(FourCC("tmcd")) : nullptr;
  if (tmcd == nullptr || tmcd->TrackIDs().empty()) return kQTLookupAbsent;
  // Track IDs are taken as 1-based positions in the track list.
  uint32_t id = tmcd->TrackIDs().front();
  if (id == 0 || id > tracks_.size()) return kQTLookupOutOfRange;
  *trackIndex = id - 1;
  return 0;
}

uint32_t MovieAtom::TimeCodeMedia(MediaInformationAtom** minf) const {
  uint32_t index = 0;
  uint32_t result = GetVideoTimeCodeTrackIndex(&index);
  if (result != 0) return result;
  *minf = tracks_[index].GetMediaInformation();
  return *minf != nullptr ? 0 : kQTLookupAbsent;
}

uint32_t MovieAtom::GetTimeCodeTimeScale(uint32_t* timeScale) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = TimeCodeMedia(&minf);
  return result != 0 ? result : minf->GetTimeCodeTimeScale(timeScale);
}

uint32_t MovieAtom::GetTimeCodeFrameDuration(uint32_t* frameDuration) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = TimeCodeMedia(&minf);
  return result != 0 ? result : minf->GetTimeCodeFrameDuration(frameDuration);
}

uint32_t MovieAtom::GetTimeCodeNumberOfRealFramesPerSecond(uint8_t* framesPerSecond) {
  MediaInformationAtom* minf = nullptr;
  uint32_t result = TimeCodeMedia(&minf);
  return result != 0 ? result : minf->GetTimeCodeNumberOfRealFramesPerSecond(framesPerSecond);
}

}  // namespace MavrelQuickTime64Atom
