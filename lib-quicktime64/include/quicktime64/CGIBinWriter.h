// The streaming MP4 writer: produces a complete MP4 on a strictly sequential output (an HTTP
// chunked response, standard output) without ever seeking back.
//
// Since nothing can be patched once sent, the whole movie is built in memory first: the
// caller creates the tracks, declares every sample's place in the future media data, and
// finalises the movie; then the writer emits the header region in one write:
//
//   | ftyp | moov | free (pads the region to its fixed size, >= 9 bytes) | mdat header |
//
// followed by the sample bytes, which the caller writes in exactly the declared order. The
// `mdat` header is 8 bytes, or 16 when the media data passes 4 GiB; chunk offsets above
// 32 bits turn a track's `stco` into `co64`.
//
// Offsets may be declared either as final file offsets, or relative to the start of the
// media data payload and then placed with PlaceMediaData, which sizes the header region from
// the finished tables (so the region always fits what is really written).
//
// Tracks are created from a model track of a parsed movie: its header, media header, handler
// and sample descriptions are kept (so the decoder configuration travels unchanged), its
// sample tables, edits and references are dropped and rebuilt by the declarations. Track IDs
// are given in creation order from 1.
//
// Results: 0 success; 0x20000 the writer is not in a state for the call (not initialised,
// the needed track not created, no sample duration, a second time code declaration);
// 0x20000 | code for a failure of the output or of an atom; 0x20001 no room for the `free`
// atom (and, when finalising, a time code track without a video track); 0x20002 a track
// without media information; 0x20008 an edit list that already holds entries; 0x2000a a time
// code track without its tables; 3 the movie is not finalised (or is already), or the
// metadata track is not unique; 4 a null argument.
//
// `StreamWriter` is StdOutFileWriter. One thread uses a writer at a time.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_CGIBINWRITER_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_CGIBINWRITER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "quicktime64/QuickTime64TimeCodeRecord.h"
#include "quicktime64/QuickTimeFile.h"
#include "zqfileio/FileBuffer.h"
#include "zqfileio/StdOutFileWriter.h"

class FileIO;
class FileIOAllocator;

template <class StreamWriter>
class CGIBinWriter : public QuickTimeFile {
 public:
  // A new movie (creation time now) bound to `destination` (borrowed; it stays open and the
  // caller's, and must outlive the writer). `allocator` may be null.
  CGIBinWriter(FileIOAllocator* allocator, FileIO* destination);
  ~CGIBinWriter() override;

  // Track creation. Each copies `model` (a track of a parsed movie) without its sample
  // tables and edits. 0x20000 for a second video, time code or metadata track, or a model
  // of the wrong kind; 0x20002 for a model without media information.
  //
  // The video track takes `handlerName` as its handler name and `compressorName` in its
  // sample description (either left as in the model when empty).
  uint32_t CreateVideoTrack(const MavrelQuickTime64Atom::TrackAtom& model,
                            const std::string& compressorName, const std::string& handlerName,
                            uint32_t* trackIndex);
  // Every call adds one more `soun` track; `audioTrack` receives its position among them.
  uint32_t CreateAudioTrack(const MavrelQuickTime64Atom::TrackAtom& model, uint32_t* audioTrack);
  // A `meta` track named `handlerName`; refused when one with that name exists.
  uint32_t CreateTavroMetadataTrack(const MavrelQuickTime64Atom::TrackAtom& model,
                                    const std::string& handlerName);
  // A `tmcd` track (needs the video track), referenced from the video track.
  uint32_t PrepareWriterForVideoTimeCode(const MavrelQuickTime64Atom::TrackAtom& model);

  // Timing used when finalising (1 at construction) and the default sample durations of the
  // declarations (0 at construction: each declaration must then pass its own).
  void SetVideoFrameDuration(uint32_t v) { videoFrameDuration_ = v; }
  void SetVideoTimeScale(uint32_t v) { videoTimeScale_ = v; }
  void SetDefaultVideoSampleDuration(uint32_t v) { defaultVideoSampleDuration_ = v; }
  void SetMetadataSampleDuration(uint32_t v) { metadataSampleDuration_ = v; }
  void SetMetadataTimeScale(uint32_t v) { metadataTimeScale_ = v; }
  void SetDefaultMetadataSampleDuration(uint32_t v) { defaultMetadataSampleDuration_ = v; }

  // Declarations: each appends one chunk at `fileOffset`. A sample lasts the default
  // duration when one is set, else `sampleDuration` (both 0: 0x20000). A size of 0 is
  // refused (0x2000a).
  uint32_t SetVideoSampleRetrievalInformation(uint64_t fileOffset, uint32_t sampleSize,
                                              uint32_t sampleDuration);
  uint32_t SetCompressedAudioChunkRetrievalInformation(uint32_t audioTrack, uint64_t fileOffset,
                                                       uint32_t sampleDuration,
                                                       const std::vector<uint32_t>& sampleSizes);
  uint32_t SetCompressedAudioChunkRetrievalInformation(uint32_t audioTrack, uint64_t fileOffset,
                                                       uint32_t sampleSize,
                                                       uint32_t sampleDuration);
  uint32_t SetTavroMetadataTelemetrySampleRetrievalInformation(uint64_t fileOffset,
                                                               uint32_t sampleSize,
                                                               uint32_t sampleDuration);
  // The single 4-byte time code sample at `fileOffset`, and the record's reel name. Once.
  uint32_t SetVideoTimeCode(uint64_t fileOffset, const QuickTime64TimeCodeRecord* record);

