// The simulated control service's Wi-Fi: the camera's access point, the networks a scan finds
// (set with `zqsim wifi add SSID AUTH BARS`, in that order; `wifi clear` empties them and keeps
// the scan id; `wifi scan-id N` sets the scan id that scans and pages report) and the networks
// it remembers.
//
//   17 access point (108-byte network record): its name becomes the camera's access-point
//      name, its password status 15
//   19 scan (one byte): the 4-byte scan id
//   20 network list page (one byte, the first index): the 492-byte page of up to ten networks
//   21 save, 22 select (also joins), 23 delete (network record): the remembered networks
//      (at most 16; a full list refuses a new one with ZQ_ERR_NAK; deleting an unknown network
//      is not an error)
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMWIFI_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMWIFI_H_

#include <cstdint>
#include <string>
#include <vector>

namespace zqsim {

struct SimStateData;

inline constexpr uint32_t kWifiPageSize = 492;

// Acts on command 17, 19, 20, 21, 22 or 23 (sizes already checked); its status. The reply
// goes to `response` as far as it fits; `*reply_len` is its full size.
int32_t WifiExecute(SimStateData& d, uint32_t command, const uint8_t* param, uint8_t* reply,
                    uint32_t* reply_len);

// "zqsim wifi ..." (`args` without "wifi"). Returns the exit status.
int WifiCommand(const std::vector<std::string>& args);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMWIFI_H_
