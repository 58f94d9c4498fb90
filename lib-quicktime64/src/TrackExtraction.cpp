// QuickTime64FileUtilities::ExtractTracks: a recording reduced to the chosen kinds of track,
// streamed to a sequential destination.
//
// The order of work follows from the destination: it cannot seek, so the whole movie must
// exist before the first byte goes out.
//   1. Parse the source and pick its tracks (first video track and its time code, the
//      audio tracks, the one telemetry track).
//   2. Plan: walk the samples in interleave groups of about half a second of video, look
//      each one up (it must lie inside the source file), and declare it to the writer at
//      its offset relative to the media data payload.
//   3. Finalise the movie, then size the header region from the finished tables and move
//      the offsets behind it, so the region always fits what is written.
//   4. Write the header region, the time code sample, then every planned sample in order.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "quicktime64/CGIBinWriter.h"
#include "quicktime64/QuickTime64FileUtilities.h"
#include "quicktime64/QuickTimeReader.h"
#include "zqfileio/FileIO.h"

using MavrelQuickTime64Atom::MediaInformationAtom;
using MavrelQuickTime64Atom::TimeToSampleAtom;
using MavrelQuickTime64Atom::TrackAtom;

namespace {

using Utilities = QuickTime64FileUtilities;
using Reader = QuickTimeReader<SyncFileReader>;
using Writer = CGIBinWriter<StdOutFileWriter>;

constexpr double kGroupSeconds = 0.5;
constexpr double kMetadataEverySeconds = 1.0;
constexpr uint64_t kHeaderSlack = 1024;
constexpr uint64_t kTimeCodeSampleSize = 4;
constexpr uint64_t kCopyBatch = 1u << 20;

uint32_t ReaderCode(uint32_t code) {
  return code == 0 || code >= 0x10000 ? code : QTReaderResult(code);
}

// One selected source track.
struct SourceTrack {
  uint32_t kind = 0;  // `vide`, `soun`, `meta`
  MediaInformationAtom* minf = nullptr;
  uint32_t samples = 0;
  uint32_t timeScale = 0;
  uint32_t next = 0;  // the next sample to plan

  bool Done() const { return next >= samples; }
  // Decoding time of sample `index` in seconds.
  double Time(uint32_t index) const {
    int64_t t = 0;
    if (minf->SampleTime(index, &t) != 0) return 0;
    return static_cast<double>(t) / timeScale;
  }
  uint32_t Locate(uint32_t index, uint64_t* offset, uint32_t* size) const {
    if (kind == FourCC("vide")) {
      return minf->GetVideoSampleRetrievalInformationFromSampleIndex(index, offset, size);
    }
    if (kind == FourCC("soun")) {
      return minf->GetAudioSampleRetrievalInformationFromSampleIndex(index, offset, size);
    }
    return minf->GetTavroMetadataSampleRetrievalInformationFromSampleIndex(index, offset, size);
  }
};

class Extraction {
 public:
  Extraction(FileIO* source, FileIO* destination, uint32_t flags,
             Utilities::ProgressCallback progress)
      : source_(source), writer_(nullptr, destination), flags_(flags), progress_(progress) {}

  ~Extraction() {
    writer_.Close();
    reader_.Close();
  }

  uint32_t Run() {
    uint32_t result = Open();
    if (result == 0) result = SelectTracks();
    if (result == 0) result = CreateTracks();
    if (result == 0) result = Plan();
    if (result == 0) result = Finish();
    if (result == 0) result = Copy();
    return result;
  }

 private:
  uint32_t Open() {
    int64_t size = 0;
    uint32_t result = reader_.Attach(source_);
    if (result == 0) result = source_->getFileSize(&size) == 0 ? 0 : kFIOFailure;
    if (result == 0) result = reader_.Parse(flags_ == Utilities::kExtractMetadata);
    if (result != 0) {
      result = ReaderCode(result);
      fprintf(stderr, "Failed to open the input file (%d)\n", static_cast<int>(result));
      return result;
    }
    sourceSize_ = static_cast<uint64_t>(size);
    return 0;
  }

