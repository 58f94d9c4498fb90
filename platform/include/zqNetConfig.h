// The camera's network configuration, fixed when a camera image is built.
#ifndef ZQ_PLATFORM_INCLUDE_ZQNETCONFIG_H_
#define ZQ_PLATFORM_INCLUDE_ZQNETCONFIG_H_

#include <string>

// The camera's own address on its access point: the first Host name the daemon accepts.
std::string zqnet_ap_address();

#endif  // ZQ_PLATFORM_INCLUDE_ZQNETCONFIG_H_
