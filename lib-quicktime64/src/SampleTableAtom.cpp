#include "quicktime64/SampleTableAtom.h"

#include <cstdio>
#include <cstring>

#include "AtomChildren.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

namespace {

// Sums two file offsets; false when the sum does not fit (a damaged table).
bool AddOffset(uint64_t a, uint64_t b, uint64_t* sum) { return !__builtin_add_overflow(a, b, sum); }

}  // namespace

void SampleTableAtom::SetMediaType(uint32_t handlerSubtype) {
  mediaType_ = handlerSubtype;
  stsd_.SetMediaType(handlerSubtype);
}

uint32_t SampleTableAtom::ReadBody(FileBuffer& buffer, bool flag) {
  size_t first = buffer.Cursor();
  cachedChunkIndex_ = UINT32_MAX;
  stsd_.SetMediaType(mediaType_);
  uint32_t result = ReadRequiredChild(buffer, first, FourCC("stsd"), &stsd_, flag);
  if (result == 0) result = ReadRequiredChild(buffer, first, FourCC("stsz"), &stsz_, flag);
  if (result == 0) result = ReadRequiredChild(buffer, first, FourCC("stsc"), &stsc_, flag);
  if (result == 0) {
    buffer.SetCursor(first);
    uint32_t type =
        Find(buffer, FourCC("stco"), buffer.Remaining()) == 0 ? FourCC("stco") : FourCC("co64");
    result = ReadRequiredChild(buffer, first, type, &stco_, flag);
  }
  if (result == 0) result = ReadOptionalChild(buffer, first, FourCC("stts"), &stts_, flag);
  if (result == 0) result = ReadOptionalChild(buffer, first, FourCC("stss"), &stss_, flag);
  if (result == 0) result = ReadOptionalChild(buffer, first, FourCC("ctts"), &ctts_, flag);
  if (result == 0) result = ReadOptionalChild(buffer, first, FourCC("sdtp"), &sdtp_, flag);
  return result;
}

uint64_t SampleTableAtom::BodySize() const {
  uint64_t size = stsd_.Size() + stsz_.Size() + stsc_.Size() + stco_.Size();
  if (stts_) size += stts_->Size();
  if (stss_) size += stss_->Size();
  if (ctts_) size += ctts_->Size();
  if (sdtp_) size += sdtp_->Size();
  return size;
}

uint32_t SampleTableAtom::WriteBody(FileBuffer& buffer) const {
  const QuickTimeAtom* children[] = {&stsd_,      &stsz_,      &stsc_,      &stco_,
                                     stts_.get(), stss_.get(), ctts_.get(), sdtp_.get()};
  for (const QuickTimeAtom* child : children) {
    if (child == nullptr) continue;
    uint32_t result = child->Write(buffer);
    if (result != 0) return result;
  }
  return 0;
}

void SampleTableAtom::DumpBody(std::string& out, int depth) const {
  const QuickTimeAtom* children[] = {&stsd_,      &stsz_,      &stsc_,      &stco_,
                                     stts_.get(), stss_.get(), ctts_.get(), sdtp_.get()};
  for (const QuickTimeAtom* child : children) DumpChild(out, child, depth);
}

SoundSampleDescription* SampleTableAtom::Sound() const {
  if (mediaType_ != FourCC("soun")) return nullptr;
  return dynamic_cast<SoundSampleDescription*>(stsd_.First());
}

VideoSampleDescription* SampleTableAtom::Video() const {
  if (mediaType_ != FourCC("vide")) return nullptr;
  return dynamic_cast<VideoSampleDescription*>(stsd_.First());
}

TimeCodeSampleDescription* SampleTableAtom::TimeCode() const {
  if (mediaType_ != FourCC("tmcd")) return nullptr;
  return dynamic_cast<TimeCodeSampleDescription*>(stsd_.First());
}

