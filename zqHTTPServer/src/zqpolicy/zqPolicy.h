// Who may use the daemon: every request is admitted or refused by where its connection comes
// from (its source class, fixed when the connection is accepted), the camera's network access
// mode (status 103) and the route it asks for (each route carries its allowed policies;
// requests that no route takes are file access). A second check accepts only Host headers
// that name one of the camera's own addresses. Refusals are answered 403
// "Connection forbidden".
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQPOLICY_ZQPOLICY_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQPOLICY_ZQPOLICY_H_

#include <cstdint>
#include <span>
#include <string>

#include "core/zqRoute.h"

struct mg_connection;

enum ZqSourceClass : uint32_t {
  UNKNOWN_SELF_SIGNED = 0,
  PAIRED_DEVICE = 1,
  CA_ERROR = 2,
  UNKNOWN_USER = 3,
  KNOWN_CA_ERROR = 4,
  REGISTERED_DEVICE = 5,
  NON_TLS_CONNECTION = 6,
  INTERNAL_CONNECTION_8000 = 7,
  INTERNAL_CONNECTION_8001 = 8,
  CONN_SOURCE_UNKNOWN = 9,
};

enum ZqPolicyId : uint32_t {
  kPolicyAllowNone = 0,
  kPolicyZqTunnel = 1,
  kPolicyTlsPairing = 2,
  kPolicyWirelessOffload = 3,
  kPolicyUserEndpoints = 4,
};

// The two words a TLS layer reports about the peer's certificate; their OR is the class.
struct ZqTlsInfo {
  uint32_t words[2];
};

// The source class of a connection from `address` that arrived on the camera port `port`
// (80, 8000, 8001 or 8080; host runs map their ports to these roles first).
uint32_t zqpolicy_source_class(int port, const char* address, const ZqTlsInfo* tls_info);

// Sets the connection's source class (its user data); called once per connection before its
// first request.
void zqpolicy_classify_network_source(const mg_connection* conn, int port, const char* address,
                                      const ZqTlsInfo* tls_info);

// The admission of a request for `route` (nullptr: a file): true lets it proceed; a refusal
// is logged, and the dispatch answers it 403.
bool zqpolicy_admits_request(mg_connection* conn, const ZqRoute* route);

// 0 when the Host header names an accepted address, -1 otherwise (logged).
int validate_host_header(mg_connection* conn);

// What the policy says about one request, before the Host check.
enum class ZqPolicyVerdict {
  kAdmit,          // the Host check decides
  kRefuseHandler,  // a route that the policy does not admit
  kRefuseFile,     // file access that the policy does not admit
  kInvalid,        // access mode above 4 or source class above 8
};

// The decision of the request-begin hook for a client of `source_class` in access `mode`
// asking `method` of `route` (nullptr: file access).
ZqPolicyVerdict zqpolicy_decide(uint32_t source_class, uint32_t mode, const ZqRoute* route,
                                const char* method);

// The policy a class gets in an access mode (both must be in range).
uint32_t zqpolicy_for(uint32_t source_class, uint32_t mode);

// Whether `policy` admits a request: file access (no route) needs a download policy and GET
// or HEAD; a route needs a handler policy that is in its allowed list.
bool zqpolicy_admits(uint32_t policy, bool has_handler, const uint32_t* allowed,
                     const char* method);

// The wired-network address derived from the camera's identity text (status 0).
std::string zqpolicy_wired_address(const char* identity);

const char* zqpolicy_name(uint32_t id);
const char* zqpolicy_class_name(uint32_t source_class);
const char* zqpolicy_mode_name(uint32_t mode);

// Start-up print of the policies, the `routes` that subscribe to each and the table, on
// standard output.
void zqpolicy_table_print(std::span<const ZqRoute> routes);
void zqpolicy_subscriber_list(std::span<const ZqRoute> routes, uint32_t id);

// The current access mode from the status listener (0 when unknown).
uint32_t get_csi_access_mode();

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQPOLICY_ZQPOLICY_H_
