#include "quicktime64/CGIBinWriter.h"

#include <algorithm>
#include <ctime>

#include "quicktime64/ByteStream.h"
#include "quicktime64/FreeAtom.h"
#include "quicktime64/TimeCodeSampleDescription.h"
#include "quicktime64/VideoSampleDescription.h"

using MavrelQuickTime64Atom::ByteWriter;
using MavrelQuickTime64Atom::EditListAtom;
using MavrelQuickTime64Atom::FreeAtom;
using MavrelQuickTime64Atom::FtypAtom;
using MavrelQuickTime64Atom::MediaInformationAtom;
using MavrelQuickTime64Atom::SampleTableAtom;
using MavrelQuickTime64Atom::TimeCodeSampleDescription;
using MavrelQuickTime64Atom::TimeToSampleAtom;
using MavrelQuickTime64Atom::TrackAtom;
using MavrelQuickTime64Atom::VideoSampleDescription;

namespace {

constexpr uint32_t kNotReady = kQTWriterBit;
constexpr uint32_t kNoRoom = kQTWriterBit | 1;
constexpr uint32_t kNoMediaInformation = kQTWriterBit | 2;
constexpr uint32_t kEditListInUse = kQTWriterBit | 8;
constexpr uint32_t kTimeCodeTables = kQTWriterBit | 0xa;
constexpr uint32_t kNotFinalized = 3;
constexpr uint32_t kNullArgument = 4;
constexpr uint32_t kMediaRateOne = 0x10000;
// Seconds from 1904-01-01 to 1970-01-01.
constexpr uint64_t kEpoch1904 = 2082844800;

// x + 0.5 truncated to an unsigned integer; negative values give 0.
uint64_t Round(double x) { return x <= 0 ? 0 : static_cast<uint64_t>(x + 0.5); }
uint64_t Truncate(double x) { return x <= 0 ? 0 : static_cast<uint64_t>(x); }

// The mdat header size for a payload: 16 bytes once payload + 8 does not fit 32 bits.
uint64_t MdatHeaderSize(uint64_t payload) { return payload > 0xffffffffull - 8 ? 16 : 8; }

uint64_t Now1904() {
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  return static_cast<uint64_t>(now + local.tm_gmtoff) + kEpoch1904;
}

uint32_t SampleCount(MediaInformationAtom* minf) {
  uint32_t n = 0;
  return minf->GetNumberOfSamples(&n) == 0 ? n : 0;
}

// A fresh edit list with one entry; kEditListInUse when the track already has entries.
uint32_t SetSingleEdit(TrackAtom& track, uint64_t duration, int64_t mediaTime) {
  EditListAtom& elst = track.EnsureEdit().EnsureEditList();
  if (elst.GetNumberOfEntries() != 0) return kEditListInUse;
  elst.AddEntry(EditListAtom::EditListTableEntry(duration, mediaTime, kMediaRateOne));
  return 0;
}

}  // namespace

template <class StreamWriter>
CGIBinWriter<StreamWriter>::CGIBinWriter(FileIOAllocator* allocator, FileIO* destination)
    : allocator_(allocator) {
  stream_.SetExplicitFilePointer(destination);
  uint64_t now = Now1904();
  movie_.GetMovieHeader().SetCreationTime(now);
  movie_.GetMovieHeader().SetModificationTime(now);
  movie_.GetMovieHeader().SetNextTrackID(1);
}

template <class StreamWriter>
CGIBinWriter<StreamWriter>::~CGIBinWriter() = default;

template <class StreamWriter>
TrackAtom* CGIBinWriter<StreamWriter>::AddTrackFrom(const TrackAtom& model) {
  MediaInformationAtom* minf = model.GetMediaInformation();
  if (minf == nullptr || minf->GetSampleTable() == nullptr) return nullptr;
  TrackAtom track = model;
  track.RemoveEdit();
  track.RemoveTrackReference();
  uint32_t id = movie_.GetNumberOfTracks() + 1;
  track.GetTrackHeader().SetTrackID(id);
  track.GetTrackHeader().SetDuration(0);
  track.GetMedia().GetMediaHeader().SetDuration(0);
  track.GetMediaInformation()->GetSampleTable()->ClearSampleLayout();
  movie_.AddTrack(std::move(track));
  movie_.GetMovieHeader().SetNextTrackID(id + 1);
  return movie_.GetTrack(id - 1);
}

