#include "zqcontrolapi/zqBleLink.h"

#include <fcntl.h>
#include <mqueue.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "csi.h"
#include "zqIpcMsg.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqMbox.h"
#include "zqcommon/zqMutex.h"
#include "zqcommon/zqPaths.h"
#include "zqcontrolapi/zqBle.h"
#include "zqcontrolapi/zqCommand.h"
#include "zqcontrolapi/zqQuery.h"

namespace {

constexpr long kRxMaxMessages = 5;
constexpr long kMessageSize = 1500;
constexpr mode_t kRxMode = 0664;
constexpr long kReplyTimeoutMs = 15000;
constexpr size_t kRxNameMax = 128;

// A queue of the link: descriptor (-1 when closed), attributes and camera name.
struct LinkQueue {
  mqd_t mqd = static_cast<mqd_t>(-1);
  struct mq_attr attr = {};
  std::string name;
  bool open() const { return mqd != static_cast<mqd_t>(-1); }
};

// The process-wide link.
ZqMutex g_linkMutex;
LinkQueue sp_rxq GUARDED_BY(g_linkMutex);
LinkQueue sp_txq GUARDED_BY(g_linkMutex);
// The address elements, set at open.
MsgElement g_replyTo GUARDED_BY(g_linkMutex);
MsgElement g_toBle GUARDED_BY(g_linkMutex);
MsgElement g_toZqnet GUARDED_BY(g_linkMutex);
// The reply buffer every exchange reuses.
uint8_t g_reply[kMessageSize] GUARDED_BY(g_linkMutex);

void CloseLocked() REQUIRES(g_linkMutex) {
  if (sp_txq.open() && mq_close(sp_txq.mqd) != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to close tx message queue");
  }
  if (sp_rxq.open()) {
    if (mq_close(sp_rxq.mqd) != 0) ZQ_LOG(ZQ_LOG_ERROR, "Failed to close rx message queue");
    if (mq_unlink(zq_mq_name(sp_rxq.name).c_str()) != 0) {
      ZQ_LOG(ZQ_LOG_ERROR, "Failed to unlink rx queue");
    }
  }
  sp_rxq = LinkQueue();
  sp_txq = LinkQueue();
}

}  // namespace

int32_t zq_ble_link_open() {
  ZqLock lock(g_linkMutex);
  if (sp_rxq.open() || sp_txq.open()) {
    ZQ_LOG(ZQ_LOG_ERROR, "Interface already open");
    return ZQ_ERR;
  }
  LinkQueue rx;
  rx.name = kZqBleRxPrefix + std::to_string(getpid());
  if (rx.name.size() > kRxNameMax) return ZQ_ERR;
  rx.attr.mq_flags = 0;
  rx.attr.mq_maxmsg = kRxMaxMessages;
  rx.attr.mq_msgsize = kMessageSize;
  const std::string rx_real = zq_mq_name(rx.name);
  // A queue of this name was left by an earlier process with the same id: its messages are
  // not ours.
  mq_unlink(rx_real.c_str());
  rx.mqd = mq_open(rx_real.c_str(), O_CREAT | O_RDONLY | O_CLOEXEC, kRxMode, &rx.attr);
  if (!rx.open()) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to open rx message queue %s: %s", rx.name.c_str(),
           strerror(errno));
    return ZQ_ERR;
  }
  sp_rxq = rx;
  LinkQueue tx;
  tx.name = kZqNetService;
  tx.mqd = mq_open(zq_mq_name(tx.name).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (!tx.open() || mq_getattr(tx.mqd, &tx.attr) != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to open tx message queue %s: %s", tx.name.c_str(),
           strerror(errno));
    if (tx.open()) mq_close(tx.mqd);
    CloseLocked();
    return ZQ_ERR;
  }
  sp_txq = tx;
  g_replyTo = MsgElement(kZqBleTagReplyTo, sp_rxq.name);
  g_toBle = MsgElement(kZqBleTagDestination, kZqBleService);
  g_toZqnet = MsgElement(kZqBleTagDestination, kZqNetService);
  return ZQ_OK;
}

void zq_ble_link_close() {
  ZqLock lock(g_linkMutex);
  CloseLocked();
}

std::string zq_ble_link_rx_name() {
  ZqLock lock(g_linkMutex);
  return sp_rxq.open() ? sp_rxq.name : std::string();
}