bool SampleTableAtom::IsPCM() const {
  SoundSampleDescription* sound = Sound();
  return sound != nullptr && (sound->DataFormat() == SoundSampleDescription::kLittleEndianPCM ||
                              sound->DataFormat() == SoundSampleDescription::kBigEndianPCM);
}

uint32_t SampleTableAtom::BuildOptimizationTable(bool) {
  // The lookup indexes of the tables build themselves on first use; asking now only moves
  // that work forward.
  uint32_t ignored;
  stsc_.MapSampleToChunk(0, &ignored, nullptr, nullptr);
  if (stts_) {
    int64_t time;
    stts_->MapSampleIndexToSampleTime(0, &time);
  }
  return 0;
}

uint32_t SampleTableAtom::FindVideoChunkSize(uint32_t index, uint32_t sampleInChunk,
                                             uint32_t samplesPerChunk, uint64_t* chunkSize) {
  if (chunkSize == nullptr || sampleInChunk > index) return kQTLookupOutOfRange;
  return stsz_.GetTotalSize(index - sampleInChunk, samplesPerChunk, chunkSize);
}

uint32_t SampleTableAtom::GetVideoSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                            uint64_t* chunkOffset,
                                                                            uint64_t* chunkSize,
                                                                            uint64_t* offsetInChunk,
                                                                            uint32_t* sampleSize) {
  if (chunkOffset == nullptr || chunkSize == nullptr || offsetInChunk == nullptr ||
      sampleSize == nullptr || index >= stsz_.NumberOfSamples()) {
    return kQTLookupOutOfRange;
  }
  uint32_t chunk = 0, inChunk = 0, perChunk = 0;
  if (stsc_.MapSampleToChunk(index, &chunk, &inChunk, &perChunk) != 0 || chunk == 0 ||
      chunk > stco_.GetNumberOfChunks()) {
    return kQTLookupOutOfRange;
  }
  uint64_t within = 0, total = 0;
  uint32_t size = 0;
  if (stsz_.GetTotalSize(index - inChunk, inChunk, &within) != 0 ||
      stsz_.GetSampleSize(index, &size) != 0 ||
      FindVideoChunkSize(index, inChunk, perChunk, &total) != 0) {
    return kQTLookupOutOfRange;
  }
  *chunkOffset = stco_.Offsets()[chunk - 1];
  *chunkSize = total;
  *offsetInChunk = within;
  *sampleSize = size;
  return 0;
}

uint32_t SampleTableAtom::GetVideoSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                            uint64_t* fileOffset,
                                                                            uint32_t* sampleSize) {
  if (fileOffset == nullptr) return kQTLookupOutOfRange;
  uint64_t chunkOffset = 0, chunkSize = 0, within = 0;
  uint32_t result = GetVideoSampleRetrievalInformationFromSampleIndex(
      index, &chunkOffset, &chunkSize, &within, sampleSize);
  if (result != 0) return result;
  return AddOffset(chunkOffset, within, fileOffset) ? 0 : kQTLookupOutOfRange;
}

uint32_t SampleTableAtom::GetVideoSampleRetrievalInformationFromSampleTime(int64_t time,
                                                                           uint64_t* chunkOffset,
                                                                           uint64_t* chunkSize,
                                                                           uint64_t* offsetInChunk,
                                                                           uint32_t* sampleSize) {
  if (!stts_) return kQTLookupAbsent;
  uint32_t index = 0;
  uint32_t result = stts_->MapSampleTimeToSampleIndex(time, &index);
  if (result != 0) return result;
  return GetVideoSampleRetrievalInformationFromSampleIndex(index, chunkOffset, chunkSize,
                                                           offsetInChunk, sampleSize);
}

uint32_t SampleTableAtom::GetVideoSampleRetrievalInformationFromSampleTime(int64_t time,
                                                                           uint64_t* fileOffset,
                                                                           uint32_t* sampleSize) {
  if (!stts_) return kQTLookupAbsent;
  uint32_t index = 0;
  uint32_t result = stts_->MapSampleTimeToSampleIndex(time, &index);
  if (result != 0) return result;
  return GetVideoSampleRetrievalInformationFromSampleIndex(index, fileOffset, sampleSize);
}