  // Durations and edit lists of every track (times in seconds; a maximum of 0 means none),
  // then the movie is final: no more declarations. 3 when already finalised.
  uint32_t FinalizeMoovAtom(double videoStart, double audioStart, double metadataStart,
                            double maximumDuration);

  // `moov` size + 36: the smallest header region (20-byte `ftyp`, 8-byte `free`, 8-byte
  // `mdat` header). 4 for a null pointer.
  uint32_t GetTotalAtomStructureSize(uint64_t* size) const;

  // For offsets declared relative to the media data payload: sizes the header region as
  // ftyp + moov + mdat header + a `free` atom of 8 + `slack` bytes (slack >= 1), with the
  // tables as they will be written (64-bit offsets included), and moves every chunk offset
  // behind it. Once, after finalising. `majorBrand` as for WriteFtypToMdatPrefix.
  uint32_t PlaceMediaData(uint64_t mdatPayloadSize, uint32_t majorBrand, uint64_t slack,
                          uint64_t* headerRegionSize);

  // Writes ftyp, moov, free and the mdat header as one piece of `headerRegionSize` bytes.
  // A non-zero `majorBrand` becomes the major brand and joins the compatible brands (`qt  `
  // without one). The mdat size is payload + 8 (+ 16 above 32 bits); a payload of 8 bytes
  // or less gives size 0. 3 unless finalised; 0x20001 when the region leaves under 9 bytes
  // for `free` (nothing is written).
  uint32_t WriteFtypToMdatPrefix(uint64_t mdatPayloadSize, uint64_t headerRegionSize,
                                 uint32_t majorBrand);
  // The 4-byte big-endian frame number of `record` at the time code track's frames per
  // second, drop-frame counted when the record says so.
  uint32_t WriteVideoTimeCode(const QuickTime64TimeCodeRecord& record);
  // The buffer's data bytes as they are (the tables were declared beforehand). 0x20000 when
  // the header region has not been written or the kind of track was not created;
  // 0x20004 when the output fails (the output is then truncated).
  uint32_t WriteVideoSample(FileBuffer& buffer);
  uint32_t WriteCompressedAudioFrames(FileBuffer& buffer);
  uint32_t WriteTavroMetadataTelemetrySample(FileBuffer& buffer);
  // The bytes of several declared samples (of any kinds) that follow each other in the
  // declared order, in one write. Same results as above.
  uint32_t WriteSamples(FileBuffer& buffer);
  // Closes the stream writer (never the destination FileIO).
  uint32_t Close();

  // Bytes sent so far.
  uint64_t BytesWritten() { return static_cast<uint64_t>(stream_.GetFilePos()); }
  bool IsFinalized() const { return finalized_; }
  // The frame number WriteVideoTimeCode writes for `record` at `framesPerSecond`.
  static uint32_t TimeCodeFrameNumber(const QuickTime64TimeCodeRecord& record,
                                      uint32_t framesPerSecond);

 private:
  MavrelQuickTime64Atom::TrackAtom* AddTrackFrom(const MavrelQuickTime64Atom::TrackAtom& model);
  MavrelQuickTime64Atom::SampleTableAtom* TableOf(uint32_t trackIndex) const;
  uint32_t AppendChunk(uint32_t trackIndex, uint64_t fileOffset, const std::vector<uint32_t>& sizes,
                       uint32_t duration);
  uint32_t MetadataTrackIndex(uint32_t* trackIndex) const;
  uint32_t FinalizeVideo(double videoStart, double maximumDuration);
  uint32_t FinalizeAudio(double audioStart, double maximumDuration);
  uint32_t FinalizeTimeCode();
  uint32_t FinalizeMetadata(double metadataStart, double maximumDuration);
  MavrelQuickTime64Atom::FtypAtom FtypToWrite(uint32_t majorBrand) const;
  uint32_t WriteData(FileBuffer& buffer, bool trackCreated);

  StreamWriter stream_;
  FileIOAllocator* allocator_;
  bool initialised_ = true;
  bool finalized_ = false;
  bool placed_ = false;
  bool prefixWritten_ = false;
  bool videoCreated_ = false;
  bool audioCreated_ = false;
  bool timeCodeCreated_ = false;
  bool metadataCreated_ = false;
  bool timeCodeDeclared_ = false;
  uint32_t videoTrack_ = 0;
  uint32_t timeCodeTrack_ = 0;
  std::vector<uint32_t> audioTracks_;  // track indices of the `soun` tracks, in order
  uint32_t videoFrameDuration_ = 1;
  uint32_t videoTimeScale_ = 1;
  uint32_t defaultVideoSampleDuration_ = 0;
  uint32_t metadataSampleDuration_ = 1;
  uint32_t metadataTimeScale_ = 1;
  uint32_t defaultMetadataSampleDuration_ = 0;
};

extern template class CGIBinWriter<StdOutFileWriter>;

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_CGIBINWRITER_H_
