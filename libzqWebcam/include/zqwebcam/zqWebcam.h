// Webcam mode below the daemon's HTTP layer: the commands handed to the camera's webcam
// process, the exchange of one command and its reply, and the answers of both webcam faces
// ("/zq/zqWebcam/NAME" and the Open API's "webcam/..." paths).
//
// A command goes to the webcam process as a 32-bit word written little-endian to camera status
// 141 (passed as csi_id(141)):
//
//   bits 0-7   command: 2 start, 3 start (LTP), 4 preview, 5 preview (LTP), 6 stop, 7 status,
//              8 exit
//   bits 4-5   start only, ORed in: 0x10 for 1080 lines, 0x20 for 720 lines, 0 when not given
//   bits 8-10  start only, ORed in: field of view 0x100 (fov 0), 0x200 (fov 4), 0x300 (fov 2),
//              0x400 (fov 3), 0 otherwise
//
// Start and preview first write the client's address text (without terminator) to status 142.
// The webcam process answers with one 8-byte message on the queue "/to_webcam_http":
//
//   offset 0  i32  status (the process's state; 2 is streaming)
//   offset 4  i32  error (0 none)
//
// The daemon creates that queue for each command (before the word is written, so the answer
// cannot be missed), drains any stale reply, waits at most 10 s (scaled by ZQ_TIME_SCALE) and
// closes and unlinks it on every path. No reply is status -1 with error 5.
//
// Locking. One webcam command is outstanding at a time, and one reply queue exists at a time:
// every webcam request of either face holds the process's webcam mutex (the daemon's
// g_webcamMutex) for its whole length. It is taken in exactly one place per face, by the
// request's entry (the legacy route handler, and the Open API endpoint's Handle), by
// constructing a ZqWebcamLock; every operation below takes that lock as a parameter and never
// locks it again, so the checked start of the Open API can run the plain start inside the same
// lock without taking it twice. The status writer the caller passes takes the daemon's status
// mutex briefly, under the webcam mutex.
#ifndef ZQ_LIBZQWEBCAM_INCLUDE_ZQWEBCAM_ZQWEBCAM_H_
#define ZQ_LIBZQWEBCAM_INCLUDE_ZQWEBCAM_ZQWEBCAM_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zqcommon/zqMutex.h"

inline constexpr int32_t kZqWebcamCommandStatusId = 141;
inline constexpr int32_t kZqWebcamClientStatusId = 142;
inline constexpr char kZqWebcamReplyQueue[] = "/to_webcam_http";
inline constexpr long kZqWebcamReplyMs = 10000;  // per exchange, before scaling

// Command words (bits 0-7).
enum ZqWebcamCommand : uint32_t {
  kZqWebcamStart = 2,
  kZqWebcamStartLtp = 3,
  kZqWebcamPreview = 4,
  kZqWebcamPreviewLtp = 5,
  kZqWebcamStop = 6,
  kZqWebcamStatus = 7,
  kZqWebcamExit = 8,
};

// Errors the daemon reports itself.
inline constexpr int32_t kZqWebcamErrNoReply = 5;
inline constexpr int32_t kZqWebcamErrBadParam = 6;
inline constexpr int32_t kZqWebcamErrNoFilter = 7;

// The settings the webcam commands touch (command 30 {id, value}).
inline constexpr int32_t kZqWebcamBitrateSetting = 62;
inline constexpr int32_t kZqWebcamFovSetting = 43;
inline constexpr int32_t kZqWebcamResSetting = 47;  // checked by the Open API's start
inline constexpr uint32_t kZqWebcamBitrateMin = 700001;
inline constexpr uint32_t kZqWebcamBitrateMax = 6000000;
inline constexpr uint32_t kZqWebcamFovLimit = 21;  // a fov setting is sent when below this

// Proof that the caller holds the process-wide webcam mutex `mu`; constructing it takes the
// mutex (blocking), destroying it releases it. Not copyable; one per request.
class SCOPED_CAPABILITY ZqWebcamLock {
 public:
  explicit ZqWebcamLock(ZqMutex& mu) ACQUIRE(mu) : mu_(mu) { mu_.Lock(); }
  ~ZqWebcamLock() RELEASE() { mu_.Unlock(); }
  ZqWebcamLock(const ZqWebcamLock&) = delete;
  ZqWebcamLock& operator=(const ZqWebcamLock&) = delete;

 private:
  ZqMutex& mu_;
};

// How the operations write a camera status value: the daemon passes a writer that holds
// g_CSIMutex around csi_set. Returns csi_set's status.
using ZqWebcamStatusWrite = std::function<int32_t(int32_t id, const void* value, uint32_t size)>;
// How the operations send a setting (command 30 with {id, value}, inside a control-service
// open/close). Returns the service's status.
using ZqWebcamSendSetting = std::function<int32_t(int32_t id, int32_t value)>;

// The legacy face's command names, exact and case-sensitive.
enum class ZqWebcamOp : uint8_t {
  kStart,
  kStartLtp,
  kPreview,
  kPreviewLtp,
  kStop,
  kStatus,
  kSettings,
  kVersion,
  kExit,
};
// "START", "STARTLTP", "PREVIEW", "PREVIEWLTP", "STOP", "STATUS", "SETTINGS", "VERSION",
// "EXIT"; nothing for any other name (answered 404 "{}\n").
std::optional<ZqWebcamOp> zq_webcam_legacy_op(std::string_view name);