int32_t zq_ble_exchange(const char* command, std::span<const uint8_t> params, bool to_ble,
                        std::vector<uint8_t>* data) {
  if (command == nullptr || strlen(command) != 2) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed, invalid parameters");
    return ZQ_ERR_INVALID_PARAM;
  }
  ZqLock lock(g_linkMutex);
  if (!sp_txq.open() || !sp_rxq.open()) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed, IF not open");
    return ZQ_ERR;
  }
  Msg request(kZqBleRequestCategory);
  request.AddElement(MsgElement(kZqBleTagCommand, command, 2));
  request.AddElement(MsgElement(kZqBleTagParams, params.data(), params.size()));
  request.AddElement(g_replyTo);
  request.AddElement(to_ble ? g_toBle : g_toZqnet);
  request.AddElement(MsgElement(kZqBleTagEnd, nullptr, 0));
  MemStream out;
  if (!request.Encode(&out) ||
      mq_send(sp_txq.mqd, reinterpret_cast<const char*>(out.data()), out.size(), 0) != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed");
    return ZQ_ERR;
  }
  const ssize_t n =
      zqMbox_receive_within(sp_rxq.mqd, g_reply, sizeof g_reply, zq_scaled_ms(kReplyTimeoutMs));
  if (n < 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed error:%s, timeout\n", strerror(errno));
    return ZQ_ERR;
  }
  Msg reply;
  if (!reply.Decode(MemStream(g_reply, static_cast<size_t>(n))) ||
      reply.category() != kZqBleReplyCategory) {
    ZQ_LOG(ZQ_LOG_ERROR, "Message from zqControlD was not CAT_CGI_MK_RSP, actual (%d)\n",
           reply.category());
    return ZQ_ERR;
  }
  const MsgElement* result = reply.FindElement(kZqBleTagResult);
  if (result == nullptr) {
    ZQ_LOG(ZQ_LOG_ERROR, "Expected a typeRSP element from daemon but got none\n");
    return ZQ_ERR;
  }
  if (result->value().empty()) {
    ZQ_LOG(ZQ_LOG_ERROR, "ERROR: typeRSP did not contain enough bytes for int8_t (got %d)\n", 0);
    return ZQ_ERR;
  }
  if (result->value()[0] != 0) return ZQ_ERR;
  data->assign(result->value().begin() + 1, result->value().end());
  return ZQ_OK;
}

namespace {

// The query for log lines.
const char* Text(const char* query) { return query != nullptr ? query : ""; }

// A byte-sized parameter; `bad` is logged with the text when it is given but unreadable.
enum class Byte : uint8_t { kOk, kAbsent, kBad };
Byte ReadByte(const char* query, const char* key, uint8_t* out) {
  std::string raw;
  switch (zq_query_find(query, key, &raw)) {
    case ZqQueryValue::kAbsent:
      return Byte::kAbsent;
    case ZqQueryValue::kRepeated:
      return Byte::kBad;
    case ZqQueryValue::kFound:
      break;
  }
  uint32_t v = 0;
  if (!zq_parse_u32(raw, &v) || v > 255) return Byte::kBad;
  *out = static_cast<uint8_t>(v);
  return Byte::kOk;
}

bool ReadAddress(const char* query, const char* key, ZqBleAddress* address) {
  std::string raw;
  if (!zq_query_get(query, key, &raw)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to parse required param %s", key);
    return false;
  }
  if (!parse_device_address(raw, address)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to parse device address from %s", raw.c_str());
    return false;
  }
  return true;
}

int32_t Send(std::initializer_list<uint8_t> bytes, std::vector<uint8_t>* data = nullptr) {
  std::vector<uint8_t> ignored;
  const std::vector<uint8_t> params(bytes);
  return zq_ble_exchange("BL", params, true, data != nullptr ? data : &ignored);
}

int32_t SendBytes(const std::vector<uint8_t>& params) {
  std::vector<uint8_t> ignored;
  return zq_ble_exchange("BL", params, true, &ignored);
}

ZqBlePageFetch PageFetch(ZqBleList list) {
  const uint8_t command = list == ZqBleList::kScanResults ? kZqBleScanPage : kZqBleWhitelistPage;
  return [command, list](uint8_t index, uint8_t max, ZqBlePage* page) {
    std::vector<uint8_t> data;
    if (Send({command, index, max}, &data) != ZQ_OK) return ZQ_ERR;
    return zq_ble_page_parse(data, list, page) ? ZQ_OK : ZQ_ERR;
  };
}

int32_t List(const char* query, ZqBleList list, std::string* body) {
  std::optional<uint8_t> first;
  uint8_t p = 0;
  switch (ReadByte(query, "p=", &p)) {
    case Byte::kBad: {
      std::string raw;
      zq_query_get(query, "p=", &raw);
      ZQ_LOG(ZQ_LOG_ERROR, "Error parsing p parameter [%s]", raw.c_str());
      return ZQ_ERR_INVALID_PARAM;
    }
    case Byte::kOk:
      first = p;
      break;
    case Byte::kAbsent:
      break;
  }
  ZqBleListResult result;
  if (zq_ble_list_fetch(PageFetch(list), list, first, &result) != ZQ_OK) return ZQ_ERR;
  *body = zq_ble_list_body(result, list);
  return ZQ_OK;
}

}  // namespace