uint32_t SampleTableAtom::GetTextSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                           uint64_t* chunkOffset,
                                                                           uint64_t* chunkSize,
                                                                           uint64_t* offsetInChunk,
                                                                           uint32_t* sampleSize) {
  return GetVideoSampleRetrievalInformationFromSampleIndex(index, chunkOffset, chunkSize,
                                                           offsetInChunk, sampleSize);
}

uint32_t SampleTableAtom::GetTextSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                           uint64_t* fileOffset,
                                                                           uint32_t* sampleSize) {
  return GetVideoSampleRetrievalInformationFromSampleIndex(index, fileOffset, sampleSize);
}

uint32_t SampleTableAtom::GetTavroMetadataSampleRetrievalInformationFromSampleIndex(
    uint32_t index, uint64_t* chunkOffset, uint64_t* chunkSize, uint64_t* offsetInChunk,
    uint32_t* sampleSize) {
  return GetVideoSampleRetrievalInformationFromSampleIndex(index, chunkOffset, chunkSize,
                                                           offsetInChunk, sampleSize);
}

uint32_t SampleTableAtom::GetTavroMetadataSampleRetrievalInformationFromSampleIndex(
    uint32_t index, uint64_t* fileOffset, uint32_t* sampleSize) {
  return GetVideoSampleRetrievalInformationFromSampleIndex(index, fileOffset, sampleSize);
}

uint32_t SampleTableAtom::GetAudioFrameSize(uint32_t* bytes) {
  if (bytes == nullptr) return kQTLookupOutOfRange;
  SoundSampleDescription* sound = Sound();
  if (sound == nullptr || sound->Version() != 1) return kQTLookupAbsent;
  *bytes = sound->BytesPerFrame();
  return 0;
}

uint32_t SampleTableAtom::GetAudioFrameRetrievalInformationFromFrameIndex(uint32_t frame,
                                                                          uint64_t* chunkOffset,
                                                                          uint64_t* chunkSize,
                                                                          uint64_t* offsetInChunk,
                                                                          uint32_t* frameSize) {
  if (chunkOffset == nullptr || chunkSize == nullptr || offsetInChunk == nullptr ||
      frameSize == nullptr) {
    return kQTLookupOutOfRange;
  }
  uint32_t chunk = 0, inChunk = 0, perChunk = 0;
  if (stsc_.MapSampleToChunk(frame, &chunk, &inChunk, &perChunk) != 0 || chunk == 0 ||
      chunk > stco_.GetNumberOfChunks()) {
    return kQTLookupOutOfRange;
  }
  uint32_t bytes = 0;
  uint32_t result = GetAudioFrameSize(&bytes);
  if (result != 0) return result;
  *chunkOffset = stco_.Offsets()[chunk - 1];
  *chunkSize = uint64_t{perChunk} * bytes;
  *offsetInChunk = uint64_t{inChunk} * bytes;
  *frameSize = bytes;
  return 0;
}

uint32_t SampleTableAtom::GetAudioFrameRetrievalInformationFromFrameIndex(uint32_t frame,
                                                                          uint64_t* fileOffset,
                                                                          uint32_t* frameSize) {
  if (fileOffset == nullptr) return kQTLookupOutOfRange;
  uint64_t chunkOffset = 0, chunkSize = 0, within = 0;
  uint32_t result = GetAudioFrameRetrievalInformationFromFrameIndex(frame, &chunkOffset, &chunkSize,
                                                                    &within, frameSize);
  if (result != 0) return result;
  return AddOffset(chunkOffset, within, fileOffset) ? 0 : kQTLookupOutOfRange;
}

