// The simulated media database service ("rtos_media_db") that `zqsim serve` runs: it answers
// the daemon's IPC requests from the files on the simulated SD card (and internal storage).
//
// What it knows about a file beyond the card's directory entries (unique id, Spotmark tag
// times, duration, the low-resolution copy's size, upload flags) lives in its own records,
// $ZQ_ROOT/run/zqsim/mediadb.json, made the first time a file is asked about and kept across
// restarts. Creation times come from the media (an MP4's movie header, a JPEG's EXIF capture
// time) and fall back to the file time, so a database answer differs from a directory listing.
//
// Its list pages hold the card's media (and ".SES" session files, content type 7) in folder
// then name order, narrowed by the request's query options (classes, tagged entries, groups or
// files of no group, upload status, offload marks). With grouping asked, a chaptered video (two
// or more chapters of one file number) and a burst or time-lapse ("Q", "L" or "R" and a group
// number) are one entry each, with their group record.
//
// Faults: $ZQ_ROOT/run/zqsim/mediadb-fault holds one switch ("slow MS", "status N",
// "truncate BYTES", "silent") that applies to every request until cleared.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMMEDIADB_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMMEDIADB_H_

#include <sys/un.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zqsim {

// The socket path of IPC endpoint `name`, and its socket address (false when too long).
std::string IpcSocketPath(const char* name);
bool IpcSocketAddress(const std::string& path, sockaddr_un* addr);

inline constexpr char kMediaDbEndpoint[] = "rtos_media_db";

// Starts serving the endpoint on threads of its own; false with `*error` when its socket
// cannot be made. MediaDbStop ends every connection and waits for the threads.
bool MediaDbStart(std::string* error);
void MediaDbStop();

// The reply messages to one request, as the service sends them (faults not applied).
std::vector<std::string> MediaDbAnswer(const uint8_t* request, size_t length);

// Sets the fault switch: mode "slow", "status", "truncate" or "silent" (value ignored), or
// "ok" to clear it. False with `*error` on a bad mode or value.
bool MediaDbSetFault(const std::string& mode, const std::string& value, std::string* error);

// Creation time the service reports for the file at `path`: the media's own capture time where
// it can be read, else the file's modification time; 0 when the file cannot be examined.
uint64_t MediaCreationTime(const std::string& path);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMMEDIADB_H_
