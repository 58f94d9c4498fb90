#include "zqpolicy/zqPolicy.h"

#include <civetweb.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/zqCsi.h"
#include "csi.h"
#include "http/zqConnection.h"
#include "zqNetConfig.h"
#include "zqcommon/zqLog.h"

namespace {

constexpr uint32_t kModeCount = 5;
constexpr uint32_t kClassCount = 10;
constexpr uint32_t kPolicyCount = 5;

constexpr const char* kClassNames[kClassCount] = {"UNKNOWN_SELF_SIGNED",
                                                  "PAIRED_DEVICE",
                                                  "CA_ERROR",
                                                  "UNKNOWN_USER",
                                                  "KNOWN_CA_ERROR",
                                                  "REGISTERED_DEVICE",
                                                  "NON_TLS_CONNECTION",
                                                  "INTERNAL_CONNECTION_8000",
                                                  "INTERNAL_CONNECTION_8001",
                                                  "CONN_SOURCE_UNKNOWN"};

constexpr const char* kModeNames[kModeCount] = {"Access point", "Camera as hub", "Network mode",
                                                "OTA Update", "Live Streaming"};

struct Policy {
  const char* name;
  bool handlers;
  bool downloads;
};

constexpr Policy kPolicies[kPolicyCount] = {
    {"Allow-None", false, false},
    {"zqTunnel", true, true},
    {"TLS-Pairing(disabled)", false, false},
    {"Wireless-Offload", true, true},
    {"User-Endpoints", true, true},
};

// Source class x access mode -> policy id.
constexpr uint32_t kTable[kClassCount][kModeCount] = {
    {4, 0, 2, 0, 0},  // UNKNOWN_SELF_SIGNED
    {4, 0, 3, 0, 0},  // PAIRED_DEVICE
    {0, 0, 0, 0, 0},  // CA_ERROR
    {0, 0, 0, 0, 0},  // UNKNOWN_USER
    {0, 0, 0, 0, 0},  // KNOWN_CA_ERROR
    {4, 0, 3, 0, 0},  // REGISTERED_DEVICE
    {4, 0, 0, 0, 0},  // NON_TLS_CONNECTION
    {1, 1, 1, 1, 1},  // INTERNAL_CONNECTION_8000
    {0, 0, 0, 0, 0},  // INTERNAL_CONNECTION_8001
    {0, 0, 0, 0, 0},  // CONN_SOURCE_UNKNOWN
};

// Accepted Host names: four process-wide slots of 50 characters. The first is the camera's
// access-point address, the fourth the wired address derived at the first check.
constexpr size_t kSlotSize = 50;
// Written once under g_CSIMutex, then published by g_wiredHostSet and only read.
char g_wiredHost[kSlotSize] = "";
std::atomic<bool> g_wiredHostSet{false};

// The wired address once derived, else "" (the derivation is tried again at the next check).
const char* WiredAddress() {
  if (g_wiredHostSet.load(std::memory_order_acquire)) return g_wiredHost;
  ZqLock lock(g_CSIMutex);
  if (g_wiredHostSet.load(std::memory_order_relaxed)) return g_wiredHost;
  char identity[33] = {};
  uint32_t len = 0;
  if (csi_get(CSI_IDENTITY, 32, &len, identity) != 0) return "";
  std::string wired = zqpolicy_wired_address(identity);
  snprintf(g_wiredHost, sizeof g_wiredHost, "%s", wired.c_str());
  g_wiredHostSet.store(true, std::memory_order_release);
  return g_wiredHost;
}

}  // namespace

uint32_t zqpolicy_source_class(int port, const char* address, const ZqTlsInfo* tls_info) {
  if (tls_info != nullptr) return tls_info->words[0] | tls_info->words[1];
  if (address != nullptr && strcmp(address, "127.0.0.1") == 0) {
    if (port == 8000) return INTERNAL_CONNECTION_8000;
    if (port == 8001) return INTERNAL_CONNECTION_8001;
    return CONN_SOURCE_UNKNOWN;
  }
  if (address == nullptr || address[0] == '\0' || strcmp(address, "0.0.0.0") == 0 ||
      strcmp(address, "::") == 0) {
    return CONN_SOURCE_UNKNOWN;
  }
  return NON_TLS_CONNECTION;
}

void zqpolicy_classify_network_source(const mg_connection* conn, int port, const char* address,
                                      const ZqTlsInfo* tls_info) {
  ZqConnData* data = zq_conn_data(conn);
  if (data != nullptr) data->source_class = zqpolicy_source_class(port, address, tls_info);
}

uint32_t zqpolicy_for(uint32_t source_class, uint32_t mode) { return kTable[source_class][mode]; }

bool zqpolicy_admits(uint32_t policy, bool has_handler, const uint32_t* allowed,
                     const char* method) {
  if (policy >= kPolicyCount) return false;
  if (!has_handler) {
    return kPolicies[policy].downloads &&
           (strcmp(method, "GET") == 0 || strcmp(method, "HEAD") == 0);
  }
  if (!kPolicies[policy].handlers || allowed == nullptr) return false;
  for (const uint32_t* p = allowed; *p != kZqPolicyListEnd; ++p) {
    if (*p == policy) return true;
  }
  return false;
}

std::string zqpolicy_wired_address(const char* identity) {
  std::string first;
  std::string second;
  if (strlen(identity) > 13) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    first = digit(identity[11]) ? std::string(1, identity[11]) : "9";
    second = digit(identity[12]) && digit(identity[13]) ? std::string(identity + 12, 2) : "99";
  }
  return "172.2" + first + ".1" + second + ".51";
}