  uint32_t Prepare(SourceTrack* track, uint32_t kind, uint32_t trackIndex) {
    track->kind = kind;
    track->minf = movie().GetTrack(trackIndex)->GetMediaInformation();
    if (track->minf == nullptr || !track->minf->HasSampleTableAtom()) {
      return Utilities::kExtractNoMediaInformation;
    }
    track->minf->GetNumberOfSamples(&track->samples);
    track->timeScale = movie().GetTrack(trackIndex)->GetMedia().GetMediaHeader().TimeScale();
    if (track->timeScale == 0) return QTReaderResult(kQTAtomMalformed);
    return 0;
  }

  uint32_t SelectTracks() {
    auto& m = movie();
    uint32_t result = 0;
    if ((flags_ & Utilities::kExtractVideo) != 0) {
      if (m.GetTrackIndexOfKind(FourCC("vide"), 0, &videoIndex_) != 0) {
        return Utilities::kExtractNoVideoTrack;
      }
      if ((result = Prepare(&video_, FourCC("vide"), videoIndex_)) != 0) return result;
      // A time code that cannot be read leaves the output without one.
      uint32_t tc = 0;
      if (m.GetVideoTimeCodeTrackIndex(&tc) == 0 && tc < m.GetNumberOfTracks() &&
          m.GetTrack(tc)->HandlerSubtype() == FourCC("tmcd") &&
          reader_.GetVideoTimeCode(&timeCode_, true) == 0) {
        timeCodeIndex_ = tc;
        haveTimeCode_ = true;
      }
    }
    if ((flags_ & Utilities::kExtractAudio) != 0) {
      audioTracks_ = m.CountTracksOfKind(FourCC("soun"));
      if (audioTracks_ > 0) {
        m.MapAudioTrackIndexToGlobalTrackIndex(0, &audioIndex_);
        if ((result = Prepare(&audio_, FourCC("soun"), audioIndex_)) != 0) return result;
        uint32_t format = 0;
        audio_.minf->GetDataFormat(&format);
        if (format != FourCC("mp4a")) return Utilities::kExtractUnsupportedAudio;
      }
    }
    if ((flags_ & Utilities::kExtractMetadata) != 0) {
      std::vector<uint32_t> ordinals;
      m.GetTavroMetadataTrackIndices(QuickTimeFile::TavroMetadataTelemetryComponentName, &ordinals);
      uint32_t sampleDuration = 0, timeScale = 0;
      if (ordinals.size() != 1 ||
          m.GetTavroMetadataFrameRate(ordinals[0], &sampleDuration, &timeScale) != 0 ||
          sampleDuration == 0 || timeScale == 0) {
        return Utilities::kExtractMetadataUnavailable;
      }
      m.GetTrackIndexOfKind(FourCC("meta"), ordinals[0], &metadataIndex_);
      if ((result = Prepare(&metadata_, FourCC("meta"), metadataIndex_)) != 0) return result;
      metadataSampleDuration_ = sampleDuration;
      int64_t start = 0;
      if (m.GetTavroMetadataMediaStart(ordinals[0], &start) == 0 && start > 0) {
        metadataStart_ = static_cast<double>(start) / timeScale;
      }
      haveMetadata_ = true;
    }
    bool haveVideo = video_.minf != nullptr, haveAudio = audio_.minf != nullptr;
    if (!haveVideo && !haveAudio && !haveMetadata_) return Utilities::kExtractNothingToWrite;
    hevc_ = SourceIsHevc();
    return 0;
  }

  // The major brand follows the recording, not the tracks kept: a copy of an HEVC recording is
  // `mp41` also when it holds only audio or telemetry. The recording's first video track
  // tells, parsed or, after a metadata-only read, looked at while it was skipped.
  bool SourceIsHevc() {
    auto& m = movie();
    uint32_t format = 0;
    uint32_t index = 0;
    if (m.GetTrackIndexOfKind(FourCC("vide"), 0, &index) == 0) {
      MediaInformationAtom* minf = m.GetTrack(index)->GetMediaInformation();
      if (minf == nullptr || minf->GetDataFormat(&format) != 0) format = 0;
    } else if (m.SkippedTrackHandler() == FourCC("vide")) {
      format = m.SkippedTrackFormat();
    }
    return format == FourCC("hvc1") || format == FourCC("hev1");
  }