int32_t zq_ble_pairing_available() {
  uint32_t recording = 0;
  uint32_t len = 0;
  if (csi_get(kCsiRecording, sizeof recording, &len, &recording) != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "csi_get(CSI_RECORDING) failed");
    return ZQ_ERR;
  }
  if (recording != 0) {
    ZQ_LOG(ZQ_LOG_DEBUG, "Can't enter pairing phase because recording");
    return ZQ_ERR;
  }
  uint32_t state = 0;
  const int32_t status = csi_get(kCsiApPairingState, sizeof state, &len, &state);
  if (status != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "csi_get(CSI_AP_PAIRING_STATE) failed");
    return status;
  }
  if (state == 1) {
    ZQ_LOG(ZQ_LOG_DEBUG, "Can't enter pairing phase because apPairingState(%d)==OP_STARTED",
           static_cast<int>(state));
    return ZQ_ERR;
  }
  return ZQ_OK;
}

int32_t zq_ble_pairing_phase(const char* query) {
  std::string raw;
  int32_t p = 0;
  if (!zq_query_get(query, "p=", &raw)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to parse parameters in %s", Text(query));
    return ZQ_ERR_INVALID_PARAM;
  }
  if (!zq_parse_i32(raw, &p)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Error parsing parameter for pairing_phase command [%s]", raw.c_str());
    return ZQ_ERR_INVALID_PARAM;
  }
  std::vector<uint8_t> data;
  const uint8_t start[] = {1, 3};
  const int32_t status =
      p == 0 ? zq_ble_exchange("PX", {}, false, &data) : zq_ble_exchange("PD", start, false, &data);
  if (status != ZQ_OK) ZQ_LOG(ZQ_LOG_ERROR, "ble_pairing_phase p=%d command failed", p);
  return status;
}

int32_t zq_ble_scan(const char* query) {
  uint8_t p = 0;
  switch (ReadByte(query, "p=", &p)) {
    case Byte::kAbsent:
      ZQ_LOG(ZQ_LOG_ERROR, "Failed to parse parameters in %s", Text(query));
      return ZQ_ERR_INVALID_PARAM;
    case Byte::kBad:
      ZQ_LOG(ZQ_LOG_ERROR, "Error parsing p parameter [%s]", Text(query));
      return ZQ_ERR_INVALID_PARAM;
    case Byte::kOk:
      break;
  }
  const int32_t status = Send({kZqBleScan, p});
  if (status != ZQ_OK) ZQ_LOG(ZQ_LOG_ERROR, "ble_scan p=%d command failed", p);
  return status;
}

int32_t zq_ble_pair(const char* query, bool start) {
  uint8_t type = 0;
  if (ReadByte(query, "address_type=", &type) == Byte::kBad) {
    ZQ_LOG(ZQ_LOG_ERROR, "Error parsing address_type parameter [%s]", Text(query));
    return ZQ_ERR_INVALID_PARAM;
  }
  ZqBleAddress address;
  if (!ReadAddress(query, "device=", &address)) return ZQ_ERR_INVALID_PARAM;
  std::vector<uint8_t> params = {start ? kZqBlePairStart : kZqBlePairCancel};
  params.insert(params.end(), address.begin(), address.end());
  params.push_back(type);
  const int32_t status = SendBytes(params);
  if (status != ZQ_OK) {
    const std::string text = zq_ble_address_text(address);
    if (start) {
      ZQ_LOG(ZQ_LOG_ERROR, "ble_pair_start %s command failed", text.c_str());
    } else {
      ZQ_LOG(ZQ_LOG_ERROR, "ble_pair_cancel %s command failed", text.c_str());
    }
  }
  return status;
}