uint32_t SampleTableAtom::GetChunkSamples(uint32_t chunkIndex,
                                          const ChunkSampleTotalMapValue** samples) {
  if (samples == nullptr || chunkIndex == UINT32_MAX || chunkIndex >= stco_.GetNumberOfChunks()) {
    return kQTLookupOutOfRange;
  }
  if (chunkIndex == cachedChunkIndex_) {
    *samples = &cachedChunk_;
    return 0;
  }
  uint64_t first = 0;
  uint32_t count = 0;
  if (stsc_.GetFirstSampleOfChunk(chunkIndex, &first) != 0 ||
      stsc_.GetSamplesPerChunk(chunkIndex, &count) != 0) {
    return kQTLookupOutOfRange;
  }
  ChunkSampleTotalMapValue value;
  value.firstSample = first;
  value.sampleCount = count;
  // A chunk cannot hold more samples than the table has; a larger count is a damaged table
  // (and must not size the lists below).
  if (first + count > stsz_.NumberOfSamples()) return kQTLookupOutOfRange;
  // With a constant sample size the table above can claim billions of samples without holding
  // them, so it does not bound the chunk. A chunk of compressed audio holds a second or so of
  // frames; tens of thousands are already minutes, and more would make the lists gigabytes.
  constexpr uint32_t kMaxSamplesPerChunk = 1u << 16;
  if (count > kMaxSamplesPerChunk) return kQTLookupOutOfRange;
  value.sampleSizes.reserve(count);
  value.sampleOffsets.reserve(count);
  for (uint32_t k = 0; k < count; ++k) {
    uint32_t size = 0;
    if (stsz_.GetSampleSize(static_cast<uint32_t>(first + k), &size) != 0) {
      return kQTLookupOutOfRange;
    }
    if (size == 0) {
      printf("warning - zero-length audio sample detected (sample %d in chunk %d)\n",
             static_cast<int>(k), static_cast<int>(chunkIndex));
    }
    value.sampleOffsets.push_back(value.byteTotal);
    value.sampleSizes.push_back(size);
    value.byteTotal += size;
  }
  cachedChunk_ = std::move(value);
  cachedChunkIndex_ = chunkIndex;
  *samples = &cachedChunk_;
  return 0;
}

uint32_t SampleTableAtom::GetAudioFrameRetrievalInformationFromChunkIndex(
    uint32_t chunkIndex, uint64_t* chunkOffset, uint64_t* chunkBytes, uint32_t* samplesInChunk,
    std::vector<uint32_t>* sampleSizes) {
  if (chunkOffset == nullptr || chunkBytes == nullptr || samplesInChunk == nullptr ||
      chunkIndex == UINT32_MAX || chunkIndex >= stco_.GetNumberOfChunks()) {
    return kQTLookupOutOfRange;
  }
  if (IsPCM()) {
    SoundSampleDescription* sound = Sound();
    uint64_t frameSize = sound->Version() == 0 ? 1 : sound->BytesPerFrame();
    uint32_t perChunk = 0, sampleSize = 0;
    if (stsc_.GetSamplesPerChunk(chunkIndex, &perChunk) != 0) return kQTLookupOutOfRange;
    if (stsz_.ConstantSampleSize() != 0) {
      sampleSize = stsz_.ConstantSampleSize();
    } else if (chunkIndex < stsz_.Sizes().size()) {
      sampleSize = stsz_.Sizes()[chunkIndex];
    } else {
      return kQTLookupOutOfRange;
    }
    *chunkOffset = stco_.Offsets()[chunkIndex];
    *chunkBytes = frameSize * perChunk * sampleSize;
    *samplesInChunk = perChunk;
    if (sampleSizes != nullptr) sampleSizes->clear();
    return 0;
  }
  const ChunkSampleTotalMapValue* samples = nullptr;
  uint32_t result = GetChunkSamples(chunkIndex, &samples);
  if (result != 0) return result;
  *chunkOffset = stco_.Offsets()[chunkIndex];
  *chunkBytes = samples->byteTotal;
  *samplesInChunk = samples->sampleCount;
  if (sampleSizes != nullptr) *sampleSizes = samples->sampleSizes;
  return 0;
}