template <class StreamWriter>
SampleTableAtom* CGIBinWriter<StreamWriter>::TableOf(uint32_t trackIndex) const {
  const auto& tracks = movie_.Tracks();
  if (trackIndex >= tracks.size()) return nullptr;
  MediaInformationAtom* minf = tracks[trackIndex].GetMediaInformation();
  return minf != nullptr ? minf->GetSampleTable() : nullptr;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::CreateVideoTrack(const TrackAtom& model,
                                                      const std::string& compressorName,
                                                      const std::string& handlerName,
                                                      uint32_t* trackIndex) {
  if (!initialised_ || finalized_ || videoCreated_) return kNotReady;
  if (model.HandlerSubtype() != FourCC("vide")) return kNotReady;
  TrackAtom* track = AddTrackFrom(model);
  if (track == nullptr) return kNoMediaInformation;
  if (!handlerName.empty())
    track->GetMedia().EnsureHandlerReference().SetComponentName(handlerName);
  auto* video = dynamic_cast<VideoSampleDescription*>(
      track->GetMediaInformation()->GetSampleTable()->GetSampleDescriptionAtom().First());
  if (video != nullptr && !compressorName.empty()) video->SetCompressorName(compressorName);
  videoTrack_ = movie_.GetNumberOfTracks() - 1;
  videoCreated_ = true;
  if (trackIndex != nullptr) *trackIndex = videoTrack_;
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::CreateAudioTrack(const TrackAtom& model,
                                                      uint32_t* audioTrack) {
  if (!initialised_ || finalized_) return kNotReady;
  if (model.HandlerSubtype() != FourCC("soun")) return kNotReady;
  if (AddTrackFrom(model) == nullptr) return kNoMediaInformation;
  audioTracks_.push_back(movie_.GetNumberOfTracks() - 1);
  audioCreated_ = true;
  if (audioTrack != nullptr) *audioTrack = static_cast<uint32_t>(audioTracks_.size() - 1);
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::CreateTavroMetadataTrack(const TrackAtom& model,
                                                              const std::string& handlerName) {
  if (!initialised_ || finalized_ || metadataCreated_) return kNotReady;
  if (model.HandlerSubtype() != FourCC("meta") || handlerName.empty()) return kNotReady;
  TrackAtom* track = AddTrackFrom(model);
  if (track == nullptr) return kNoMediaInformation;
  track->GetMedia().EnsureHandlerReference().SetComponentName(handlerName);
  metadataCreated_ = true;
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::PrepareWriterForVideoTimeCode(const TrackAtom& model) {
  if (!initialised_ || finalized_ || !videoCreated_ || timeCodeCreated_) return kNotReady;
  if (model.HandlerSubtype() != FourCC("tmcd")) return kNotReady;
  TrackAtom* track = AddTrackFrom(model);
  if (track == nullptr) return kNoMediaInformation;
  timeCodeTrack_ = movie_.GetNumberOfTracks() - 1;
  uint32_t id = track->GetTrackHeader().TrackID();
  movie_.GetTrack(videoTrack_)->EnsureTrackReference().AddReference(FourCC("tmcd"), id);
  timeCodeCreated_ = true;
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::AppendChunk(uint32_t trackIndex, uint64_t fileOffset,
                                                 const std::vector<uint32_t>& sizes,
                                                 uint32_t duration) {
  SampleTableAtom* stbl = TableOf(trackIndex);
  if (stbl == nullptr) return kNoMediaInformation;
  uint32_t result = stbl->AppendChunk(fileOffset, sizes, duration);
  return result == 0 ? 0 : QTWriterResult(result);
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::SetVideoSampleRetrievalInformation(uint64_t fileOffset,
                                                                        uint32_t sampleSize,
                                                                        uint32_t sampleDuration) {
  if (!initialised_ || finalized_ || !videoCreated_) return kNotReady;
  uint32_t duration =
      defaultVideoSampleDuration_ != 0 ? defaultVideoSampleDuration_ : sampleDuration;
  if (duration == 0) return kNotReady;
  return AppendChunk(videoTrack_, fileOffset, {sampleSize}, duration);
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::SetCompressedAudioChunkRetrievalInformation(
    uint32_t audioTrack, uint64_t fileOffset, uint32_t sampleDuration,
    const std::vector<uint32_t>& sampleSizes) {
  if (!initialised_ || finalized_ || !audioCreated_) return kNotReady;
  if (audioTrack >= audioTracks_.size() || sampleDuration == 0) return kNotReady;
  return AppendChunk(audioTracks_[audioTrack], fileOffset, sampleSizes, sampleDuration);
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::SetCompressedAudioChunkRetrievalInformation(
    uint32_t audioTrack, uint64_t fileOffset, uint32_t sampleSize, uint32_t sampleDuration) {
  return SetCompressedAudioChunkRetrievalInformation(audioTrack, fileOffset, sampleDuration,
                                                     std::vector<uint32_t>{sampleSize});
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::MetadataTrackIndex(uint32_t* trackIndex) const {
  uint32_t found = 0;
  const auto& tracks = movie_.Tracks();
  for (uint32_t i = 0; i < tracks.size(); ++i) {
    if (tracks[i].HandlerSubtype() == FourCC("meta") &&
        tracks[i].HandlerName().find(TavroMetadataTelemetryComponentName) != std::string::npos) {
      *trackIndex = i;
      ++found;
    }
  }
  return found == 1 ? 0 : kNotFinalized;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::SetTavroMetadataTelemetrySampleRetrievalInformation(
    uint64_t fileOffset, uint32_t sampleSize, uint32_t sampleDuration) {
  if (!initialised_ || finalized_ || !metadataCreated_) return kNotReady;
  uint32_t index = 0;
  if (MetadataTrackIndex(&index) != 0) return kNotFinalized;
  uint32_t duration =
      defaultMetadataSampleDuration_ != 0 ? defaultMetadataSampleDuration_ : sampleDuration;
  if (duration == 0) return kNotReady;
  return AppendChunk(index, fileOffset, {sampleSize}, duration);
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::SetVideoTimeCode(uint64_t fileOffset,
                                                      const QuickTime64TimeCodeRecord* record) {
  if (record == nullptr) return kNullArgument;
  if (!initialised_ || finalized_ || !timeCodeCreated_ || timeCodeDeclared_) return kNotReady;
  SampleTableAtom* stbl = TableOf(timeCodeTrack_);
  auto* description =
      stbl != nullptr
          ? dynamic_cast<TimeCodeSampleDescription*>(stbl->GetSampleDescriptionAtom().First())
          : nullptr;
  if (description == nullptr) return QTReaderResult(0xa);
  // The sample's duration is set when the movie is finalised.
  uint32_t result = AppendChunk(timeCodeTrack_, fileOffset, {4}, 1);
  if (result != 0) return result;
  description->SetReelName(record->reelName);
  timeCodeDeclared_ = true;
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::FinalizeVideo(double videoStart, double maximumDuration) {
  uint64_t frameDuration = videoFrameDuration_;
  double scale = videoTimeScale_;
  for (TrackAtom& track : movie_.Tracks()) {
    if (track.HandlerSubtype() != FourCC("vide")) continue;
    MediaInformationAtom* minf = track.GetMediaInformation();
    if (minf == nullptr) return kNoMediaInformation;
    uint64_t mediaDuration = frameDuration * SampleCount(minf);
    uint64_t trackDuration = mediaDuration;
    if (maximumDuration > 0 && maximumDuration * scale < static_cast<double>(trackDuration)) {
      trackDuration = Truncate(maximumDuration * scale);
    }
    int64_t mediaTime = 0;
    if (videoStart != 0) {
      mediaTime = static_cast<int64_t>(Round(videoStart * scale));
      uint64_t start = static_cast<uint64_t>(mediaTime);
      if (maximumDuration <= 0 && trackDuration > start) trackDuration -= start;
    }
    uint32_t result = SetSingleEdit(track, trackDuration, mediaTime);
    if (result != 0) return result;
    track.GetTrackHeader().SetDuration(trackDuration);
    track.GetMedia().GetMediaHeader().SetTimeScale(videoTimeScale_);
    track.GetMedia().GetMediaHeader().SetDuration(mediaDuration);
  }
  auto& mvhd = movie_.GetMovieHeader();
  mvhd.SetTimeScale(videoTimeScale_);
  MediaInformationAtom* minf = movie_.GetTrack(videoTrack_)->GetMediaInformation();
  uint64_t movieDuration = frameDuration * SampleCount(minf);
  uint64_t start = Truncate(videoStart * scale);
  if (movieDuration > start) movieDuration -= start;
  if (maximumDuration > 0)
    movieDuration = std::min(movieDuration, Truncate(maximumDuration * scale));
  mvhd.SetDuration(movieDuration);
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::FinalizeAudio(double audioStart, double maximumDuration) {
  auto& mvhd = movie_.GetMovieHeader();
  for (uint32_t index : audioTracks_) {
    TrackAtom& track = *movie_.GetTrack(index);
    MediaInformationAtom* minf = track.GetMediaInformation();
    if (minf == nullptr) return kNoMediaInformation;
    uint32_t mediaScale = track.GetMedia().GetMediaHeader().TimeScale();
    if (mediaScale == 0) return QTWriterResult(13);
    // Without a video track the movie keeps time in the first audio track's scale.
    if (mvhd.TimeScale() == 0) mvhd.SetTimeScale(mediaScale);
    double movieScale = mvhd.TimeScale();
    uint32_t sampleDuration = 0;
    if (minf->GetSampleDuration(&sampleDuration) != 0) sampleDuration = 0;
    uint64_t mediaDuration = uint64_t{SampleCount(minf)} * sampleDuration;
    track.GetMedia().GetMediaHeader().SetDuration(mediaDuration);
    uint64_t trackDuration = Round(static_cast<double>(mediaDuration) * movieScale / mediaScale);
    if (maximumDuration > 0)
      trackDuration = std::min(trackDuration, Round(maximumDuration * movieScale));
    int64_t mediaTime = audioStart == 0 ? 0 : static_cast<int64_t>(Round(audioStart * mediaScale));
    uint32_t result = SetSingleEdit(track, trackDuration, mediaTime);
    if (result != 0) return result;
    track.GetTrackHeader().SetDuration(trackDuration);
  }
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::FinalizeTimeCode() {
  uint32_t video = 0;
  if (movie_.GetTrackIndexOfKind(FourCC("vide"), 0, &video) != 0) return kNoRoom;
  uint64_t duration = movie_.GetTrack(video)->GetTrackHeader().Duration();
  TrackAtom& track = *movie_.GetTrack(timeCodeTrack_);
  if (track.GetMedia().GetHandlerReference() == nullptr) return kNoMediaInformation;
  if (track.HandlerSubtype() != FourCC("tmcd")) return kEditListInUse;
  MediaInformationAtom* minf = track.GetMediaInformation();
  SampleTableAtom* stbl = minf != nullptr ? minf->GetSampleTable() : nullptr;
  if (stbl == nullptr || stbl->GetTimeToSampleAtom() == nullptr || !timeCodeDeclared_) {
    return kTimeCodeTables;
  }
  uint32_t result = SetSingleEdit(track, duration, 0);
  if (result != 0) return result;
  uint32_t sampleDuration = static_cast<uint32_t>(std::min<uint64_t>(duration, UINT32_MAX));
  stbl->GetTimeToSampleAtom()->SetEntries(
      {TimeToSampleAtom::TimeToSampleTableEntry(1, sampleDuration)});
  track.GetTrackHeader().SetDuration(duration);
  track.GetMedia().GetMediaHeader().SetTimeScale(videoTimeScale_);
  track.GetMedia().GetMediaHeader().SetDuration(duration);
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::FinalizeMetadata(double metadataStart,
                                                      double maximumDuration) {
  uint32_t index = 0;
  if (MetadataTrackIndex(&index) != 0) return kNotFinalized;
  TrackAtom& track = *movie_.GetTrack(index);
  MediaInformationAtom* minf = track.GetMediaInformation();
  if (minf == nullptr) return kNoMediaInformation;
  if (metadataTimeScale_ == 0) return QTWriterResult(13);
  uint64_t n = SampleCount(minf);
  auto& mvhd = movie_.GetMovieHeader();
  if (index == 0 && (mvhd.TimeScale() == 0 || mvhd.Duration() == 0)) {
    mvhd.SetTimeScale(metadataTimeScale_);
    mvhd.SetDuration(uint64_t{metadataSampleDuration_} * n);
  }
  double movieScale = mvhd.TimeScale();
  uint64_t trackDuration = Truncate(static_cast<double>(metadataSampleDuration_) /
                                    metadataTimeScale_ * static_cast<double>(n) * movieScale);
  if (maximumDuration > 0) {
    trackDuration = std::min(trackDuration, Truncate(maximumDuration * movieScale));
  }
  int64_t mediaTime =
      metadataStart == 0 ? 0 : static_cast<int64_t>(Round(metadataStart * metadataTimeScale_));
  uint32_t result = SetSingleEdit(track, trackDuration, mediaTime);
  if (result != 0) return result;
  track.GetTrackHeader().SetDuration(trackDuration);
  track.GetMedia().GetMediaHeader().SetTimeScale(metadataTimeScale_);
  track.GetMedia().GetMediaHeader().SetDuration(uint64_t{metadataSampleDuration_} * n);
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::FinalizeMoovAtom(double videoStart, double audioStart,
                                                      double metadataStart,
                                                      double maximumDuration) {
  if (!initialised_) return kNotReady;
  if (finalized_) return kNotFinalized;
  uint32_t result = 0;
  if (videoCreated_) result = FinalizeVideo(videoStart, maximumDuration);
  if (result == 0 && audioCreated_) result = FinalizeAudio(audioStart, maximumDuration);
  if (result == 0 && timeCodeCreated_) result = FinalizeTimeCode();
  if (result == 0 && metadataCreated_) result = FinalizeMetadata(metadataStart, maximumDuration);
  if (result != 0) return result;
  // The movie lasts at least as long as its longest track.
  auto& mvhd = movie_.GetMovieHeader();
  for (const TrackAtom& track : movie_.Tracks()) {
    mvhd.SetDuration(std::max(mvhd.Duration(), track.GetTrackHeader().Duration()));
  }
  finalized_ = true;
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::GetTotalAtomStructureSize(uint64_t* size) const {
  if (size == nullptr) return kNullArgument;
  *size = movie_.Size() + 36;
  return 0;
}

template <class StreamWriter>
FtypAtom CGIBinWriter<StreamWriter>::FtypToWrite(uint32_t majorBrand) const {
  FtypAtom ftyp = ftyp_;
  ftyp.SetMinorVersion(0);
  if (majorBrand != 0) {
    ftyp.SetMajorBrand(majorBrand);
    ftyp.AddCompatibleBrand(majorBrand);
  } else if (ftyp.MajorBrand() == 0) {
    ftyp.SetMajorBrand(FourCC("qt  "));
  }
  if (ftyp.CompatibleBrands().empty()) ftyp.AddCompatibleBrand(ftyp.MajorBrand());
  return ftyp;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::PlaceMediaData(uint64_t mdatPayloadSize, uint32_t majorBrand,
                                                    uint64_t slack, uint64_t* headerRegionSize) {
  if (headerRegionSize == nullptr || slack == 0) return kNullArgument;
  if (!initialised_) return kNotReady;
  if (!finalized_) return kNotFinalized;
  if (placed_) return kNotReady;
  uint64_t fixed = FtypToWrite(majorBrand).Size() + 8 + slack + MdatHeaderSize(mdatPayloadSize);
  // Moving the offsets can widen an `stco` into a `co64`, which grows the movie and so the
  // region: repeat until the region no longer changes (at most once more per track).
  uint64_t shift = 0;
  for (uint32_t round = 0; round <= movie_.GetNumberOfTracks() + 1; ++round) {
    uint64_t region = fixed + movie_.Size();
    if (region == shift) break;
    uint64_t delta = region - shift;
    for (TrackAtom& track : movie_.Tracks()) {
      MediaInformationAtom* minf = track.GetMediaInformation();
      SampleTableAtom* stbl = minf != nullptr ? minf->GetSampleTable() : nullptr;
      if (stbl == nullptr) continue;
      std::vector<uint64_t> offsets = stbl->GetChunkOffsetAtom().Offsets();
      for (uint64_t& offset : offsets) offset += delta;
      stbl->GetChunkOffsetAtom().SetOffsets(std::move(offsets));
    }
    shift = region;
  }
  placed_ = true;
  *headerRegionSize = shift;
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::WriteFtypToMdatPrefix(uint64_t mdatPayloadSize,
                                                           uint64_t headerRegionSize,
                                                           uint32_t majorBrand) {
  if (!initialised_ || prefixWritten_) return kNotReady;
  if (!finalized_) return kNotFinalized;
  FtypAtom ftyp = FtypToWrite(majorBrand);
  uint64_t mdatHeader = MdatHeaderSize(mdatPayloadSize);
  uint64_t used = ftyp.Size() + movie_.Size() + mdatHeader;
  if (headerRegionSize < used + 9) return kNoRoom;
  FileBuffer buffer(allocator_);
  if (buffer.AllocData(headerRegionSize, 512) != 0) return QTWriterResult(kFileWriterAllocFailed);
  FreeAtom padding;
  padding.SetFreeBytes(headerRegionSize - used - 8);
  if (ftyp.Write(buffer) != 0 || movie_.Write(buffer) != 0 || padding.Write(buffer) != 0) {
    return QTWriterResult(kQTAtomBufferTooSmall);
  }
  ByteWriter out(buffer);
  if (mdatHeader == 16) {
    out.U32(1);
    out.U32(FourCC("mdat"));
    out.U64(mdatPayloadSize + 16);
  } else {
    out.U32(mdatPayloadSize <= 8 ? 0 : static_cast<uint32_t>(mdatPayloadSize + 8));
    out.U32(FourCC("mdat"));
  }
  uint32_t result = stream_.Write(buffer, headerRegionSize);
  if (result != 0) return QTWriterResult(result);
  prefixWritten_ = true;
  return 0;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::TimeCodeFrameNumber(const QuickTime64TimeCodeRecord& r,
                                                         uint32_t n) {
  uint32_t h = r.hours, m = r.minutes, s = r.seconds, f = r.frames;
  if (r.dropFrame) return f + (s + m * 60) * n - (m - m / 10) * 2 + h * 107892;
  return f + (s + m * 60) * n + h * 3600 * n;
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::WriteVideoTimeCode(const QuickTime64TimeCodeRecord& record) {
  if (!initialised_ || !prefixWritten_ || !timeCodeDeclared_) return kNotReady;
  SampleTableAtom* stbl = TableOf(timeCodeTrack_);
  auto* description =
      dynamic_cast<TimeCodeSampleDescription*>(stbl->GetSampleDescriptionAtom().First());
  if (description == nullptr) return QTReaderResult(0xa);
  uint32_t frameNumber = TimeCodeFrameNumber(record, description->NumberOfFrames());
  FileBuffer buffer(allocator_);
  if (buffer.AllocData(4) != 0) return QTWriterResult(kFileWriterAllocFailed);
  ByteWriter(buffer).U32(frameNumber);
  uint32_t result = stream_.Write(buffer, 4);
  return result == 0 ? 0 : QTWriterResult(result);
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::WriteData(FileBuffer& buffer, bool trackCreated) {
  if (!initialised_ || !prefixWritten_ || !trackCreated) return kNotReady;
  uint32_t result = stream_.Write(buffer, buffer.DataSize());
  return result == 0 ? 0 : QTWriterResult(result);
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::WriteVideoSample(FileBuffer& buffer) {
  return WriteData(buffer, videoCreated_);
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::WriteCompressedAudioFrames(FileBuffer& buffer) {
  return WriteData(buffer, audioCreated_);
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::WriteTavroMetadataTelemetrySample(FileBuffer& buffer) {
  return WriteData(buffer, metadataCreated_);
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::WriteSamples(FileBuffer& buffer) {
  return WriteData(buffer, videoCreated_ || audioCreated_ || metadataCreated_);
}

template <class StreamWriter>
uint32_t CGIBinWriter<StreamWriter>::Close() {
  initialised_ = false;
  return stream_.Close();
}

template class CGIBinWriter<StdOutFileWriter>;