// The resolution bits of a start: 7 or 720 give 0x20, 12 or 1080 give 0x10; false otherwise.
bool zq_webcam_res_bits(uint32_t res, uint32_t* bits);
// The field-of-view bits: 0, 2, 3, 4 give 0x100, 0x300, 0x400, 0x200; anything else 0.
uint32_t zq_webcam_fov_bits(uint32_t fov);

// The word of a start from its query ("res=" and "fov=", decimal; either may be absent):
// command 2 (3 with `ltp`) with the resolution and field-of-view bits. False when "res=" is
// given but not a supported resolution (the start is refused: nothing is sent).
bool zq_webcam_start_word(const char* query, bool ltp, uint32_t* word);

// The 8-byte reply. False when `bytes` is not 8 bytes long.
struct ZqWebcamReply {
  int32_t status = -1;
  int32_t error = kZqWebcamErrNoReply;
};
bool zq_webcam_reply_parse(std::span<const uint8_t> bytes, ZqWebcamReply* reply);

// An answer of either face: HTTP status code and a JSON body.
struct ZqWebcamAnswer {
  int code = 200;
  std::string body;
  bool operator==(const ZqWebcamAnswer&) const = default;
};

// "{\n\t\"status\": S,\n\t\"error\": E\n}\n\n".
std::string zq_webcam_status_body(int32_t status, int32_t error);
// The status body with 200, or 500 when `error` is not 0.
ZqWebcamAnswer zq_webcam_status_answer(const ZqWebcamReply& reply);
// The version answer (no exchange): 200 and "{\n\t\"version\": 4,\n\t\"usb_3_1_compatible\":
// true,\n\t\"orbex_lens_support\": false\n}\n\n".
ZqWebcamAnswer zq_webcam_version();

// One exchange: creates the reply queue, drains stale replies, writes `word` to status 141
// through `write`, waits for the reply, then closes and unlinks the queue. A queue that cannot
// be created, a failed write or no reply within the time-out give status -1, error 5.
ZqWebcamReply zq_webcam_exchange(const ZqWebcamLock& lock, uint32_t word,
                                 const ZqWebcamStatusWrite& write);

// Start (`ltp`: the LTP variant) and preview: the client address to status 142 (skipped when
// empty), then the exchange. A start whose "res=" is not supported answers 403 with status -1,
// error 6, and writes nothing, not even the client address. The answer is the reply's status body.
ZqWebcamAnswer zq_webcam_start(const ZqWebcamLock& lock, const char* query, std::string_view client,
                               bool ltp, const ZqWebcamStatusWrite& write);
ZqWebcamAnswer zq_webcam_preview(const ZqWebcamLock& lock, std::string_view client, bool ltp,
                                 const ZqWebcamStatusWrite& write);
// Stop, status and exit: the exchange of that word and its status body.
ZqWebcamAnswer zq_webcam_simple(const ZqWebcamLock& lock, ZqWebcamCommand command,
                                const ZqWebcamStatusWrite& write);

// Settings: "bitrate=" (700,001 to 6,000,000: setting 62; else error 6 and nothing sent), then
// "fov=": while the process streams (a status exchange answers 2) it is stopped, setting 43 set
// (when the value is below 21) and started again; otherwise the setting is just set. A final
// status exchange gives the answer's status (-1 without a reply), with the bitrate's error.
// Up to four exchanges: 40 s at most.
ZqWebcamAnswer zq_webcam_settings(const ZqWebcamLock& lock, const char* query,
                                  const ZqWebcamStatusWrite& write,
                                  const ZqWebcamSendSetting& send_setting);

// The Open API's checked start. `query` holds "res=%u&fov=%u" or "fov=%u&res=%u" (or is empty:
// a plain start). The settings filter is asked through `supported(setting, option)` and
// `options(setting)` (id and display name, in the filter's order); without a filter
// (`have_filter` false) the answer is 500 with status 0, error 7.
struct ZqWebcamOption {
  uint32_t id = 0;
  std::string name;
};
struct ZqWebcamFilter {
  std::function<bool(int32_t setting, uint32_t option)> supported;
  std::function<std::vector<ZqWebcamOption>(int32_t setting)> options;
};
// Reads the two values in either order; false for anything else.
bool zq_webcam_checked_query(std::string_view query, uint32_t* res, uint32_t* fov);
// The 400 body listing the supported options of each refused value ("Res" for setting 47,
// "FOV" for setting 43), or "" when it would exceed `limit` bytes (the caller answers 500).
std::string zq_webcam_unsupported_body(const std::vector<ZqWebcamOption>* res_options,
                                       const std::vector<ZqWebcamOption>* fov_options,
                                       size_t limit);
ZqWebcamAnswer zq_webcam_checked_start(const ZqWebcamLock& lock, const char* query,
                                       std::string_view client, const ZqWebcamFilter* filter,
                                       const ZqWebcamStatusWrite& write);

#endif  // ZQ_LIBZQWEBCAM_INCLUDE_ZQWEBCAM_ZQWEBCAM_H_
