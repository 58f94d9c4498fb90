// The sample table of a media: where each sample lies in the file, its size, its time and
// whether it is a key frame, and the lookups over them.
//
// `stsd`, `stsz`, `stsc` and `stco`/`co64` must be present; `stts`, `stss`, `ctts` and `sdtp`
// are optional. Sample indices are 0-based at this interface (1-based numbers in the file).
// Lookup results are the kQTLookup* codes: 1 for a null out-pointer, an index past its table
// or an inconsistent table, 2 for an absent atom, 8 when the request does not apply to the
// media, 10 when the media is not time code, 12 when a chunk's samples are inconsistent.
// The owner sets the media's handler subtype before reading.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLETABLEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLETABLEATOM_H_

#include <cstdint>
#include <set>
#include <vector>

#include "quicktime64/ChunkOffsetAtom.h"
#include "quicktime64/CompositionOffsetsAtom.h"
#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"
#include "quicktime64/SampleDependenciesAtom.h"
#include "quicktime64/SampleDescriptionAtom.h"
#include "quicktime64/SampleSizeAtom.h"
#include "quicktime64/SampleToChunkAtom.h"
#include "quicktime64/SoundSampleDescription.h"
#include "quicktime64/SyncSampleAtom.h"
#include "quicktime64/TimeCodeSampleDescription.h"
#include "quicktime64/TimeToSampleAtom.h"
#include "quicktime64/VideoSampleDescription.h"

namespace MavrelQuickTime64Atom {

class SampleTableAtom final : public QuickTimeAtomImpl<SampleTableAtom, QuickTimeAtom> {
 public:
  // The samples of one compressed-audio chunk (cached for sequential access).
  struct ChunkSampleTotalMapValue {
    uint64_t firstSample = 0;
    uint32_t sampleCount = 0;
    uint64_t byteTotal = 0;
    std::vector<uint32_t> sampleSizes;
    std::vector<uint64_t> sampleOffsets;  // offset of each sample inside the chunk
  };

  SampleTableAtom() : QuickTimeAtomImpl(FourCC("stbl")) {}

  uint32_t MediaType() const { return mediaType_; }
  void SetMediaType(uint32_t handlerSubtype);

  SampleDescriptionAtom& GetSampleDescriptionAtom() { return stsd_; }
  const SampleDescriptionAtom& GetSampleDescriptionAtom() const { return stsd_; }
  SampleSizeAtom& GetSampleSizeAtom() { return stsz_; }
  const SampleSizeAtom& GetSampleSizeAtom() const { return stsz_; }
  SampleToChunkAtom& GetSampleToChunkAtom() { return stsc_; }
  const SampleToChunkAtom& GetSampleToChunkAtom() const { return stsc_; }
  ChunkOffsetAtom& GetChunkOffsetAtom() { return stco_; }
  const ChunkOffsetAtom& GetChunkOffsetAtom() const { return stco_; }
  TimeToSampleAtom* GetTimeToSampleAtom() const { return stts_.get(); }
  SyncSampleAtom* GetSyncSampleAtom() const { return stss_.get(); }
  CompositionOffsetsAtom* GetCompositionOffsetsAtom() const { return ctts_.get(); }
  SampleDependenciesAtom* GetSampleDependenciesAtom() const { return sdtp_.get(); }
  TimeToSampleAtom& EnsureTimeToSampleAtom() { return stts_.Ensure(); }

  // Empties every table that places or times samples (sizes, chunks, offsets, times, sync,
  // composition offsets, dependencies), keeping the sample descriptions: the start of a
  // track that a writer fills chunk by chunk. The time-to-sample table stays, empty.
  void ClearSampleLayout();
  // Appends one chunk at `fileOffset` holding one sample per size, each lasting `duration`:
  // sizes go to `stsz` (constant form while all are equal), the count to `stsc`, the offset
  // to `stco` (`co64` once past 32 bits), the times to `stts`. 10 for an empty list or a
  // size of 0, and for a table without `stts`; nothing is changed then.
  uint32_t AppendChunk(uint64_t fileOffset, const std::vector<uint32_t>& sizes, uint32_t duration);

