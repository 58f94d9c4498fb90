// TLV messages as they arrive from another process: validation, the finders, and the editors
// the daemon applies to messages it found elements in.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "zqcommon/zqLog.h"
#include "zqcommon/zqMsg.h"
#include "zqcommon/zqTlv.h"

namespace {

constexpr uint8_t kTypes[] = {TLV_CMD, TLV_CMDARG, TLV_DST, TLV_SRC, TLV_RSPARG, TLV_VOID, TLV_END};

// The length field addresses at most 65535 bytes: a buffer that large keeps every read of a
// message inside it, whatever the field says.
constexpr size_t kBuffer = 65536;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Log now and then, so the log texts are formatted without drowning the run in output.
  g_debug_level = (size > 0 && (data[0] & 0x1F) == 0) ? 0x20 : 0;

  std::vector<uint8_t> buf(kBuffer, 0);
  memcpy(buf.data(), data, size < kBuffer ? size : kBuffer);
  uint8_t* msg = buf.data();
  const size_t length = sntlv_msg_len(msg);

  const int valid = tlv_validate(msg);
  Check(valid == 0 || valid == kTlvBadFrame || valid == kTlvBadCategory || valid == kTlvMissing);
  if (valid == 0) {
    Check(length >= kTlvMinMessage && length <= ZQMSG_MAX && msg[length - 1] == TLV_END);
    const uint8_t* end = tlv_find(msg, TLV_END);
    Check(end != nullptr && end + 4 + tlv_value_len(end) == msg + length);
    Check(tlv_find(msg, TLV_CMD) && tlv_find(msg, TLV_SRC) && tlv_find(msg, TLV_DST) &&
          tlv_find(msg, TLV_CMDARG));

    zqmsg rec;
    memcpy(rec.msg, msg, length);
    rec.length = static_cast<uint32_t>(length);
    const uint8_t* value = nullptr;
    size_t len = 0;
    if (zqmsg_response(&rec, &value, &len)) {
      Check(value > rec.msg && value + len <= rec.msg + length);
    }
  }

  for (uint8_t type : kTypes) {
    const uint8_t* tlv = tlv_find(msg, type);
    uint8_t out[ZQMSG_MAX];
    const int n = sntlv_find(out, sizeof out, type, msg);
    if (tlv == nullptr) {
      Check(n == 0);
      continue;
    }
    const size_t vlen = tlv_value_len(tlv);
    Check(tlv >= msg + 4 && tlv + 4 + vlen <= msg + length && tlv[3] == type);
    Check(n == (vlen < sizeof out ? static_cast<int>(vlen) : 0));
    if (n > 0) Check(memcmp(out, tlv + 4, vlen) == 0);

    std::vector<uint8_t> edited = buf;
    sntlv_void(edited.data(), type);
    Check(edited[tlv - msg + 3] == TLV_VOID && sntlv_msg_len(edited.data()) == length);
    for (size_t i = 0; i < vlen; ++i) Check(edited[tlv - msg + 4 + i] == 0);

    edited = buf;
    const int removed = sntlv_remove(edited.data(), kBuffer, type);
    Check(removed == -static_cast<int>(4 + vlen));
    Check(sntlv_msg_len(edited.data()) == length - 4 - vlen);
  }
  return 0;
}
