// A route of the daemon: one row of the route table (server/zqRoutes.h), what the access
// policy (zqpolicy/zqPolicy.h) reads to admit a request, and the callback data the server
// library hands back for each request of the route.
#ifndef ZQ_ZQHTTPSERVER_SRC_CORE_ZQROUTE_H_
#define ZQ_ZQHTTPSERVER_SRC_CORE_ZQROUTE_H_

#include <cstdint>

#include "http/zqRequest.h"

// Ends an allowed-policy list; it is no policy.
inline constexpr uint32_t kZqPolicyListEnd = 5;

struct ZqRoute {
  const char* prefix;
  ZqHandler handler;         // answers the request
  const uint32_t* policies;  // allowed policy ids ending with kZqPolicyListEnd; static storage
};

#endif  // ZQ_ZQHTTPSERVER_SRC_CORE_ZQROUTE_H_