  // The chunk size of sample `index` (which is `sampleInChunk` of `samplesPerChunk`).
  uint32_t FindVideoChunkSize(uint32_t index, uint32_t sampleInChunk, uint32_t samplesPerChunk,
                              uint64_t* chunkSize);
  // The samples of the 0-based chunk `chunkIndex` of compressed audio.
  uint32_t GetChunkSamples(uint32_t chunkIndex, const ChunkSampleTotalMapValue** samples);

  // The operations the media information atoms forward (see MediaInformationAtom).
  uint32_t BuildOptimizationTable(bool force);
  uint32_t GetVideoSampleRetrievalInformationFromSampleTime(int64_t time, uint64_t* chunkOffset,
                                                            uint64_t* chunkSize,
                                                            uint64_t* offsetInChunk,
                                                            uint32_t* sampleSize);
  uint32_t GetVideoSampleRetrievalInformationFromSampleTime(int64_t time, uint64_t* fileOffset,
                                                            uint32_t* sampleSize);
  uint32_t GetVideoSampleRetrievalInformationFromSampleIndex(uint32_t index, uint64_t* chunkOffset,
                                                             uint64_t* chunkSize,
                                                             uint64_t* offsetInChunk,
                                                             uint32_t* sampleSize);
  uint32_t GetVideoSampleRetrievalInformationFromSampleIndex(uint32_t index, uint64_t* fileOffset,
                                                             uint32_t* sampleSize);
  uint32_t GetAudioFrameRetrievalInformationFromFrameIndex(uint32_t frame, uint64_t* chunkOffset,
                                                           uint64_t* chunkSize,
                                                           uint64_t* offsetInChunk,
                                                           uint32_t* frameSize);
  uint32_t GetAudioFrameRetrievalInformationFromFrameIndex(uint32_t frame, uint64_t* fileOffset,
                                                           uint32_t* frameSize);
  uint32_t GetAudioFrameRetrievalInformationFromChunkIndex(uint32_t chunkIndex,
                                                           uint64_t* chunkOffset,
                                                           uint64_t* chunkBytes,
                                                           uint32_t* samplesInChunk,
                                                           std::vector<uint32_t>* sampleSizes);
  uint32_t GetAudioSampleRetrievalInformationFromSampleIndex(uint32_t index, uint64_t* fileOffset,
                                                             uint32_t* size);
  uint32_t IsKeyFrame(uint32_t index, bool* isKey);
  uint32_t GetContentsOfSyncSampleTable(std::set<uint32_t>* numbers);
  uint32_t SetContentsOfSyncSampleTable(const std::set<uint32_t>& numbers);
  uint32_t AppendContentsOfSyncSampleTable(const std::set<uint32_t>& numbers);
  uint32_t GetContentsOfCompositionOffsetTable(
      std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>* entries);
  uint32_t SetContentsOfCompositionOffsetTable(
      const std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>& entries);
  uint32_t AppendContentsOfCompositionOffsetTable(
      const std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>& entries);
  uint32_t GetContentsOfSampleDependenciesTable(std::vector<uint8_t>* dependencies);
  uint32_t SetContentsOfSampleDependenciesTable(const std::vector<uint8_t>& dependencies);
  uint32_t AppendContentsOfSampleDependenciesTable(const std::vector<uint8_t>& dependencies);
  uint32_t GetContentsOfTimeToSampleTable(
      std::vector<TimeToSampleAtom::TimeToSampleTableEntry>* entries);
  uint32_t SetContentsOfTimeToSampleTable(
      const std::vector<TimeToSampleAtom::TimeToSampleTableEntry>& entries);
  uint32_t GetContentsOfSampleToChunkTable(
      std::vector<SampleToChunkAtom::SampleToChunkTableEntry>* entries);
  uint32_t SetContentsOfSampleToChunkTable(
      const std::vector<SampleToChunkAtom::SampleToChunkTableEntry>& entries);
  uint32_t ClearSampleSizeTable();
  uint32_t SetSamplesSize(const std::vector<uint32_t>& sizes);
  uint32_t AppendContentsOfTimeToSampleTable(
      const std::vector<TimeToSampleAtom::TimeToSampleTableEntry>& entries);
  uint32_t SampleIndex(int64_t time, uint32_t* index);
  uint32_t SampleTime(uint32_t index, int64_t* time);
  uint32_t SampleDuration(uint32_t index, uint32_t* duration);
  uint32_t GetMinimumAndMaximumDuration(uint32_t* minimum, uint32_t* maximum);
  uint32_t GetDataFormat(uint32_t* format);
  uint32_t GetVideoSampleSize(uint32_t index, uint32_t* size);
  uint32_t GetNumberOfSamples(uint32_t* count);
  uint32_t GetNumberOfChunks(uint32_t* count);
  uint32_t GetSampleDuration(uint32_t* duration);
  uint32_t GetSamplesPerChunk(uint32_t* count);
  uint32_t GetNumAudioChannels(uint32_t* channels);
  uint32_t GetAudioSampleRate(uint32_t* rate);
  uint32_t GetAudioBytesPerSample(uint32_t* bytes);
  uint32_t GetAudioBitsPerSample(uint32_t* bits);
  uint32_t GetAudioFrameSize(uint32_t* bytes);
  uint32_t GetColorMatrix(uint16_t* matrix);
  uint32_t SetColorParameterType(uint32_t type);
  uint32_t GetColorParameterType(uint32_t* type);
  uint32_t GetPixelAspectRatio(uint32_t* horizontal, uint32_t* vertical);
  uint32_t GetAudioEndian(uint32_t* endian);
  uint32_t GetTimeCodeCalculationInformation(uint32_t* flags, uint32_t* timeScale,
                                             uint8_t* numberOfFrames, char* reelName,
                                             uint32_t reelNameLength);
  uint32_t GetTimeCodeRetrievalInformation(uint64_t* chunkOffset, uint64_t* chunkSize,
                                           uint64_t* offsetInChunk, uint32_t* sampleSize);
  uint32_t GetTextSampleRetrievalInformationFromSampleIndex(uint32_t index, uint64_t* chunkOffset,
                                                            uint64_t* chunkSize,
                                                            uint64_t* offsetInChunk,
                                                            uint32_t* sampleSize);
  uint32_t GetTextSampleRetrievalInformationFromSampleIndex(uint32_t index, uint64_t* fileOffset,
                                                            uint32_t* sampleSize);
  uint32_t GetTavroMetadataSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                     uint64_t* chunkOffset,
                                                                     uint64_t* chunkSize,
                                                                     uint64_t* offsetInChunk,
                                                                     uint32_t* sampleSize);
  uint32_t GetTavroMetadataSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                     uint64_t* fileOffset,
                                                                     uint32_t* sampleSize);
  uint32_t GetTimeCodeTimeScale(uint32_t* timeScale);
  uint32_t GetTimeCodeFrameDuration(uint32_t* frameDuration);
  uint32_t GetTimeCodeNumberOfRealFramesPerSecond(uint8_t* framesPerSecond);

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "SampleTableAtom"; }

 private:
  bool IsPCM() const;
  // The first sound description when the media is sound; else null.
  SoundSampleDescription* Sound() const;
  VideoSampleDescription* Video() const;
  TimeCodeSampleDescription* TimeCode() const;

  uint32_t mediaType_ = 0;
  SampleDescriptionAtom stsd_;
  SampleSizeAtom stsz_;
  SampleToChunkAtom stsc_;
  ChunkOffsetAtom stco_;
  Owned<TimeToSampleAtom> stts_;
  Owned<SyncSampleAtom> stss_;
  Owned<CompositionOffsetsAtom> ctts_;
  Owned<SampleDependenciesAtom> sdtp_;
  // The last compressed-audio chunk looked up (uint32 max: none).
  uint32_t cachedChunkIndex_ = UINT32_MAX;
  ChunkSampleTotalMapValue cachedChunk_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLETABLEATOM_H_
