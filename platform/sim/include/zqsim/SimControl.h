// The simulated control service's command handling, shared by the platform calls and tests.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCONTROL_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCONTROL_H_

#include <cstdint>

namespace zqsim {

// Command numbers the simulated camera acts on.
enum : uint32_t {
  kCmdShutter = 3,
  kCmdMode = 4,
  kCmdSubMode = 5,
  kCmdDateTime = 6,
  kCmdSetting = 30,
  kCmdStatus = 34,
  kCmdShutdown = 35,
  kCmdDigitalZoom = 61,
  kCmdPhotoTimer = 66,
};

// The status a fault switch sets for `command`; `*found` tells whether one is set.
int32_t ControlFault(uint32_t command, bool* found);

// Acts on one command as the camera would and returns its status.
int32_t ControlExecute(uint32_t command, const void* param, uint32_t param_len, void* response,
                       uint32_t response_size, uint16_t* response_len);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCONTROL_H_
