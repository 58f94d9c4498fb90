// The simulated camera's side of firmware updates: the card's free space as the daemon's
// file-system query reports it, and the camera's answer to an install the daemon starts.
//
// Switches, kept in the simulator's state directory (so they outlive the daemon) and read at
// every use:
//   zqsim storage free BYTES | storage free real
//       zqfs_free_bytes() reports BYTES for every path (real: statvfs of the path, block size
//       times free blocks)
//   zqsim ota mode ok | fail RESULT | silent [MS]
//       when the daemon writes 10 (install) to the OTA state (status 42), the camera writes 5
//       (ok) or RESULT (0 to 255) there MS milliseconds later (default 200, times
//       ZQ_TIME_SCALE), or never (silent). Any other write of status 42 cancels an answer
//       still due.
// The answer is written by whichever process next reads status 42 after it is due (the
// daemon's csi_get, `zqsim status get 42`), so it arrives even when the daemon that started
// the install was killed meanwhile.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMFIRMWARE_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMFIRMWARE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "zqsim/SimState.h"

namespace zqsim {

inline constexpr int kOtaStatusId = 42;

// "zqsim storage ..." and "zqsim ota ..." (`args` without the first word). Exit status.
int StorageCommand(const std::vector<std::string>& args);
int OtaCommand(const std::vector<std::string>& args);

// Back to the defaults (part of `zqsim reset`): the real free space, mode ok after 200 ms, no
// answer due.
void FirmwareReset();

// Called by the simulated csi_set, with the state locked, after status 42 was written.
void OtaStatusWritten(uint8_t value);
// Writes the camera's answer when it is due. Takes the state lock; call before reading
// status 42.
void OtaApplyDue();

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMFIRMWARE_H_
