// The simulated control service's storage commands: media deletes and tags on the simulated
// card, transcode jobs that progress over time, and the analytics files.
//
// Media paths are relative to the card's DCIM folder ("100TAVRO/ZQ010001.MP4"); names that
// would leave it are refused with ZQ_ERR_INVALID_PARAM. While the camera records, deletes and
// new transcode jobs are refused with ZQ_ERR_NAK.
//
//   8  tag (268 bytes): the file must exist (else ZQ_ERR_NAK); counts a tag
//   9  delete a file (257 bytes): the file and its companions (same name, other extension)
//   11 delete a group (257 bytes, its first file): a burst or time-lapse ("Q001" and a frame
//      number: every frame), or every chapter of a clip ("QH" or "ZQ", chapter, number)
//   93 delete a list (23-byte entries): each file with its companions; the result byte that
//   94 then answers is 0 when every file was found, 1 otherwise
//   39 analytics prepare: writes data_analytics.bin in /tmp/fuse_a/save/ (an earlier one
//      becomes DA000001.bin); replies with the file's path
//   40 analytics clear: removes those files
//   45, 46 transcode a photo sequence or a clip: the source must exist (else ZQ_ERR_NAK);
//      a job runs for 3 s (times ZQ_TIME_SCALE), its completion rising from 0 to 100; then
//      its output (TRAN and the job id, in the source's folder) exists. Status 1 running,
//      2 done, 4 cancelled. 49 status and 50 cancel name a job by its id (unknown: ZQ_ERR_NAK);
//      44 lists the two most recent jobs.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSTORAGE_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSTORAGE_H_

#include <cstdint>

namespace zqsim {

struct SimStateData;

inline constexpr char kAnalyticsDir[] = "/tmp/fuse_a/save";

// Whether StorageExecute or StorageDelete acts on `command`.
bool IsStorageCommand(uint32_t command);
bool IsCardDelete(uint32_t command);

// Commands 9, 11 and 93 (parameter sizes checked by the caller), run outside the state lock:
// they change the card. Returns the status; `*list_result` is the result byte of a list.
int32_t StorageDelete(uint32_t command, const uint8_t* param, uint32_t len, uint8_t* list_result);

// The other storage commands, under the state lock. The reply goes to `reply` (at least 1104
// bytes), `*reply_len` its size.
int32_t StorageExecute(SimStateData& d, uint32_t command, const uint8_t* param, uint32_t len,
                       int64_t now_ms, uint8_t* reply, uint32_t* reply_len);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSTORAGE_H_