  uint32_t CreateTracks() {
    auto& m = movie();
    if (m.GetUserData() != nullptr) writer_.GetMovie().SetUserData(*m.GetUserData());
    uint32_t result = 0;
    if (video_.minf != nullptr) {
      frameDuration_ =
          static_cast<uint32_t>(m.GetTrack(videoIndex_)->GetMedia().GetMediaHeader().Duration() /
                                std::max<uint32_t>(video_.samples, 1));
      result = writer_.CreateVideoTrack(
          *m.GetTrack(videoIndex_),
          hevc_ ? Utilities::kTavroVideoCodecNameHEVC : Utilities::kTavroVideoCodecNameAVC,
          hevc_ ? Utilities::kTavroVideoHandlerReferenceComponentNameHEVC
                : Utilities::kTavroVideoHandlerReferenceComponentNameAVC,
          nullptr);
      if (result != 0) return result;
      writer_.SetVideoFrameDuration(frameDuration_);
      writer_.SetDefaultVideoSampleDuration(frameDuration_);
      writer_.SetVideoTimeScale(video_.timeScale);
      if (haveTimeCode_ &&
          (result = writer_.PrepareWriterForVideoTimeCode(*m.GetTrack(timeCodeIndex_))) != 0) {
        return result;
      }
    }
    // Every source audio track gets an output track shaped like the first; only the first
    // carries samples.
    for (uint32_t i = 0; audio_.minf != nullptr && i < audioTracks_; ++i) {
      if ((result = writer_.CreateAudioTrack(*m.GetTrack(audioIndex_), nullptr)) != 0) {
        return result;
      }
    }
    if (haveMetadata_) {
      result = writer_.CreateTavroMetadataTrack(*m.GetTrack(metadataIndex_),
                                                QuickTimeFile::TavroMetadataTelemetryComponentName);
      if (result != 0) return result;
      writer_.SetMetadataSampleDuration(metadataSampleDuration_);
      writer_.SetDefaultMetadataSampleDuration(metadataSampleDuration_);
      writer_.SetMetadataTimeScale(metadata_.timeScale);
    }
    return 0;
  }

  // Looks up the next sample of `track`, declares it at the running payload offset and
  // records it in `group`.
  uint32_t Take(SourceTrack& track, std::vector<Utilities::WriteSessionValue>* group) {
    Utilities::WriteSessionValue value;
    value.sampleIndex = track.next;
    uint32_t result = track.Locate(track.next, &value.sourceOffset, &value.size);
    if (result != 0) return ReaderCode(result);
    if (value.size == 0 || value.sourceOffset > sourceSize_ ||
        value.size > sourceSize_ - value.sourceOffset) {
      return Utilities::kExtractSampleOutsideFile;
    }
    if (track.kind == FourCC("vide")) {
      result = writer_.SetVideoSampleRetrievalInformation(payload_, value.size, 0);
    } else if (track.kind == FourCC("soun")) {
      uint32_t duration = 0;
      track.minf->SampleDuration(track.next, &duration);
      result = writer_.SetCompressedAudioChunkRetrievalInformation(0, payload_, value.size,
                                                                   duration != 0 ? duration : 1);
    } else {
      result = writer_.SetTavroMetadataTelemetrySampleRetrievalInformation(payload_, value.size, 0);
    }
    if (result != 0) return result;
    payload_ += value.size;
    ++planned_;
    ++track.next;
    group->push_back(value);
    return 0;
  }