int validate_host_header(mg_connection* conn) {
  const char* wired = WiredAddress();

  const char* host = mg_get_header(conn, "Host");
  if (host == nullptr) {
    ZQ_LOG(ZQ_LOG_ERROR, "No host header in request");
    return -1;
  }
  char value[1025];
  snprintf(value, sizeof value, "%s", host);
  char* colon = strchr(value, ':');
  if (colon != nullptr) *colon = '\0';

  // Any slot accepts, so the fixed names are compared first and the access-point address is
  // asked for only when they do not match (every request of a USB client names "127.0.0.1").
  char slots[4][kSlotSize] = {};
  snprintf(slots[1], kSlotSize, "%s", "127.0.0.1");
  snprintf(slots[2], kSlotSize, "%s", "localhost");
  snprintf(slots[3], kSlotSize, "%s", wired);
  for (const char* slot : {slots[1], slots[2], slots[3]}) {
    if (slot[0] != '\0' && strcmp(value, slot) == 0) return 0;
  }
  snprintf(slots[0], kSlotSize, "%s", zqnet_ap_address().c_str());
  if (slots[0][0] != '\0' && strcmp(value, slots[0]) == 0) return 0;
  ZQ_LOG(ZQ_LOG_ERROR, "Couldn't find Host:%s", value);
  for (const char* slot : slots) ZQ_LOG(ZQ_LOG_ERROR, "    -%s", slot);
  return -1;
}

const char* zqpolicy_name(uint32_t id) {
  return id < kPolicyCount ? kPolicies[id].name : "INVALID";
}

const char* zqpolicy_class_name(uint32_t source_class) {
  return source_class < kClassCount ? kClassNames[source_class] : "INVALID";
}

const char* zqpolicy_mode_name(uint32_t mode) {
  return mode < kModeCount ? kModeNames[mode] : "INVALID";
}

uint32_t get_csi_access_mode() { return zq_csi_value(103, 0); }

ZqPolicyVerdict zqpolicy_decide(uint32_t source_class, uint32_t mode, const ZqRoute* route,
                                const char* method) {
  if (mode >= kModeCount || source_class >= kClassCount - 1) return ZqPolicyVerdict::kInvalid;
  const bool admitted = zqpolicy_admits(zqpolicy_for(source_class, mode), route != nullptr,
                                        route != nullptr ? route->policies : nullptr, method);
  if (admitted) return ZqPolicyVerdict::kAdmit;
  return route != nullptr ? ZqPolicyVerdict::kRefuseHandler : ZqPolicyVerdict::kRefuseFile;
}

bool zqpolicy_admits_request(mg_connection* conn, const ZqRoute* route) {
  init_csi_monitor();
  const mg_request_info* ri = mg_get_request_info(conn);
  const ZqConnData* data = zq_conn_data(conn);
  const uint32_t source = data != nullptr ? data->source_class : CONN_SOURCE_UNKNOWN;
  const uint32_t mode = get_csi_access_mode();
  const char* method = ri->request_method;
  const char* uri = ri->local_uri != nullptr ? ri->local_uri : "";

  const ZqPolicyVerdict verdict = zqpolicy_decide(source, mode, route, method);
  bool host_failed = false;
  if (verdict == ZqPolicyVerdict::kInvalid) {
    ZQ_LOG(ZQ_LOG_ERROR, "%s %s: Invalid net_mode %d or source %d", method, uri, mode, source);
    host_failed = validate_host_header(conn) != 0;
  } else if (verdict == ZqPolicyVerdict::kAdmit) {
    if (validate_host_header(conn) == 0) return true;
    host_failed = true;
  }

  if (!host_failed) validate_host_header(conn);  // for its log lines
  // An invalid mode or class is named a handler refusal whatever the URI.
  const bool handler = route != nullptr || verdict == ZqPolicyVerdict::kInvalid;
  const char* kind = handler ? "Handler" : "File access";
  ZQ_LOG(ZQ_LOG_ERROR, "%s FORBIDDEN - Policy for '%s %s' from %s in mode %s", kind, method, uri,
         zqpolicy_class_name(source), zqpolicy_mode_name(mode));
  return false;
}

void zqpolicy_subscriber_list(std::span<const ZqRoute> routes, uint32_t id) {
  printf("Subscribers: ");
  for (const ZqRoute& r : routes) {
    for (const uint32_t* p = r.policies; *p != kZqPolicyListEnd; ++p) {
      if (*p == id) {
        printf(" %s", r.prefix);
        break;
      }
    }
  }
}

void zqpolicy_table_print(std::span<const ZqRoute> routes) {
  printf("\nPOLICIES\n");
  for (uint32_t id = 0; id < kPolicyCount; ++id) {
    printf("\n== %s ==\n", kPolicies[id].name);
    if (!kPolicies[id].handlers) printf("All handlers blocked\n");
    zqpolicy_subscriber_list(routes, id);
    printf("\nFile download %s\n", kPolicies[id].downloads ? "permitted" : "forbidden");
  }
  printf("\n%-25s", "POLICY TABLE");
  for (const char* mode : kModeNames) printf("%-25s", mode);
  printf("\n");
  for (uint32_t c = 0; c < kClassCount; ++c) {
    printf("%-25s", kClassNames[c]);
    for (uint32_t m = 0; m < kModeCount; ++m) printf("%-25s", kPolicies[kTable[c][m]].name);
    printf("\n");
  }
  printf("\n");
  fflush(stdout);
}
