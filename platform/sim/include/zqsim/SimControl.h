// The simulated control service's command handling, shared by the platform calls and tests.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCONTROL_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCONTROL_H_

#include <cstdint>
#include <string>

namespace zqsim {

// Acts on one command as the camera would and returns its status. A fault switch set for the
// command wins: its status comes back and nothing happens. Parameters of the wrong
// size are refused with ZQ_ERR_INVALID_PARAM, requests the camera cannot carry out now (a
// mode change while recording, an option the model does not offer) with ZQ_ERR_NAK, and every
// command once a shutdown is pending with ZQ_ERR_NAK_OFF.
int32_t ControlExecute(uint32_t command, const void* param, uint32_t param_len, void* response,
                       uint32_t response_size, uint16_t* response_len);

// The switches of `zqsim control`: from now on `command` is answered with `status` (negative)
// without acting (ControlFail), or with status 0 and `bytes` as its reply (ControlReplyWith),
// or normally again (ControlOk). Setting one switch of a command replaces the other. False
// with `*error` when the switch cannot be stored.
bool ControlFail(uint32_t command, int32_t status, std::string* error);
bool ControlReplyWith(uint32_t command, const std::string& bytes, std::string* error);
void ControlOk(uint32_t command);

// Copies a reply of `n` bytes into the caller's `response` (`response_size` bytes, may be
// null) as far as it fits, zeroing the rest, and reports the bytes copied in `*response_len`
// (may be null).
void ControlReply(const void* data, uint32_t n, void* response, uint32_t response_size,
                  uint16_t* response_len);

// Camera path of the shading calibration file that ZQCONTROL_SYSTEM_GET_SHADINGDATA_FILE names.
inline constexpr const char kShadingDataPath[] = "/tmp/fuse_a/calibration/shading.bin";

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCONTROL_H_
