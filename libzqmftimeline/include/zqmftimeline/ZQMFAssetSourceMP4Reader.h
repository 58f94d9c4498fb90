// The video source over the MP4 library's reader: the samples of a recording's telemetry track
// (the `meta` track whose handler name contains "Tavro MET"), each a payload with its span of
// time, or the ZQMF atom of the movie's user data as one payload without time.
//
// Times: a sample at media time t (the track's time scale) starts at
//   (empty edits before the track's first edit, in seconds of the movie's time scale)
//   + (t - the media time the edit list starts at) / the track's time scale,
// so the samples line up with the video as a player presents them. Payloads are read from the
// file on demand; a sample that lies outside the file, or is larger than kMaxPayload, gives
// ZQMF_LIB_ERROR_PAYLOAD_UNREADABLE.
//
// Opening results: 0; ZQMF_ERROR_MEMORY (1) when the file cannot be opened;
// ZQMF_LIB_ERROR_NO_SAMPLE when it is not a movie this reader can parse or has no such track
// (or no user-data ZQMF atom, or an empty one).
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEMP4READER_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEMP4READER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zqmftimeline/ZQMFAssetSourceVideo.h"

class FileIO;
class SyncFileReader;
template <class Reader>
class QuickTimeReader;

class ZQMFAssetSourceMP4Reader final : public ZQMFAssetSourceVideo {
 public:
  // A telemetry sample larger than this is taken as damage, not read.
  static constexpr uint32_t kMaxPayload = 16u << 20;

  // Opens the paths it is given.
  ZQMFAssetSourceMP4Reader();
  // Reads through `source` (borrowed, must stay open while used) whatever path it is given:
  // for recordings already in memory.
  explicit ZQMFAssetSourceMP4Reader(FileIO* source);
  ~ZQMFAssetSourceMP4Reader() override;
  ZQMFAssetSourceMP4Reader(const ZQMFAssetSourceMP4Reader&) = delete;
  ZQMFAssetSourceMP4Reader& operator=(const ZQMFAssetSourceMP4Reader&) = delete;

  ZQMF_LIB_ERROR OpenMP4Source(const std::string& path) override;
  ZQMF_LIB_ERROR OpenMP4SourceUDTA(const std::string& path) override;
  uint32_t GetNumberPayloads() override;
  ZQMF_LIB_ERROR GetPayload(uint32_t index, std::vector<uint32_t>* words, uint32_t* bytes) override;
  uint32_t GetPayloadSize(uint32_t index) override;
  ZQMF_LIB_ERROR GetPayloadTime(uint32_t index, double* start, double* end) override;
  // The telemetry track's duration (the movie's for the user data), in seconds.
  ZQMFRational GetDuration() override;
  // Frames per second and number of frames of the first video track.
  ZQMF_LIB_ERROR GetVideoFrameRateAndCount(ZQMFRational* rate, uint32_t* frames) override;
  void CloseSource() override;

  // Where payload `index` lies in the file (0 with the user data open); 2 when there is none.
  ZQMF_LIB_ERROR GetPayloadLocation(uint32_t index, uint64_t* offset, uint32_t* size);

 private:
  ZQMF_LIB_ERROR OpenMovie(const std::string& path);

  FileIO* source_ = nullptr;  // borrowed; null: open paths
  std::unique_ptr<QuickTimeReader<SyncFileReader>> reader_;
  int64_t fileSize_ = 0;
  bool udta_ = false;  // the user-data atom is open rather than the track
  std::vector<uint8_t> udtaBlock_;
  uint32_t metaIndex_ = 0;  // ordinal of the telemetry track among `meta` tracks
  uint32_t samples_ = 0;
  uint32_t timeScale_ = 0;
  int64_t mediaStart_ = 0;  // media time the edit list starts at
  double editDelay_ = 0;    // seconds of empty edits before it
  ZQMFRational duration_;
};

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEMP4READER_H_
