#include "zqmftimeline/ZQMFAssetSourceMP4Reader.h"

#include <cstring>

#include "quicktime64/QuickTime64Results.h"
#include "quicktime64/QuickTimeFile.h"
#include "quicktime64/QuickTimeReader.h"
#include "zqfileio/FileIO.h"
#include "zqmf/zqmfParser.h"

using MavrelQuickTime64Atom::EditAtom;
using MavrelQuickTime64Atom::EditListAtom;
using MavrelQuickTime64Atom::MediaInformationAtom;
using MavrelQuickTime64Atom::MovieAtom;
using MavrelQuickTime64Atom::TrackAtom;
using MavrelQuickTime64Atom::UserDataAtom;

namespace {

// n/d in lowest terms, or its nearest fraction with 32-bit terms.
ZQMFRational Fraction(uint64_t n, uint64_t d) {
  if (d == 0) return ZQMFRational(0, 0);
  ZQMFRational::reduce(&n, &d, ZQMFRational::kLimit);
  return ZQMFRational(static_cast<int32_t>(n), static_cast<int32_t>(d));
}

}  // namespace

ZQMFAssetSourceMP4Reader::ZQMFAssetSourceMP4Reader() = default;

ZQMFAssetSourceMP4Reader::ZQMFAssetSourceMP4Reader(FileIO* source) : source_(source) {}

ZQMFAssetSourceMP4Reader::~ZQMFAssetSourceMP4Reader() { CloseSource(); }

ZQMF_LIB_ERROR ZQMFAssetSourceMP4Reader::OpenMovie(const std::string& path) {
  CloseSource();
  reader_ = std::make_unique<QuickTimeReader<SyncFileReader>>();
  uint32_t r = 0;
  if (source_ != nullptr) {
    r = reader_->Attach(source_);
    if (r == 0) r = reader_->Parse(false);
  } else {
    r = reader_->Open(path.c_str(), false);
  }
  FileIO* io = reader_->GetFileReader().fileIO();
  if (r == 0 && (io == nullptr || io->getFileSize(&fileSize_) != 0 || fileSize_ < 0)) {
    r = kQTReaderOpenFailed;
  }
  if (r != 0) {
    reader_.reset();
    fileSize_ = 0;
    // A file that cannot be opened at all, or one that is no movie we can read.
    return r == kQTReaderOpenFailed ? ZQMF_ERROR_MEMORY : ZQMF_LIB_ERROR_NO_SAMPLE;
  }
  return ZQMF_LIB_OK;
}

ZQMF_LIB_ERROR ZQMFAssetSourceMP4Reader::OpenMP4Source(const std::string& path) {
  if (ZQMF_LIB_ERROR r = OpenMovie(path); r != ZQMF_LIB_OK) return r;
  MovieAtom& movie = reader_->GetMovie();
  std::vector<uint32_t> indices;
  uint32_t samples = 0;
  uint32_t trackIndex = 0;
  if (movie.GetTavroMetadataTrackIndices(QuickTimeFile::TavroMetadataTelemetryComponentName,
                                         &indices) != 0 ||
      indices.empty() || movie.GetTavroMetadataNumberOfSamples(indices[0], &samples) != 0 ||
      samples == 0 ||
      movie.GetTrackIndexOfKind(FourCC("meta"), indices[0], &trackIndex) != kQTLookupSuccess) {
    CloseSource();
    return ZQMF_LIB_ERROR_NO_SAMPLE;
  }
  const TrackAtom& track = movie.Tracks()[trackIndex];
  const uint32_t timeScale = track.GetMedia().GetMediaHeader().TimeScale();
  if (timeScale == 0) {
    CloseSource();
    return ZQMF_LIB_ERROR_NO_SAMPLE;
  }
  metaIndex_ = indices[0];
  samples_ = samples;
  timeScale_ = timeScale;

  // Empty edits delay the track; the first edit with media says where its media starts.
  const uint32_t movieScale = movie.GetMovieHeader().TimeScale();
  const EditAtom* edts = track.GetEdit();
  const EditListAtom* elst = edts != nullptr ? edts->GetEditList() : nullptr;
  if (elst != nullptr) {
    for (const EditListAtom::EditListTableEntry& e : elst->Entries()) {
      if (e.MediaTime() != -1) {
        mediaStart_ = e.MediaTime();
        break;
      }
      if (movieScale != 0) editDelay_ += static_cast<double>(e.TrackDuration()) / movieScale;
    }
  }
  duration_ = Fraction(track.GetMedia().GetMediaHeader().Duration(), timeScale);
  return ZQMF_LIB_OK;
}

ZQMF_LIB_ERROR ZQMFAssetSourceMP4Reader::OpenMP4SourceUDTA(const std::string& path) {
  if (ZQMF_LIB_ERROR r = OpenMovie(path); r != ZQMF_LIB_OK) return r;
  const MovieAtom& movie = reader_->GetMovie();
  const UserDataAtom* udta = movie.GetUserData();
  if (udta == nullptr || udta->GetZQMF() == nullptr || udta->GetZQMF()->Payload().empty()) {
    CloseSource();
    return ZQMF_LIB_ERROR_NO_SAMPLE;
  }
  udta_ = true;
  udtaBlock_ = udta->GetZQMF()->Payload();
  duration_ = Fraction(movie.GetMovieHeader().Duration(), movie.GetMovieHeader().TimeScale());
  return ZQMF_LIB_OK;
}

uint32_t ZQMFAssetSourceMP4Reader::GetNumberPayloads() {
  if (!reader_) return 0;
  return udta_ ? 1 : samples_;
}