uint32_t SampleTableAtom::GetAudioSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                            uint64_t* fileOffset,
                                                                            uint32_t* size) {
  if (fileOffset == nullptr || size == nullptr) return kQTLookupOutOfRange;
  if (IsPCM()) return kQTLookupNotApplicable;
  uint32_t chunk = 0, inChunk = 0;
  if (stsc_.MapSampleToChunk(index, &chunk, &inChunk, nullptr) != 0 || chunk == 0) {
    return kQTLookupInconsistentChunk;
  }
  const ChunkSampleTotalMapValue* samples = nullptr;
  if (GetChunkSamples(chunk - 1, &samples) != 0 || inChunk >= samples->sampleCount ||
      inChunk >= samples->sampleSizes.size()) {
    return kQTLookupInconsistentChunk;
  }
  if (!AddOffset(stco_.Offsets()[chunk - 1], samples->sampleOffsets[inChunk], fileOffset)) {
    return kQTLookupOutOfRange;
  }
  *size = samples->sampleSizes[inChunk];
  return 0;
}

uint32_t SampleTableAtom::IsKeyFrame(uint32_t index, bool* isKey) {
  if (isKey == nullptr) return kQTLookupOutOfRange;
  *isKey = !stss_ || (index < UINT32_MAX && stss_->Contains(index + 1));
  return 0;
}

uint32_t SampleTableAtom::GetContentsOfSyncSampleTable(std::set<uint32_t>* numbers) {
  if (numbers == nullptr) return kQTLookupOutOfRange;
  if (!stss_) return kQTLookupAbsent;
  *numbers = stss_->SampleNumbers();
  return 0;
}

uint32_t SampleTableAtom::SetContentsOfSyncSampleTable(const std::set<uint32_t>& numbers) {
  stss_.Ensure().SetSampleNumbers(numbers);
  return 0;
}

uint32_t SampleTableAtom::AppendContentsOfSyncSampleTable(const std::set<uint32_t>& numbers) {
  stss_.Ensure().AppendSampleNumbers(numbers);
  return 0;
}

uint32_t SampleTableAtom::GetContentsOfCompositionOffsetTable(
    std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>* entries) {
  if (entries == nullptr) return kQTLookupOutOfRange;
  if (!ctts_) return kQTLookupAbsent;
  *entries = ctts_->Entries();
  return 0;
}

uint32_t SampleTableAtom::SetContentsOfCompositionOffsetTable(
    const std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>& entries) {
  ctts_.Ensure().SetEntries(entries);
  return 0;
}

uint32_t SampleTableAtom::AppendContentsOfCompositionOffsetTable(
    const std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>& entries) {
  ctts_.Ensure().AppendEntries(entries);
  return 0;
}

uint32_t SampleTableAtom::GetContentsOfSampleDependenciesTable(std::vector<uint8_t>* dependencies) {
  if (dependencies == nullptr) return kQTLookupOutOfRange;
  if (!sdtp_) return kQTLookupAbsent;
  *dependencies = sdtp_->Dependencies();
  return 0;
}

uint32_t SampleTableAtom::SetContentsOfSampleDependenciesTable(
    const std::vector<uint8_t>& dependencies) {
  sdtp_.Ensure().SetDependencies(dependencies);
  return 0;
}

uint32_t SampleTableAtom::AppendContentsOfSampleDependenciesTable(
    const std::vector<uint8_t>& dependencies) {
  sdtp_.Ensure().AppendDependencies(dependencies);
  return 0;
}

uint32_t SampleTableAtom::GetContentsOfTimeToSampleTable(
    std::vector<TimeToSampleAtom::TimeToSampleTableEntry>* entries) {
  if (entries == nullptr) return kQTLookupOutOfRange;
  if (!stts_) return kQTLookupAbsent;
  *entries = stts_->Entries();
  return 0;
}