  uint32_t Plan() {
    if (haveTimeCode_) payload_ = kTimeCodeSampleSize;
    bool haveVideo = video_.minf != nullptr, haveAudio = audio_.minf != nullptr;
    double videoSampleSeconds =
        haveVideo ? static_cast<double>(frameDuration_) / video_.timeScale : 0;
    double clock = 0, lastMetadata = 0;
    uint32_t result = 0;
    while ((haveVideo && !video_.Done()) || (haveAudio && !audio_.Done()) ||
           (haveMetadata_ && !metadata_.Done())) {
      Utilities::WriteSessionValues group;
      uint32_t taken = 0;
      while (haveVideo && !video_.Done()) {
        if ((result = Take(video_, &group.video)) != 0) return result;
        ++taken;
        if ((taken + 1) * videoSampleSeconds >= kGroupSeconds) break;
      }
      if (haveAudio) {
        // Audio up to the start of the next video sample; without video (or once it is
        // all placed) half a second at a time.
        bool follow = haveVideo && !video_.Done();
        double until = follow ? video_.Time(video_.next) : 0;
        double groupStart = audio_.Done() ? 0 : audio_.Time(audio_.next);
        while (!audio_.Done()) {
          double t = audio_.Time(audio_.next);
          if (follow ? t >= until : t - groupStart >= kGroupSeconds) break;
          if ((result = Take(audio_, &group.audio)) != 0) return result;
        }
      }
      clock += kGroupSeconds;
      if (haveMetadata_ && !metadata_.Done()) {
        bool last = !(haveVideo && !video_.Done()) && !(haveAudio && !audio_.Done());
        double elapsed = clock - lastMetadata;
        if (last || elapsed >= kMetadataEverySeconds) {
          uint64_t count =
              last ? metadata_.samples
                   : static_cast<uint64_t>(elapsed * metadata_.timeScale / metadataSampleDuration_);
          for (uint64_t i = 0; i < count && !metadata_.Done(); ++i) {
            if ((result = Take(metadata_, &group.metadata)) != 0) return result;
          }
          if (count > 0) lastMetadata = clock;
        }
      }
      plan_.push_back(std::move(group));
    }
    return 0;
  }

  uint32_t Finish() {
    uint32_t result = 0;
    if (video_.minf != nullptr) {
      // The output holds every video sample in source order, so the per-sample tables
      // carry over unchanged.
      MediaInformationAtom* out = writer_.GetMovie().GetTrack(0)->GetMediaInformation();
      std::set<uint32_t> sync;
      if (video_.minf->GetContentsOfSyncSampleTable(&sync) == 0)
        out->SetContentsOfSyncSampleTable(sync);
      std::vector<MavrelQuickTime64Atom::CompositionOffsetsAtom::CompositionOffsetsTableEntry> ctts;
      if (video_.minf->GetContentsOfCompositionOffsetTable(&ctts) == 0) {
        out->SetContentsOfCompositionOffsetTable(ctts);
        CopyCompositionVersion(out);
      }
      std::vector<uint8_t> sdtp;
      if (video_.minf->GetContentsOfSampleDependenciesTable(&sdtp) == 0) {
        out->SetContentsOfSampleDependenciesTable(sdtp);
      }
      std::vector<TimeToSampleAtom::TimeToSampleTableEntry> stts;
      if (video_.minf->GetContentsOfTimeToSampleTable(&stts) == 0)
        out->SetContentsOfTimeToSampleTable(stts);
      if (haveTimeCode_ && (result = writer_.SetVideoTimeCode(0, &timeCode_)) != 0) return result;
    }
    result = writer_.FinalizeMoovAtom(0, 0, haveMetadata_ ? metadataStart_ : 0, 0);
    if (result != 0) return result;
    return writer_.PlaceMediaData(payload_, hevc_ ? FourCC("mp41") : FourCC("avc1"), kHeaderSlack,
                                  &headerRegion_);
  }

  // A composition table with negative offsets must keep its version when copied.
  void CopyCompositionVersion(MediaInformationAtom* out) {
    auto* from = video_.minf->GetSampleTable()->GetCompositionOffsetsAtom();
    auto* to = out->GetSampleTable()->GetCompositionOffsetsAtom();
    if (from != nullptr && to != nullptr) to->SetVersion(from->Version());
  }

  // Copies the planned samples of one kind. Samples that follow each other in the source
  // as well are read with one call (up to kCopyBatch bytes, or one sample when it is
  // larger), and the output is gathered into writes of up to kCopyBatch bytes: small audio
  // frames and telemetry samples cost neither a read nor a write (an HTTP chunk) each.
  uint32_t CopyKind(const std::vector<Utilities::WriteSessionValue>& values) {
    size_t i = 0;
    while (i < values.size()) {
      uint64_t start = values[i].sourceOffset, length = values[i].size;
      size_t j = i + 1;
      while (j < values.size() && values[j].sourceOffset == start + length &&
             length + values[j].size <= kCopyBatch) {
        length += values[j].size;
        ++j;
      }
      uint32_t result = reader_.ReadBytes(buffer_, static_cast<int64_t>(start), length);
      if (result != 0) return ReaderCode(result);
      if (gathered_ + length > kCopyBatch && (result = Flush()) != 0) return result;
      if (length >= kCopyBatch) {
        if ((result = writer_.WriteSamples(buffer_)) != 0) return result;
      } else {
        memcpy(gather_.Data() + gathered_, buffer_.Data(), length);
        gathered_ += length;
      }
      i = j;
    }
    return 0;
  }