ZQMF_LIB_ERROR ZQMFAssetSourceMP4Reader::GetPayloadLocation(uint32_t index, uint64_t* offset,
                                                            uint32_t* size) {
  if (offset == nullptr || size == nullptr) return ZQMF_ERROR_MEMORY;
  *offset = 0;
  *size = 0;
  if (index >= GetNumberPayloads()) return ZQMF_LIB_ERROR_NO_SAMPLE;
  if (udta_) {
    *size = static_cast<uint32_t>(udtaBlock_.size());
    return ZQMF_LIB_OK;
  }
  if (reader_->GetMovie().GetTavroMetadataSampleRetrievalInformationFromSampleIndex(
          metaIndex_, index, offset, size) != kQTLookupSuccess) {
    return ZQMF_LIB_ERROR_PAYLOAD_UNREADABLE;  // tables that contradict themselves
  }
  return ZQMF_LIB_OK;
}

ZQMF_LIB_ERROR ZQMFAssetSourceMP4Reader::GetPayload(uint32_t index, std::vector<uint32_t>* words,
                                                    uint32_t* bytes) {
  if (words == nullptr || bytes == nullptr) return ZQMF_ERROR_MEMORY;
  uint64_t offset = 0;
  uint32_t size = 0;
  if (ZQMF_LIB_ERROR r = GetPayloadLocation(index, &offset, &size); r != ZQMF_LIB_OK) return r;
  if (udta_) {
    words->assign((udtaBlock_.size() + 3) / 4, 0);
    memcpy(words->data(), udtaBlock_.data(), udtaBlock_.size());
    *bytes = size;
    return ZQMF_LIB_OK;
  }
  // Checked before anything is allocated or read: the sample must lie inside the file.
  const uint64_t file = static_cast<uint64_t>(fileSize_);
  if (size > kMaxPayload || offset > file || size > file - offset) {
    return ZQMF_LIB_ERROR_PAYLOAD_UNREADABLE;
  }
  FileBuffer buffer;
  if (size != 0 && reader_->ReadBytes(buffer, static_cast<int64_t>(offset), size) != 0) {
    return ZQMF_LIB_ERROR_PAYLOAD_UNREADABLE;
  }
  words->assign((size + 3) / 4, 0);
  if (size != 0) memcpy(words->data(), buffer.Data(), size);
  *bytes = size;
  return ZQMF_LIB_OK;
}

uint32_t ZQMFAssetSourceMP4Reader::GetPayloadSize(uint32_t index) {
  uint64_t offset = 0;
  uint32_t size = 0;
  return GetPayloadLocation(index, &offset, &size) == ZQMF_LIB_OK ? size : 0;
}

ZQMF_LIB_ERROR ZQMFAssetSourceMP4Reader::GetPayloadTime(uint32_t index, double* start,
                                                        double* end) {
  if (start == nullptr || end == nullptr) return ZQMF_ERROR_MEMORY;
  if (index >= GetNumberPayloads()) return ZQMF_LIB_ERROR_NO_SAMPLE;
  if (udta_) {
    *start = kZQMFNoTime;
    *end = kZQMFNoTime;
    return ZQMF_LIB_OK;
  }
  uint32_t trackIndex = 0;
  MovieAtom& movie = reader_->GetMovie();
  movie.GetTrackIndexOfKind(FourCC("meta"), metaIndex_, &trackIndex);
  MediaInformationAtom* minf = movie.Tracks()[trackIndex].GetMediaInformation();
  int64_t time = 0;
  uint32_t duration = 0;
  if (minf == nullptr || minf->SampleTime(index, &time) != kQTLookupSuccess ||
      minf->SampleDuration(index, &duration) != kQTLookupSuccess) {
    return ZQMF_LIB_ERROR_PAYLOAD_UNREADABLE;  // no time-to-sample entry for it
  }
  *start = editDelay_ + static_cast<double>(time - mediaStart_) / timeScale_;
  *end = *start + static_cast<double>(duration) / timeScale_;
  return ZQMF_LIB_OK;
}

ZQMFRational ZQMFAssetSourceMP4Reader::GetDuration() { return duration_; }

ZQMF_LIB_ERROR ZQMFAssetSourceMP4Reader::GetVideoFrameRateAndCount(ZQMFRational* rate,
                                                                   uint32_t* frames) {
  if (rate == nullptr || frames == nullptr) return ZQMF_ERROR_MEMORY;
  if (!reader_) return ZQMF_LIB_ERROR_NO_SAMPLE;
  const MovieAtom& movie = reader_->GetMovie();
  uint32_t video = 0;
  if (movie.GetTrackIndexOfKind(FourCC("vide"), 0, &video) != kQTLookupSuccess) {
    return ZQMF_LIB_ERROR_NO_SAMPLE;
  }
  const TrackAtom& track = movie.Tracks()[video];
  MediaInformationAtom* minf = track.GetMediaInformation();
  uint32_t count = 0;
  const uint64_t duration = track.GetMedia().GetMediaHeader().Duration();
  if (minf == nullptr || minf->GetNumberOfSamples(&count) != kQTLookupSuccess || count == 0 ||
      duration == 0) {
    return ZQMF_LIB_ERROR_NO_SAMPLE;
  }
  *rate = Fraction(uint64_t{count} * track.GetMedia().GetMediaHeader().TimeScale(), duration);
  *frames = count;
  return ZQMF_LIB_OK;
}

void ZQMFAssetSourceMP4Reader::CloseSource() {
  reader_.reset();
  fileSize_ = 0;
  udta_ = false;
  udtaBlock_.clear();
  metaIndex_ = 0;
  samples_ = 0;
  timeScale_ = 0;
  mediaStart_ = 0;
  editDelay_ = 0;
  duration_ = ZQMFRational();
}

std::unique_ptr<ZQMFAssetSourceVideo> ZQMFDefaultVideoSource() {
  return std::make_unique<ZQMFAssetSourceMP4Reader>();
}
