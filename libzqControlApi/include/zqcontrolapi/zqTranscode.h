// Transcode jobs of the control interface: a clip (or a photo sequence) made into a new video
// on the camera, and the progress of such jobs. Records, little-endian, other bytes zero; paths
// travel with "\" as separator (every "/" of a source is sent as "\", and turned back when a
// record is written out).
//
//   photo to video (command 45), 280 bytes:
//     offset 0 source path (256 bytes), 260 u32 set to 1, 264 sequence count, 268 resolution
//   video to video (command 46), 304 bytes:
//     offset 0 source path (256 bytes), 264 lrv, 268 u32 set to 1, 272 resolution,
//     276 fps divisor, 280 in_ms, 284 out_ms, 288 idr, 292 gop_m, 296 gop_n, 300 bitrate
//     (all u32)
//   status (49) and cancel (50): the job id, 8 bytes
//   replies: one transcode record (552 bytes); history (44): two of them (1104 bytes)
//
// Transcode record:
//     offset 0 source path (256 bytes, NUL-terminated), 264 job id (64-bit), 272 status (i32),
//     276 failure reason (i32), 280 estimate (u32), 284 completion (u32), 288 output path
//     (NUL-terminated, to the record's end)
//
// The values of status, failure reason, estimate and completion are the camera's; they are
// passed on as they come.
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQTRANSCODE_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQTRANSCODE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

inline constexpr size_t kZqTranscodePhotoSize = 280;
inline constexpr size_t kZqTranscodeVideoSize = 304;
inline constexpr size_t kZqTranscodeRecordSize = 552;
inline constexpr size_t kZqTranscodeSourceMax = 256;

struct ZqTranscodeVideo {
  std::string source;  // with "\" separators
  uint32_t lrv = 0;
  uint32_t res = 0;
  uint32_t fps_divisor = 0;
  uint32_t in_ms = 0;
  uint32_t out_ms = 0;
  uint32_t idr = 0;
  uint32_t gop_m = 0;
  uint32_t gop_n = 0;
  uint32_t bitrate = 0;
};

struct ZqTranscodePhoto {
  std::string source;  // with "\" separators
  uint32_t sequence_count = 0;
  uint32_t res = 0;
};

struct ZqTranscodeRecord {
  std::string source;  // with "/" separators
  int64_t id = 0;
  int32_t status = 0;
  int32_t failure_reason = 0;
  uint32_t estimate = 0;
  uint32_t completion = 0;
  std::string output;
};

// "command/transcode/video_to_video": "source=" (required, at most 256 characters), optional
// "lrv=", "idr=", "gop_m=", "gop_n=", "bitrate=", required "res=", "fps_divisor=", "in_ms=",
// "out_ms=" (all unsigned). ZQ_ERR_INVALID_PARAM (logged) or 0.
int32_t zq_transcode_video_parse(const char* query, ZqTranscodeVideo* out);
std::array<uint8_t, kZqTranscodeVideoSize> zq_transcode_video_bytes(const ZqTranscodeVideo& v);
// "command/transcode/photo_to_video": "source=", optional "sc=", required "res=".
int32_t zq_transcode_photo_parse(const char* query, ZqTranscodePhoto* out);
std::array<uint8_t, kZqTranscodePhotoSize> zq_transcode_photo_bytes(const ZqTranscodePhoto& p);

// Reads a record. False when `bytes` is shorter than 552.
bool zq_transcode_record_parse(std::span<const uint8_t> bytes, ZqTranscodeRecord* record);
// Appends the record as a JSON object ("{\"id\":...,\"output\":\"...\"}").
void serialize_transcode_status(std::string& stream, const ZqTranscodeRecord& record);
// "\n{\"status\":" record "}\n".
std::string zq_transcode_status_body(const ZqTranscodeRecord& record);
// "\n{\"history\":[" the records whose source is not empty "]}\n".
std::string zq_transcode_history_body(std::span<const ZqTranscodeRecord> records);

// The transcode requests. 0 with `*body` the status answer; ZQ_ERR_INVALID_PARAM for a bad
// query (nothing sent); or, when the camera refused the job, its status with `*refused` set:
// the answer is then the 400 error document naming "transcode_video_to_video" (or
// "transcode_photo_to_video") and "transcode request failed".
int32_t zq_transcode_video_to_video(const char* query, std::string* body, bool* refused);
int32_t zq_transcode_photo_to_video(const char* query, std::string* body, bool* refused);

// "command/transcode/status" and ".../cancel": "id=" (64-bit, required); command 49 or 50.
// 0 with `*body`, ZQ_ERR_INVALID_PARAM, or the service's status.
int32_t zq_transcode_status(const char* query, bool cancel, std::string* body);
// "command/transcode/history": command 44.
int32_t zq_transcode_history(std::string* body);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQTRANSCODE_H_