uint32_t SampleTableAtom::SetContentsOfTimeToSampleTable(
    const std::vector<TimeToSampleAtom::TimeToSampleTableEntry>& entries) {
  stts_.Ensure().SetEntries(entries);
  return 0;
}

uint32_t SampleTableAtom::AppendContentsOfTimeToSampleTable(
    const std::vector<TimeToSampleAtom::TimeToSampleTableEntry>& entries) {
  stts_.Ensure().AppendEntries(entries);
  return 0;
}

uint32_t SampleTableAtom::GetContentsOfSampleToChunkTable(
    std::vector<SampleToChunkAtom::SampleToChunkTableEntry>* entries) {
  return stsc_.GetSampleToChunkTable(entries);
}

uint32_t SampleTableAtom::SetContentsOfSampleToChunkTable(
    const std::vector<SampleToChunkAtom::SampleToChunkTableEntry>& entries) {
  cachedChunkIndex_ = UINT32_MAX;
  return stsc_.SetSampleToChunkTable(entries);
}

uint32_t SampleTableAtom::ClearSampleSizeTable() {
  cachedChunkIndex_ = UINT32_MAX;
  stsz_.Clear();
  return 0;
}

uint32_t SampleTableAtom::SetSamplesSize(const std::vector<uint32_t>& sizes) {
  cachedChunkIndex_ = UINT32_MAX;
  stsz_.SetSampleSizes(sizes);
  return 0;
}

uint32_t SampleTableAtom::SampleIndex(int64_t time, uint32_t* index) {
  if (!stts_) return kQTLookupAbsent;
  return stts_->MapSampleTimeToSampleIndex(time, index);
}

uint32_t SampleTableAtom::SampleTime(uint32_t index, int64_t* time) {
  if (!stts_) return kQTLookupAbsent;
  return stts_->MapSampleIndexToSampleTime(index, time);
}

uint32_t SampleTableAtom::SampleDuration(uint32_t index, uint32_t* duration) {
  if (!stts_) return kQTLookupAbsent;
  return stts_->MapSampleIndexToSampleDuration(index, duration);
}

uint32_t SampleTableAtom::GetMinimumAndMaximumDuration(uint32_t* minimum, uint32_t* maximum) {
  if (!stts_) return kQTLookupAbsent;
  return stts_->GetMinimumAndMaximumSampleDuration(minimum, maximum);
}

uint32_t SampleTableAtom::GetDataFormat(uint32_t* format) {
  if (format == nullptr) return kQTLookupOutOfRange;
  SampleDescriptionCF* first = stsd_.First();
  if (first == nullptr) return kQTLookupAbsent;
  *format = first->DataFormat();
  return 0;
}

uint32_t SampleTableAtom::GetVideoSampleSize(uint32_t index, uint32_t* size) {
  return stsz_.GetSampleSize(index, size);
}

void SampleTableAtom::ClearSampleLayout() {
  stsz_.Clear();
  stsc_.SetSampleToChunkTable({});
  stco_ = ChunkOffsetAtom();
  stts_.Ensure().SetEntries({});
  stss_.reset();
  ctts_.reset();
  sdtp_.reset();
  cachedChunkIndex_ = UINT32_MAX;
  cachedChunk_ = ChunkSampleTotalMapValue();
}

uint32_t SampleTableAtom::AppendChunk(uint64_t fileOffset, const std::vector<uint32_t>& sizes,
                                      uint32_t duration) {
  if (sizes.empty() || !stts_) return 10;
  for (uint32_t size : sizes) {
    if (size == 0) return 10;
  }
  for (uint32_t size : sizes) stsz_.AddSampleSize(size);
  stsc_.SetNumberOfSamples(static_cast<uint32_t>(sizes.size()));
  stco_.AddChunkOffset(fileOffset);
  stts_->SetSampleCountAndDuration(static_cast<uint32_t>(sizes.size()), duration);
  cachedChunkIndex_ = UINT32_MAX;
  return 0;
}