int32_t zq_ble_pair_status(std::string* body) {
  std::vector<uint8_t> data;
  if (Send({kZqBlePairStatus}, &data) != ZQ_OK) return ZQ_ERR;
  if (data.size() != 1) {
    ZQ_LOG(ZQ_LOG_ERROR, "Expected 1 bytes in response, got %d", static_cast<int>(data.size()));
    return ZQ_ERR;
  }
  *body = "\n{\"pairing_status\":" + std::to_string(data[0]) + "}\n";
  return ZQ_OK;
}

int32_t zq_ble_scan_list(const char* query, std::string* body) {
  return List(query, ZqBleList::kScanResults, body);
}

int32_t zq_ble_whitelist_list(const char* query, std::string* body) {
  return List(query, ZqBleList::kWhitelist, body);
}

int32_t zq_ble_whitelist_device(const char* query, std::string* body) {
  ZqBleAddress address;
  if (!ReadAddress(query, "address=", &address)) return ZQ_ERR_INVALID_PARAM;
  ZqBleListResult result;
  if (zq_ble_list_fetch(PageFetch(ZqBleList::kWhitelist), ZqBleList::kWhitelist, std::nullopt,
                        &result) != ZQ_OK) {
    return ZQ_ERR;
  }
  for (const ZqBleEntry& e : result.entries) {
    if (e.address == address) {
      *body = "\n" + zq_ble_device_json(e, ZqBleList::kWhitelist);
      return ZQ_OK;
    }
  }
  return kZqStatusNotFound;
}

int32_t zq_ble_whitelist_configure(const char* query) {
  ZqBleAddress address;
  if (!ReadAddress(query, "device=", &address)) return ZQ_ERR_INVALID_PARAM;
  uint8_t remove = 0;
  const Byte removing = ReadByte(query, "remove=", &remove);
  if (removing == Byte::kBad || (removing == Byte::kOk && remove != 1)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid parameter to remove= [%s]", Text(query));
    return ZQ_ERR_INVALID_PARAM;
  }
  uint8_t auto_connect = 0;
  const Byte setting = ReadByte(query, "auto_connect=", &auto_connect);
  if (setting == Byte::kBad || (setting == Byte::kOk && auto_connect > 1)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid parameter to auto_connect= [%s]", Text(query));
    return ZQ_ERR_INVALID_PARAM;
  }
  if (removing == Byte::kAbsent && setting == Byte::kAbsent) {
    ZQ_LOG(ZQ_LOG_ERROR, "No parameters specified for command!");
    return ZQ_ERR_INVALID_PARAM;
  }
  const bool rm = removing == Byte::kOk;
  std::vector<uint8_t> params = {kZqBleWhitelistConfigure,
                                 rm ? kZqBleOpRemove : kZqBleOpAutoConnect,
                                 rm ? uint8_t{0} : auto_connect};
  params.insert(params.end(), address.begin(), address.end());
  const int32_t status = SendBytes(params);
  if (status != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "ble_whitelist_configure %s command failed",
           zq_ble_address_text(address).c_str());
  }
  return status;
}

int32_t zq_ble_configure(const char* query, std::string* body) {
  uint8_t value = 0;
  switch (ReadByte(query, "auto_connect=", &value)) {
    case Byte::kBad:
      ZQ_LOG(ZQ_LOG_ERROR, "Error parsing auto_connect parameter [%s]", Text(query));
      return ZQ_ERR_INVALID_PARAM;
    case Byte::kOk: {
      const int32_t status = Send({kZqBleSetConfig, 0, value});
      if (status != ZQ_OK) ZQ_LOG(ZQ_LOG_ERROR, "auto_connect=%d command failed", value);
      return status;
    }
    case Byte::kAbsent:
      break;
  }
  std::vector<uint8_t> data;
  const int32_t status = Send({kZqBleGetConfig}, &data);
  if (status != ZQ_OK) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to get proper response for get ble config: %d", status);
    return status;
  }
  if (data.size() != 1) {
    ZQ_LOG(ZQ_LOG_ERROR, "Expected %d bytes of response to command, got %d", 1,
           static_cast<int>(data.size()));
    return ZQ_ERR;
  }
  *body = "\n{\"auto_connect\":" + std::to_string(data[0]) + "}\n";
  return ZQ_OK;
}
