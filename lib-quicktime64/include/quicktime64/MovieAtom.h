// The movie (`moov`): the movie header, the tracks in file order, the user data, and every
// other child kept as bytes keyed by type (the first of a type wins). Written in a fixed
// order: `mvhd`, the tracks, `udta`, then the other children by ascending type.
//
// Track selection: video, text and metadata lookups take an ordinal among the tracks of that
// handler subtype (0 = the first such track); audio lookups take an audio track index, the
// position among the `soun` tracks. Results are the kQTLookup* codes.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MOVIEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MOVIEATOM_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "quicktime64/MovieHeaderAtom.h"
#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"
#include "quicktime64/TrackAtom.h"
#include "quicktime64/UnparsedAtom.h"
#include "quicktime64/UserDataAtom.h"

namespace MavrelQuickTime64Atom {

class MovieAtom final : public QuickTimeAtomImpl<MovieAtom, QuickTimeAtom> {
 public:
  MovieAtom() : QuickTimeAtomImpl(FourCC("moov")) {}

  // Read(buffer, onlyMetadataTracks): with the flag set, the first track is skipped without
  // being parsed and only tracks whose handler subtype is `meta` are kept. A movie without
  // any kept track is malformed.

  // What the track skipped by a metadata-only read was, from a look at its handler reference
  // and its first sample description (no table is read): the handler subtype (`vide`) and the
  // data format (`avc1`, `hvc1`, ...); 0 when nothing was skipped or the look found nothing.
  uint32_t SkippedTrackHandler() const { return skippedHandler_; }
  uint32_t SkippedTrackFormat() const { return skippedFormat_; }

  MovieHeaderAtom& GetMovieHeader() { return mvhd_; }
  const MovieHeaderAtom& GetMovieHeader() const { return mvhd_; }
  std::vector<TrackAtom>& Tracks() { return tracks_; }
  const std::vector<TrackAtom>& Tracks() const { return tracks_; }
  uint32_t GetNumberOfTracks() const { return static_cast<uint32_t>(tracks_.size()); }
  TrackAtom* GetTrack(uint32_t index);
  void AddTrack(TrackAtom track) { tracks_.push_back(std::move(track)); }
  UserDataAtom* GetUserData() const { return udta_.get(); }
  UserDataAtom& EnsureUserData() { return udta_.Ensure(); }
  void SetUserData(const UserDataAtom& udta) { udta_.Ensure() = udta; }
  const std::map<uint32_t, UnparsedAtom>& Unparsed() const { return unparsed_; }

  // The index (file order) of the ordinal-th track of handler subtype `subtype`.
  uint32_t GetTrackIndexOfKind(uint32_t subtype, uint32_t ordinal, uint32_t* trackIndex) const;
  // The number of tracks of handler subtype `subtype`.
  uint32_t CountTracksOfKind(uint32_t subtype) const;

  uint32_t GetVideoSampleRetrievalInformationFromSampleIndex(uint32_t videoTrack, uint32_t index,
                                                             uint64_t* fileOffset,
                                                             uint32_t* sampleSize);
  uint32_t GetVideoSampleRetrievalInformationFromSampleTime(uint32_t videoTrack, int64_t time,
                                                            uint64_t* fileOffset,
                                                            uint32_t* sampleSize);
  uint32_t IsKeyFrame(uint32_t videoTrack, uint32_t index, bool* isKey);
  uint32_t GetTextSampleRetrievalInformationFromSampleIndex(uint32_t textTrack, uint32_t index,
                                                            uint64_t* fileOffset,
                                                            uint32_t* sampleSize);
  uint32_t GetTavroMetadataSampleRetrievalInformationFromSampleIndex(uint32_t metaIndex,
                                                                     uint32_t index,
                                                                     uint64_t* fileOffset,
                                                                     uint32_t* sampleSize);
  // The audioIndex-th `soun` track; 1 when there are fewer.
  uint32_t MapAudioTrackIndexToGlobalTrackIndex(uint32_t audioIndex, uint32_t* trackIndex) const;
  uint32_t GetAudioSampleRetrievalInformationFromSampleIndex(uint32_t audioTrack, uint32_t index,
                                                             uint64_t* fileOffset, uint32_t* size);
  uint32_t GetAudioFrameRetrievalInformationFromChunkIndex(uint32_t audioTrack, uint32_t chunkIndex,
                                                           uint64_t* chunkOffset,
                                                           uint64_t* chunkBytes,
                                                           uint32_t* samplesInChunk,
                                                           std::vector<uint32_t>* sampleSizes);

  // Ordinals (among `meta` tracks) of the metadata tracks whose handler name (its first 511
  // characters) contains `name`.
  uint32_t GetTavroMetadataTrackIndices(const std::string& name, std::vector<uint32_t>* indices);
  uint32_t GetTavroMetadataNumberOfSamples(uint32_t metaIndex, uint32_t* count);
  // Sample duration = media duration / number of samples (2 without samples), and the media
  // time scale.
  uint32_t GetTavroMetadataFrameRate(uint32_t metaIndex, uint32_t* sampleDuration,
                                     uint32_t* timeScale);
  // The media time where the metadata track's edit list starts it: the first entry's media
  // time, or the second's when the first is an empty edit. Without edits 0; with an edit
  // atom but no list, start 0 and 2; with an empty list, start 0 and 1.
  uint32_t GetTavroMetadataMediaStart(uint32_t metaIndex, int64_t* start);
  uint32_t GetTavroMetadataContentsOfTimeToSampleTable(
      uint32_t metaIndex, std::vector<TimeToSampleAtom::TimeToSampleTableEntry>* entries);

  // The time code track named by the first video track's `tmcd` reference (track ID - 1).
  uint32_t GetVideoTimeCodeTrackIndex(uint32_t* trackIndex) const;
  uint32_t GetTimeCodeTimeScale(uint32_t* timeScale);
  uint32_t GetTimeCodeFrameDuration(uint32_t* frameDuration);
  uint32_t GetTimeCodeNumberOfRealFramesPerSecond(uint8_t* framesPerSecond);

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "MovieAtom"; }

 private:
  // The media information of the ordinal-th track of `subtype`: 0, `missing` when there is
  // no such track, 2 when it has no media information.
  uint32_t MediaOfKind(uint32_t subtype, uint32_t ordinal, uint32_t missing,
                       MediaInformationAtom** minf) const;
  uint32_t TimeCodeMedia(MediaInformationAtom** minf) const;

  MovieHeaderAtom mvhd_;
  std::vector<TrackAtom> tracks_;
  Owned<UserDataAtom> udta_;
  std::map<uint32_t, UnparsedAtom> unparsed_;
  uint32_t skippedHandler_ = 0;
  uint32_t skippedFormat_ = 0;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MOVIEATOM_H_
