// The ZQMF payloads of an MP4 recording: the samples of its telemetry track (each with its
// span of time) or the ZQMF atom of its user data (one payload without time).
//
// This is the interface the timeline reads MP4 files through; the implementation over the
// MP4 library (ZQMFAssetSourceMP4Reader) plugs in through ZQMFVideoSourceFactory. One source
// belongs to one timeline and one thread.
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEVIDEO_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEVIDEO_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zqmftimeline/ZQMFRational.h"
#include "zqmftimeline/ZQMFTimelineTypes.h"

class ZQMFAssetSourceVideo {
 public:
  virtual ~ZQMFAssetSourceVideo() = default;

  // Opens `path` for its telemetry track, or for its user-data ZQMF atom. A file without the
  // wanted ZQMF gives ZQMF_LIB_ERROR_NO_SAMPLE; other failures a code of the implementation.
  virtual ZQMF_LIB_ERROR OpenMP4Source(const std::string& path) = 0;
  virtual ZQMF_LIB_ERROR OpenMP4SourceUDTA(const std::string& path) = 0;
  virtual uint32_t GetNumberPayloads() = 0;
  // Payload `index` as whole words (the last one zero-padded), and its size in bytes.
  virtual ZQMF_LIB_ERROR GetPayload(uint32_t index, std::vector<uint32_t>* words,
                                    uint32_t* bytes) = 0;
  virtual uint32_t GetPayloadSize(uint32_t index) = 0;
  // Its span in seconds; kZQMFNoTime for both ends when it has no time.
  virtual ZQMF_LIB_ERROR GetPayloadTime(uint32_t index, double* start, double* end) = 0;
  virtual ZQMFRational GetDuration() = 0;
  virtual ZQMF_LIB_ERROR GetVideoFrameRateAndCount(ZQMFRational* rate, uint32_t* frames) = 0;
  virtual void CloseSource() = 0;
};

// Makes the video source of a timeline; may return null when MP4 files cannot be read.
using ZQMFVideoSourceFactory = std::function<std::unique_ptr<ZQMFAssetSourceVideo>()>;

// The factory a timeline uses unless given another: a ZQMFAssetSourceMP4Reader over the MP4
// library's reader. Defined with that reader, in the zqmftimeline_mp4 library.
std::unique_ptr<ZQMFAssetSourceVideo> ZQMFDefaultVideoSource();

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEVIDEO_H_
