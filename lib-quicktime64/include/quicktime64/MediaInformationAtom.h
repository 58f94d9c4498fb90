// The media information atom (`minf`): the media's own header (video, sound or base media),
// a data handler reference, the data information and the sample table. Which subclass reads
// a `minf` follows the media's handler subtype.
//
// The lookups below all operate on the sample table and forward to it (kQTLookupAbsent when
// the media has none); the sample table answers kQTLookupNotApplicable for a request that
// does not fit its media (audio parameters of a video track, for one).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MEDIAINFORMATIONATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MEDIAINFORMATIONATOM_H_

#include <cstdint>
#include <set>
#include <vector>

#include "quicktime64/DataInformationAtom.h"
#include "quicktime64/HandlerReferenceAtom.h"
#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"
#include "quicktime64/SampleTableAtom.h"

namespace MavrelQuickTime64Atom {

class MediaInformationAtom : public QuickTimeAtom {
 public:
  // The media's handler subtype (`vide`, `soun`, `tmcd`, `text`, `meta`).
  virtual uint32_t GetActualType() const { return mediaType_; }
  virtual uint32_t BuildOptimizationTable(bool force);
  virtual uint32_t GetVideoSampleRetrievalInformationFromSampleTime(int64_t time,
                                                                    uint64_t* chunkOffset,
                                                                    uint64_t* chunkSize,
                                                                    uint64_t* offsetInChunk,
                                                                    uint32_t* sampleSize);
  virtual uint32_t GetVideoSampleRetrievalInformationFromSampleTime(int64_t time,
                                                                    uint64_t* fileOffset,
                                                                    uint32_t* sampleSize);
  virtual uint32_t GetVideoSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                     uint64_t* chunkOffset,
                                                                     uint64_t* chunkSize,
                                                                     uint64_t* offsetInChunk,
                                                                     uint32_t* sampleSize);
  virtual uint32_t GetVideoSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                     uint64_t* fileOffset,
                                                                     uint32_t* sampleSize);
  virtual uint32_t GetAudioFrameRetrievalInformationFromFrameIndex(uint32_t frame,
                                                                   uint64_t* chunkOffset,
                                                                   uint64_t* chunkSize,
                                                                   uint64_t* offsetInChunk,
                                                                   uint32_t* frameSize);
  virtual uint32_t GetAudioFrameRetrievalInformationFromFrameIndex(uint32_t frame,
                                                                   uint64_t* fileOffset,
                                                                   uint32_t* frameSize);
  virtual uint32_t GetAudioFrameRetrievalInformationFromChunkIndex(
      uint32_t chunkIndex, uint64_t* chunkOffset, uint64_t* chunkBytes, uint32_t* samplesInChunk,
      std::vector<uint32_t>* sampleSizes);
  virtual uint32_t GetAudioSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                     uint64_t* fileOffset,
                                                                     uint32_t* size);
  virtual uint32_t IsKeyFrame(uint32_t index, bool* isKey);
  virtual uint32_t GetContentsOfSyncSampleTable(std::set<uint32_t>* numbers);
  virtual uint32_t SetContentsOfSyncSampleTable(const std::set<uint32_t>& numbers);
  virtual uint32_t AppendContentsOfSyncSampleTable(const std::set<uint32_t>& numbers);
  virtual uint32_t GetContentsOfCompositionOffsetTable(
      std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>* entries);
  virtual uint32_t SetContentsOfCompositionOffsetTable(
      const std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>& entries);
  virtual uint32_t AppendContentsOfCompositionOffsetTable(
      const std::vector<CompositionOffsetsAtom::CompositionOffsetsTableEntry>& entries);
  virtual uint32_t GetContentsOfSampleDependenciesTable(std::vector<uint8_t>* dependencies);
  virtual uint32_t SetContentsOfSampleDependenciesTable(const std::vector<uint8_t>& dependencies);
  virtual uint32_t AppendContentsOfSampleDependenciesTable(
      const std::vector<uint8_t>& dependencies);
  virtual uint32_t GetContentsOfTimeToSampleTable(
      std::vector<TimeToSampleAtom::TimeToSampleTableEntry>* entries);
  virtual uint32_t SetContentsOfTimeToSampleTable(
      const std::vector<TimeToSampleAtom::TimeToSampleTableEntry>& entries);
  virtual uint32_t GetContentsOfSampleToChunkTable(
      std::vector<SampleToChunkAtom::SampleToChunkTableEntry>* entries);
  virtual uint32_t SetContentsOfSampleToChunkTable(
      const std::vector<SampleToChunkAtom::SampleToChunkTableEntry>& entries);
  virtual uint32_t ClearSampleSizeTable();
  virtual uint32_t SetSamplesSize(const std::vector<uint32_t>& sizes);
  virtual uint32_t AppendContentsOfTimeToSampleTable(
      const std::vector<TimeToSampleAtom::TimeToSampleTableEntry>& entries);
  virtual uint32_t SampleIndex(int64_t time, uint32_t* index);
  virtual uint32_t SampleTime(uint32_t index, int64_t* time);
  virtual uint32_t SampleDuration(uint32_t index, uint32_t* duration);
  virtual uint32_t GetMinimumAndMaximumDuration(uint32_t* minimum, uint32_t* maximum);
  virtual uint32_t GetDataFormat(uint32_t* format);
  virtual uint32_t GetVideoSampleSize(uint32_t index, uint32_t* size);
  virtual uint32_t GetNumberOfSamples(uint32_t* count);
  virtual uint32_t GetNumberOfChunks(uint32_t* count);
  virtual uint32_t GetSampleDuration(uint32_t* duration);
  virtual uint32_t GetSamplesPerChunk(uint32_t* count);
  virtual uint32_t GetNumAudioChannels(uint32_t* channels);
  virtual uint32_t GetAudioSampleRate(uint32_t* rate);
  virtual uint32_t GetAudioBytesPerSample(uint32_t* bytes);
  virtual uint32_t GetAudioBitsPerSample(uint32_t* bits);
  virtual uint32_t GetAudioFrameSize(uint32_t* bytes);
  virtual uint32_t GetColorMatrix(uint16_t* matrix);
  virtual uint32_t SetColorParameterType(uint32_t type);
  virtual uint32_t GetColorParameterType(uint32_t* type);
  virtual uint32_t GetPixelAspectRatio(uint32_t* horizontal, uint32_t* vertical);
  virtual uint32_t GetAudioEndian(uint32_t* endian);
  virtual uint32_t GetTimeCodeCalculationInformation(uint32_t* flags, uint32_t* timeScale,
                                                     uint8_t* numberOfFrames, char* reelName,
                                                     uint32_t reelNameLength);
  virtual uint32_t GetTimeCodeRetrievalInformation(uint64_t* chunkOffset, uint64_t* chunkSize,
                                                   uint64_t* offsetInChunk, uint32_t* sampleSize);
  virtual uint32_t GetTextSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                    uint64_t* chunkOffset,
                                                                    uint64_t* chunkSize,
                                                                    uint64_t* offsetInChunk,
                                                                    uint32_t* sampleSize);
  virtual uint32_t GetTextSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                    uint64_t* fileOffset,
                                                                    uint32_t* sampleSize);
  virtual uint32_t GetTavroMetadataSampleRetrievalInformationFromSampleIndex(
      uint32_t index, uint64_t* chunkOffset, uint64_t* chunkSize, uint64_t* offsetInChunk,
      uint32_t* sampleSize);
  virtual uint32_t GetTavroMetadataSampleRetrievalInformationFromSampleIndex(uint32_t index,
                                                                             uint64_t* fileOffset,
                                                                             uint32_t* sampleSize);
  virtual uint32_t GetTimeCodeTimeScale(uint32_t* timeScale);
  virtual uint32_t GetTimeCodeFrameDuration(uint32_t* frameDuration);
  virtual uint32_t GetTimeCodeNumberOfRealFramesPerSecond(uint8_t* framesPerSecond);
  virtual bool HasSampleTableAtom() const { return static_cast<bool>(stbl_); }

  // Set by the media before reading; passed on to the sample table.
  void SetMediaType(uint32_t handlerSubtype);
  HandlerReferenceAtom* GetHandlerReference() const { return hdlr_.get(); }
  HandlerReferenceAtom& EnsureHandlerReference() { return hdlr_.Ensure(); }
  DataInformationAtom* GetDataInformation() const { return dinf_.get(); }
  DataInformationAtom& EnsureDataInformation() { return dinf_.Ensure(); }
  SampleTableAtom* GetSampleTable() const { return stbl_.get(); }
  SampleTableAtom& EnsureSampleTable();

 protected:
  MediaInformationAtom() : QuickTimeAtom(FourCC("minf")) {}

  // The media header child: its type, the object (null when absent) and how to read it.
  virtual const QuickTimeAtom* MediaHeader() const = 0;
  virtual uint32_t ReadMediaHeader(FileBuffer& buffer, size_t firstChild) = 0;

  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;

  uint32_t mediaType_ = 0;
  Owned<HandlerReferenceAtom> hdlr_;
  Owned<DataInformationAtom> dinf_;
  Owned<SampleTableAtom> stbl_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MEDIAINFORMATIONATOM_H_