  uint32_t Flush() {
    if (gathered_ == 0) return 0;
    gather_.SetDataSize(gathered_);
    gathered_ = 0;
    return writer_.WriteSamples(gather_);
  }

  uint32_t Copy() {
    uint32_t result = writer_.WriteFtypToMdatPrefix(payload_, headerRegion_,
                                                    hevc_ ? FourCC("mp41") : FourCC("avc1"));
    if (result != 0) return result;
    if (haveTimeCode_) {
      // The reader splits the stored frame number without drop-frame counting, so writing
      // it back the same way reproduces the source's number exactly.
      QuickTime64TimeCodeRecord plain = timeCode_;
      plain.dropFrame = false;
      if ((result = writer_.WriteVideoTimeCode(plain)) != 0) return result;
    }
    if (gather_.AllocData(kCopyBatch, kFileReaderBufferAlignment) != 0) {
      return QTWriterResult(kFileWriterAllocFailed);
    }
    uint64_t written = 0;
    bool reportedAll = false;
    for (const Utilities::WriteSessionValues& group : plan_) {
      // Each group goes out whole before its progress is reported.
      if ((result = CopyKind(group.video)) != 0 || (result = CopyKind(group.audio)) != 0 ||
          (result = CopyKind(group.metadata)) != 0 || (result = Flush()) != 0) {
        return result;
      }
      written += group.video.size() + group.audio.size() + group.metadata.size();
      if (progress_ != nullptr) {
        progress_("outputFile", static_cast<double>(written), static_cast<double>(planned_));
        reportedAll = written == planned_;
      }
    }
    if (progress_ != nullptr && !reportedAll) {
      double n = planned_ == 0 ? 1.0 : static_cast<double>(planned_);
      progress_("outputFile", n, n);
    }
    return 0;
  }

  MavrelQuickTime64Atom::MovieAtom& movie() { return reader_.GetMovie(); }

  FileIO* source_;
  Reader reader_;
  Writer writer_;
  uint32_t flags_;
  Utilities::ProgressCallback progress_;
  uint64_t sourceSize_ = 0;
  SourceTrack video_, audio_, metadata_;
  uint32_t videoIndex_ = 0, audioIndex_ = 0, metadataIndex_ = 0, timeCodeIndex_ = 0;
  uint32_t audioTracks_ = 0;
  uint32_t frameDuration_ = 0;
  bool hevc_ = false;
  bool haveTimeCode_ = false;
  bool haveMetadata_ = false;
  QuickTime64TimeCodeRecord timeCode_;
  uint32_t metadataSampleDuration_ = 0;
  double metadataStart_ = 0;
  uint64_t payload_ = 0;
  uint64_t planned_ = 0;
  uint64_t headerRegion_ = 0;
  std::vector<Utilities::WriteSessionValues> plan_;
  FileBuffer buffer_;  // one read from the source
  FileBuffer gather_;  // output gathered for one write
  uint64_t gathered_ = 0;
};

}  // namespace

uint32_t QuickTime64FileUtilities::ExtractTracks(FileIO* source, FileIO* destination,
                                                 uint32_t trackFlags, ProgressCallback progress) {
  trackFlags &= kExtractVideo | kExtractAudio | kExtractMetadata;
  if (source == nullptr || destination == nullptr || trackFlags == 0) return kExtractWriterNotReady;
  auto extraction = std::make_unique<Extraction>(source, destination, trackFlags, progress);
  return extraction->Run();
}

uint32_t QuickTime64FileUtilities::ExtractTracks(const std::string& sourcePath,
                                                 const std::string& destinationPath,
                                                 uint32_t trackFlags, ProgressCallback progress) {
  FileIO source;
  if (source.openRead(sourcePath.c_str()) != 0) {
    fprintf(stderr, "WHOA\n");
    return kQTReaderBit;
  }
  FileIO destination;
  if (destination.openWrite(destinationPath.c_str(), kFIOWriteTruncate) != 0) {
    return kExtractWriterNotReady;
  }
  uint32_t result = ExtractTracks(&source, &destination, trackFlags, progress);
  destination.close();
  source.close();
  return result;
}
