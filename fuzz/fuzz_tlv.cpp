// TLV messages as they arrive from another process: validation, the finders, and the editors
// the daemon applies to messages it found elements in.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zqcommon/zqLog.h"
#include "zqcommon/zqMsg.h"
#include "zqcommon/zqTlv.h"

namespace {

constexpr uint8_t kTypes[] = {TLV_CMD, TLV_CMDARG, TLV_DST, TLV_SRC, TLV_RSPARG, TLV_VOID, TLV_END};

// A message record's bytes. The finders and editors read up to the length field, so they are
// given only messages that fit (as the daemon gives them only messages it received whole);
// validation sees every input, since it rejects a long length field before reading.
constexpr size_t kBuffer = ZQMSG_MAX + kTlvHeaderSize;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Quiet: every log line is a system call, which would slow the run a hundredfold; the log
  // texts are checked by the unit tests.
  g_debug_level = 0;

  // Static buffers: a fresh allocation per input would dominate the run time.
  static uint8_t msg[kBuffer];
  static uint8_t edited[kBuffer];
  const size_t copied = size < kBuffer ? size : kBuffer;
  memcpy(msg, data, copied);
  memset(msg + copied, 0, kBuffer - copied);
  const size_t length = sntlv_msg_len(msg);
  // What the editors may touch: the message (and the header, however short the input).
  const size_t span = length > kTlvHeaderSize ? length : kTlvHeaderSize;

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

  if (length > kBuffer) return 0;
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

    memcpy(edited, msg, span);
    sntlv_void(edited, type);
    Check(edited[tlv - msg + 3] == TLV_VOID && sntlv_msg_len(edited) == length);
    for (size_t i = 0; i < vlen; ++i) Check(edited[tlv - msg + 4 + i] == 0);

    memcpy(edited, msg, span);
    const int removed = sntlv_remove(edited, kBuffer, type);
    Check(removed == -static_cast<int>(4 + vlen));
    Check(sntlv_msg_len(edited) == length - 4 - vlen);
  }
  return 0;
}