uint32_t SampleTableAtom::GetNumberOfSamples(uint32_t* count) {
  if (count == nullptr) return kQTLookupOutOfRange;
  *count = stsz_.NumberOfSamples();
  return 0;
}

uint32_t SampleTableAtom::GetNumberOfChunks(uint32_t* count) {
  if (count == nullptr) return kQTLookupOutOfRange;
  *count = stco_.GetNumberOfChunks();
  return 0;
}

uint32_t SampleTableAtom::GetSampleDuration(uint32_t* duration) {
  if (duration == nullptr) return kQTLookupOutOfRange;
  if (!stts_) return kQTLookupAbsent;
  if (stts_->Entries().empty()) return kQTLookupNotApplicable;
  uint32_t minimum = 0;
  return stts_->GetMinimumAndMaximumSampleDuration(&minimum, duration);
}

uint32_t SampleTableAtom::GetSamplesPerChunk(uint32_t* count) {
  if (count == nullptr) return kQTLookupOutOfRange;
  if (stsc_.Entries().size() != 1) return kQTLookupAbsent;
  *count = stsc_.Entries().front().SamplesPerChunk();
  return 0;
}

uint32_t SampleTableAtom::GetNumAudioChannels(uint32_t* channels) {
  if (channels == nullptr) return kQTLookupOutOfRange;
  SoundSampleDescription* sound = Sound();
  if (sound == nullptr) return kQTLookupNotApplicable;
  *channels = sound->NumberOfChannels();
  return 0;
}

uint32_t SampleTableAtom::GetAudioSampleRate(uint32_t* rate) {
  if (rate == nullptr) return kQTLookupOutOfRange;
  SoundSampleDescription* sound = Sound();
  if (sound == nullptr) return kQTLookupNotApplicable;
  *rate = sound->Version() == 2 ? static_cast<uint32_t>(sound->SampleRate() * 65536.0)
                                : sound->SampleRateFixed();
  return 0;
}

uint32_t SampleTableAtom::GetAudioBytesPerSample(uint32_t* bytes) {
  if (bytes == nullptr) return kQTLookupOutOfRange;
  SoundSampleDescription* sound = Sound();
  if (sound == nullptr) return kQTLookupNotApplicable;
  *bytes = sound->Version() == 1 ? sound->BytesPerSample() : sound->BitsPerSample() / 8;
  return 0;
}

uint32_t SampleTableAtom::GetAudioBitsPerSample(uint32_t* bits) {
  if (bits == nullptr) return kQTLookupOutOfRange;
  SoundSampleDescription* sound = Sound();
  if (sound == nullptr) return kQTLookupNotApplicable;
  *bits = sound->BitsPerSample();
  return 0;
}

uint32_t SampleTableAtom::GetAudioEndian(uint32_t* endian) {
  if (endian == nullptr) return kQTLookupOutOfRange;
  SoundSampleDescription* sound = Sound();
  if (sound == nullptr) return kQTLookupNotApplicable;
  *endian = sound->GetEndian();
  return 0;
}

uint32_t SampleTableAtom::GetColorMatrix(uint16_t* matrix) {
  if (matrix == nullptr) return kQTLookupOutOfRange;
  VideoSampleDescription* video = Video();
  if (video == nullptr) return kQTLookupNotApplicable;
  VideoSampleDescription::ColorAtom* color = video->GetColorAtom();
  if (color == nullptr) return kQTLookupAbsent;
  *matrix = color->Matrix();
  return 0;
}

uint32_t SampleTableAtom::SetColorParameterType(uint32_t type) {
  VideoSampleDescription* video = Video();
  if (video == nullptr) return kQTLookupNotApplicable;
  VideoSampleDescription::ColorAtom* color = video->GetColorAtom();
  if (color == nullptr) {
    video->SetExtension(std::make_unique<VideoSampleDescription::ColorAtom>());
    color = video->GetColorAtom();
  }
  color->SetParameterType(type);
  return 0;
}

