#include "quicktime64/MediaInformationAtom.h"

#include "AtomChildren.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

void MediaInformationAtom::SetMediaType(uint32_t handlerSubtype) {
  mediaType_ = handlerSubtype;
  if (stbl_) stbl_->SetMediaType(handlerSubtype);
}

SampleTableAtom& MediaInformationAtom::EnsureSampleTable() {
  if (!stbl_) {
    stbl_.Ensure().SetMediaType(mediaType_);
  }
  return *stbl_;
}

uint32_t MediaInformationAtom::ReadBody(FileBuffer& buffer, bool flag) {
  size_t first = buffer.Cursor();
  uint32_t result = ReadMediaHeader(buffer, first);
  if (result == 0) result = ReadOptionalChild(buffer, first, FourCC("hdlr"), &hdlr_, flag);
  if (result == 0) result = ReadOptionalChild(buffer, first, FourCC("dinf"), &dinf_, flag);
  if (result != 0) return result;
  stbl_.reset();
  buffer.SetCursor(first);
  if (Find(buffer, FourCC("stbl"), buffer.Remaining()) != 0) return 0;
  auto stbl = std::make_unique<SampleTableAtom>();
  stbl->SetMediaType(mediaType_);
  if (stbl->Read(buffer, flag) != 0) return kQTAtomMalformed;
  stbl_ = std::move(stbl);
  return 0;
}

uint64_t MediaInformationAtom::BodySize() const {
  const QuickTimeAtom* children[] = {MediaHeader(), hdlr_.get(), dinf_.get(), stbl_.get()};
  uint64_t size = 0;
  for (const QuickTimeAtom* child : children) size += child != nullptr ? child->Size() : 0;
  return size;
}

uint32_t MediaInformationAtom::WriteBody(FileBuffer& buffer) const {
  const QuickTimeAtom* children[] = {MediaHeader(), hdlr_.get(), dinf_.get(), stbl_.get()};
  for (const QuickTimeAtom* child : children) {
    if (child == nullptr) continue;
    uint32_t result = child->Write(buffer);
    if (result != 0) return result;
  }
  return 0;
}

void MediaInformationAtom::DumpBody(std::string& out, int depth) const {
  const QuickTimeAtom* children[] = {MediaHeader(), hdlr_.get(), dinf_.get(), stbl_.get()};
  for (const QuickTimeAtom* child : children) DumpChild(out, child, depth);
}

