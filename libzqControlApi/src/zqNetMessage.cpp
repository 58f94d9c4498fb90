#include "zqcontrolapi/zqNetMessage.h"

#include "zqcommon/zqErrors.h"
#include "zqcommon/zqMsg.h"

namespace {

constexpr char kReplyPrefix[] = "/to_kxpair";
constexpr char kNetMailbox[] = "/to_zqnet";
// Hex dumps of these exchanges go under the Wi-Fi directions (">WI" sent, "<WI" received).
constexpr int kDumpIndex = 21;

}  // namespace

int32_t zq_net_exchange(const char* cmd, std::span<const uint8_t> arg, ZqNetReply* reply) {
  zqmsg rec;
  if (zqmsg_build(&rec, cmd, arg.data(), arg.size(), CAT_CGI_MK) < 0) return ZQ_ERR;
  char reply_name[20];
  if (!zqmsg_reply_name(reply_name, sizeof reply_name, kReplyPrefix)) return ZQ_ERR;
  if (zqmsg_send_timedreceive(&rec, reply_name, kNetMailbox, nullptr, kDumpIndex) < 0) {
    return ZQ_ERR;
  }
  const uint8_t* value = nullptr;
  size_t len = 0;
  reply->has_result = zqmsg_response(&rec, &value, &len);
  reply->result.assign(value, value + (reply->has_result ? len : 0));
  return ZQ_OK;
}