uint32_t SampleTableAtom::GetColorParameterType(uint32_t* type) {
  if (type == nullptr) return kQTLookupOutOfRange;
  VideoSampleDescription* video = Video();
  if (video == nullptr) return kQTLookupNotApplicable;
  VideoSampleDescription::ColorAtom* color = video->GetColorAtom();
  if (color == nullptr) return kQTLookupAbsent;
  *type = color->ParameterType();
  return 0;
}

uint32_t SampleTableAtom::GetPixelAspectRatio(uint32_t* horizontal, uint32_t* vertical) {
  if (horizontal == nullptr || vertical == nullptr) return kQTLookupOutOfRange;
  VideoSampleDescription* video = Video();
  if (video == nullptr) return kQTLookupNotApplicable;
  VideoSampleDescription::PixelAspectAtom* pasp = video->GetPixelAspectAtom();
  if (pasp == nullptr) return kQTLookupAbsent;
  *horizontal = pasp->HorizontalSpacing();
  *vertical = pasp->VerticalSpacing();
  return 0;
}

uint32_t SampleTableAtom::GetTimeCodeCalculationInformation(uint32_t* flags, uint32_t* timeScale,
                                                            uint8_t* numberOfFrames, char* reelName,
                                                            uint32_t reelNameLength) {
  if (flags == nullptr || timeScale == nullptr || numberOfFrames == nullptr) {
    return kQTLookupOutOfRange;
  }
  TimeCodeSampleDescription* tc = TimeCode();
  if (tc == nullptr) return kQTLookupNotTimeCode;
  *flags = tc->Flags();
  *timeScale = tc->TimeScale();
  *numberOfFrames = tc->NumberOfFrames();
  if (reelName != nullptr && reelNameLength > 0) {
    TimeCodeSampleDescription::NameAtom* name = tc->GetNameAtom();
    std::string text = name != nullptr ? name->Text() : std::string();
    size_t n = text.size() < reelNameLength - 1 ? text.size() : reelNameLength - 1;
    memcpy(reelName, text.data(), n);
    reelName[n] = '\0';
  }
  return 0;
}

uint32_t SampleTableAtom::GetTimeCodeRetrievalInformation(uint64_t* chunkOffset,
                                                          uint64_t* chunkSize,
                                                          uint64_t* offsetInChunk,
                                                          uint32_t* sampleSize) {
  if (TimeCode() == nullptr) return kQTLookupNotTimeCode;
  return GetVideoSampleRetrievalInformationFromSampleIndex(0, chunkOffset, chunkSize, offsetInChunk,
                                                           sampleSize);
}

uint32_t SampleTableAtom::GetTimeCodeTimeScale(uint32_t* timeScale) {
  if (timeScale == nullptr) return kQTLookupOutOfRange;
  TimeCodeSampleDescription* tc = TimeCode();
  if (tc == nullptr) return kQTLookupNotTimeCode;
  *timeScale = tc->TimeScale();
  return 0;
}

uint32_t SampleTableAtom::GetTimeCodeFrameDuration(uint32_t* frameDuration) {
  if (frameDuration == nullptr) return kQTLookupOutOfRange;
  TimeCodeSampleDescription* tc = TimeCode();
  if (tc == nullptr) return kQTLookupNotTimeCode;
  *frameDuration = tc->FrameDuration();
  return 0;
}

uint32_t SampleTableAtom::GetTimeCodeNumberOfRealFramesPerSecond(uint8_t* framesPerSecond) {
  if (framesPerSecond == nullptr) return kQTLookupOutOfRange;
  TimeCodeSampleDescription* tc = TimeCode();
  if (tc == nullptr) return kQTLookupNotTimeCode;
  *framesPerSecond = tc->NumberOfFrames();
  return 0;
}

}  // namespace MavrelQuickTime64Atom