uint32_t MediaInformationAtom::BuildOptimizationTable(bool force) {
  return stbl_ ? stbl_->BuildOptimizationTable(force) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetVideoSampleRetrievalInformationFromSampleTime(
    int64_t time, uint64_t* chunkOffset, uint64_t* chunkSize, uint64_t* offsetInChunk,
    uint32_t* sampleSize) {
  return stbl_ ? stbl_->GetVideoSampleRetrievalInformationFromSampleTime(
                     time, chunkOffset, chunkSize, offsetInChunk, sampleSize)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetVideoSampleRetrievalInformationFromSampleTime(
    int64_t time, uint64_t* fileOffset, uint32_t* sampleSize) {
  return stbl_
             ? stbl_->GetVideoSampleRetrievalInformationFromSampleTime(time, fileOffset, sampleSize)
             : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetVideoSampleRetrievalInformationFromSampleIndex(
    uint32_t index, uint64_t* chunkOffset, uint64_t* chunkSize, uint64_t* offsetInChunk,
    uint32_t* sampleSize) {
  return stbl_ ? stbl_->GetVideoSampleRetrievalInformationFromSampleIndex(
                     index, chunkOffset, chunkSize, offsetInChunk, sampleSize)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetVideoSampleRetrievalInformationFromSampleIndex(
    uint32_t index, uint64_t* fileOffset, uint32_t* sampleSize) {
  return stbl_ ? stbl_->GetVideoSampleRetrievalInformationFromSampleIndex(index, fileOffset,
                                                                          sampleSize)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetAudioFrameRetrievalInformationFromFrameIndex(
    uint32_t frame, uint64_t* chunkOffset, uint64_t* chunkSize, uint64_t* offsetInChunk,
    uint32_t* frameSize) {
  return stbl_ ? stbl_->GetAudioFrameRetrievalInformationFromFrameIndex(
                     frame, chunkOffset, chunkSize, offsetInChunk, frameSize)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetAudioFrameRetrievalInformationFromFrameIndex(
    uint32_t frame, uint64_t* fileOffset, uint32_t* frameSize) {
  return stbl_
             ? stbl_->GetAudioFrameRetrievalInformationFromFrameIndex(frame, fileOffset, frameSize)
             : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetAudioFrameRetrievalInformationFromChunkIndex(
    uint32_t chunkIndex, uint64_t* chunkOffset, uint64_t* chunkBytes, uint32_t* samplesInChunk,
    std::vector<uint32_t>* sampleSizes) {
  return stbl_ ? stbl_->GetAudioFrameRetrievalInformationFromChunkIndex(
                     chunkIndex, chunkOffset, chunkBytes, samplesInChunk, sampleSizes)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetAudioSampleRetrievalInformationFromSampleIndex(
    uint32_t index, uint64_t* fileOffset, uint32_t* size) {
  return stbl_ ? stbl_->GetAudioSampleRetrievalInformationFromSampleIndex(index, fileOffset, size)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::IsKeyFrame(uint32_t index, bool* isKey) {
  return stbl_ ? stbl_->IsKeyFrame(index, isKey) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetContentsOfSyncSampleTable(std::set<uint32_t>* numbers) {
  return stbl_ ? stbl_->GetContentsOfSyncSampleTable(numbers) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::SetContentsOfSyncSampleTable(const std::set<uint32_t>& numbers) {
  return stbl_ ? stbl_->SetContentsOfSyncSampleTable(numbers) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::AppendContentsOfSyncSampleTable(const std::set<uint32_t>& numbers) {
  return stbl_ ? stbl_->AppendContentsOfSyncSampleTable(numbers) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetContentsOfCompositionOffsetTable(
    std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>* entries) {
  return stbl_ ? stbl_->GetContentsOfCompositionOffsetTable(entries) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::SetContentsOfCompositionOffsetTable(
    const std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>& entries) {
  return stbl_ ? stbl_->SetContentsOfCompositionOffsetTable(entries) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::AppendContentsOfCompositionOffsetTable(
    const std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>& entries) {
  return stbl_ ? stbl_->AppendContentsOfCompositionOffsetTable(entries) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetContentsOfSampleDependenciesTable(
    std::vector<uint8_t>* dependencies) {
  return stbl_ ? stbl_->GetContentsOfSampleDependenciesTable(dependencies) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::SetContentsOfSampleDependenciesTable(
    const std::vector<uint8_t>& dependencies) {
  return stbl_ ? stbl_->SetContentsOfSampleDependenciesTable(dependencies) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::AppendContentsOfSampleDependenciesTable(
    const std::vector<uint8_t>& dependencies) {
  return stbl_ ? stbl_->AppendContentsOfSampleDependenciesTable(dependencies) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetContentsOfTimeToSampleTable(
    std::vector<TimeToSampleAtom::TimeToSampleTableEntry>* entries) {
  return stbl_ ? stbl_->GetContentsOfTimeToSampleTable(entries) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::SetContentsOfTimeToSampleTable(
    const std::vector<TimeToSampleAtom::TimeToSampleTableEntry>& entries) {
  return stbl_ ? stbl_->SetContentsOfTimeToSampleTable(entries) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetContentsOfSampleToChunkTable(
    std::vector<SampleToChunkAtom::SampleToChunkTableEntry>* entries) {
  return stbl_ ? stbl_->GetContentsOfSampleToChunkTable(entries) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::SetContentsOfSampleToChunkTable(
    const std::vector<SampleToChunkAtom::SampleToChunkTableEntry>& entries) {
  return stbl_ ? stbl_->SetContentsOfSampleToChunkTable(entries) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::ClearSampleSizeTable() {
  return stbl_ ? stbl_->ClearSampleSizeTable() : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::SetSamplesSize(const std::vector<uint32_t>& sizes) {
  return stbl_ ? stbl_->SetSamplesSize(sizes) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::AppendContentsOfTimeToSampleTable(
    const std::vector<TimeToSampleAtom::TimeToSampleTableEntry>& entries) {
  return stbl_ ? stbl_->AppendContentsOfTimeToSampleTable(entries) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::SampleIndex(int64_t time, uint32_t* index) {
  return stbl_ ? stbl_->SampleIndex(time, index) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::SampleTime(uint32_t index, int64_t* time) {
  return stbl_ ? stbl_->SampleTime(index, time) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::SampleDuration(uint32_t index, uint32_t* duration) {
  return stbl_ ? stbl_->SampleDuration(index, duration) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetMinimumAndMaximumDuration(uint32_t* minimum, uint32_t* maximum) {
  return stbl_ ? stbl_->GetMinimumAndMaximumDuration(minimum, maximum) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetDataFormat(uint32_t* format) {
  return stbl_ ? stbl_->GetDataFormat(format) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetVideoSampleSize(uint32_t index, uint32_t* size) {
  return stbl_ ? stbl_->GetVideoSampleSize(index, size) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetNumberOfSamples(uint32_t* count) {
  return stbl_ ? stbl_->GetNumberOfSamples(count) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetNumberOfChunks(uint32_t* count) {
  return stbl_ ? stbl_->GetNumberOfChunks(count) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetSampleDuration(uint32_t* duration) {
  return stbl_ ? stbl_->GetSampleDuration(duration) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetSamplesPerChunk(uint32_t* count) {
  return stbl_ ? stbl_->GetSamplesPerChunk(count) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetNumAudioChannels(uint32_t* channels) {
  return stbl_ ? stbl_->GetNumAudioChannels(channels) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetAudioSampleRate(uint32_t* rate) {
  return stbl_ ? stbl_->GetAudioSampleRate(rate) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetAudioBytesPerSample(uint32_t* bytes) {
  return stbl_ ? stbl_->GetAudioBytesPerSample(bytes) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetAudioBitsPerSample(uint32_t* bits) {
  return stbl_ ? stbl_->GetAudioBitsPerSample(bits) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetAudioFrameSize(uint32_t* bytes) {
  return stbl_ ? stbl_->GetAudioFrameSize(bytes) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetColorMatrix(uint16_t* matrix) {
  return stbl_ ? stbl_->GetColorMatrix(matrix) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::SetColorParameterType(uint32_t type) {
  return stbl_ ? stbl_->SetColorParameterType(type) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetColorParameterType(uint32_t* type) {
  return stbl_ ? stbl_->GetColorParameterType(type) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetPixelAspectRatio(uint32_t* horizontal, uint32_t* vertical) {
  return stbl_ ? stbl_->GetPixelAspectRatio(horizontal, vertical) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetAudioEndian(uint32_t* endian) {
  return stbl_ ? stbl_->GetAudioEndian(endian) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetTimeCodeCalculationInformation(uint32_t* flags,
                                                                 uint32_t* timeScale,
                                                                 uint8_t* numberOfFrames,
                                                                 char* reelName,
                                                                 uint32_t reelNameLength) {
  return stbl_ ? stbl_->GetTimeCodeCalculationInformation(flags, timeScale, numberOfFrames,
                                                          reelName, reelNameLength)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetTimeCodeRetrievalInformation(uint64_t* chunkOffset,
                                                               uint64_t* chunkSize,
                                                               uint64_t* offsetInChunk,
                                                               uint32_t* sampleSize) {
  return stbl_ ? stbl_->GetTimeCodeRetrievalInformation(chunkOffset, chunkSize, offsetInChunk,
                                                        sampleSize)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetTextSampleRetrievalInformationFromSampleIndex(
    uint32_t index, uint64_t* chunkOffset, uint64_t* chunkSize, uint64_t* offsetInChunk,
    uint32_t* sampleSize) {
  return stbl_ ? stbl_->GetTextSampleRetrievalInformationFromSampleIndex(
                     index, chunkOffset, chunkSize, offsetInChunk, sampleSize)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetTextSampleRetrievalInformationFromSampleIndex(
    uint32_t index, uint64_t* fileOffset, uint32_t* sampleSize) {
  return stbl_ ? stbl_->GetTextSampleRetrievalInformationFromSampleIndex(index, fileOffset,
                                                                         sampleSize)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetTavroMetadataSampleRetrievalInformationFromSampleIndex(
    uint32_t index, uint64_t* chunkOffset, uint64_t* chunkSize, uint64_t* offsetInChunk,
    uint32_t* sampleSize) {
  return stbl_ ? stbl_->GetTavroMetadataSampleRetrievalInformationFromSampleIndex(
                     index, chunkOffset, chunkSize, offsetInChunk, sampleSize)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetTavroMetadataSampleRetrievalInformationFromSampleIndex(
    uint32_t index, uint64_t* fileOffset, uint32_t* sampleSize) {
  return stbl_ ? stbl_->GetTavroMetadataSampleRetrievalInformationFromSampleIndex(index, fileOffset,
                                                                                  sampleSize)
               : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetTimeCodeTimeScale(uint32_t* timeScale) {
  return stbl_ ? stbl_->GetTimeCodeTimeScale(timeScale) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetTimeCodeFrameDuration(uint32_t* frameDuration) {
  return stbl_ ? stbl_->GetTimeCodeFrameDuration(frameDuration) : kQTLookupAbsent;
}

uint32_t MediaInformationAtom::GetTimeCodeNumberOfRealFramesPerSecond(uint8_t* framesPerSecond) {
  return stbl_ ? stbl_->GetTimeCodeNumberOfRealFramesPerSecond(framesPerSecond) : kQTLookupAbsent;
}

}  // namespace MavrelQuickTime64Atom
