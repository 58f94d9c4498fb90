// Exchanges with the camera's network service in the daemon message format (zqMsg.h): a
// command of category 2 with its two-letter code and argument, sent into "/to_zqnet", answered
// by one response message in the reply mailbox "/to_kxpair" followed by the process id.
//
// The reply mailbox is named after the process id, so exchanges must not overlap: callers run
// them inside the control request lock.
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQNETMESSAGE_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQNETMESSAGE_H_

#include <cstdint>
#include <span>
#include <vector>

struct ZqNetReply {
  bool has_result = false;      // the reply carried a result (RSPARG) element
  std::vector<uint8_t> result;  // its bytes
};

// Sends command `cmd` (two letters) with `arg` and waits for the reply (g_timedreceive seconds,
// scaled). 0 and `*reply` filled, or ZQ_ERR when no valid reply came (logged by the exchange).
int32_t zq_net_exchange(const char* cmd, std::span<const uint8_t> arg, ZqNetReply* reply);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQNETMESSAGE_H_
