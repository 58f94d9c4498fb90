#include "zqcommon/zqTlv.h"

#include <cstring>

#include "zqcommon/zqByteOrder.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqMsgDebug.h"

namespace {

// Validation failures are logged above this verbosity.
constexpr uint32_t kValidateVerbosity = 15;

// The value of the first element of `type` as text for log lines ("" when absent or long).
struct ValueText {
  ValueText(const uint8_t* buf, uint8_t type) {
    const int n = sntlv_find(text, sizeof text, type, buf);
    text[n] = '\0';
  }
  char text[64] = {};
};

}  // namespace

int sntlv_msg_init(uint8_t* buf, size_t /*capacity*/, uint8_t category) {
  zq_store_be(buf, kTlvHeaderSize, 2);
  buf[2] = 0;
  buf[3] = category;
  return static_cast<int>(kTlvHeaderSize);
}

uint16_t sntlv_msg_len(const uint8_t* buf) { return zq_load_be16(buf); }

int sntlv_add_bin(uint8_t* buf, size_t capacity, uint8_t type, size_t len, const void* data) {
  if (type == TLV_SRC || type == TLV_DST) ZQ_ASSERT(len > 0);
  const size_t length = sntlv_msg_len(buf);
  const size_t used = length >= kTlvHeaderSize ? length - kTlvHeaderSize : 0;
  const size_t size = len + kTlvElementHeaderSize;
  if (len > UINT16_MAX || used > capacity || size > capacity - used || length + size > UINT16_MAX) {
    return 0;
  }
  uint8_t* tlv = buf + length;
  tlv[0] = 0;
  zq_store_be(tlv + 1, len, 2);
  tlv[3] = type;
  if (len > 0) memcpy(tlv + kTlvElementHeaderSize, data, len);
  zq_store_be(buf, length + size, 2);
  return static_cast<int>(size);
}

int sntlv_add_dat(uint8_t* buf, size_t capacity, uint8_t type, size_t len, uint32_t value) {
  ZQ_ASSERT(len <= sizeof value);
  return sntlv_add_bin(buf, capacity, type, len, &value);
}

const uint8_t* tlv_find(const uint8_t* buf, uint8_t type) {
  const size_t length = sntlv_msg_len(buf);
  size_t off = kTlvHeaderSize;
  while (off + kTlvElementHeaderSize <= length) {
    const uint8_t* tlv = buf + off;
    const size_t size = kTlvElementHeaderSize + tlv_value_len(tlv);
    if (off + size > length) return nullptr;  // runs past the message
    if (tlv[3] == type) return tlv;
    off += size;
  }
  return nullptr;
}

uint8_t* tlv_find(uint8_t* buf, uint8_t type) {
  return const_cast<uint8_t*>(tlv_find(static_cast<const uint8_t*>(buf), type));
}

uint16_t tlv_value_len(const uint8_t* tlv) { return zq_load_be16(tlv + 1); }

int sntlv_find(void* out, size_t out_capacity, uint8_t type, const uint8_t* buf) {
  const uint8_t* tlv = tlv_find(buf, type);
  if (tlv == nullptr) return 0;
  const size_t len = tlv_value_len(tlv);
  if (len >= out_capacity) return 0;
  if (len > 0) memcpy(out, tlv + kTlvElementHeaderSize, len);
  return static_cast<int>(len);
}

int tlv_validate(const uint8_t* buf) {
  const size_t length = sntlv_msg_len(buf);
  if (length < kTlvMinMessage) {
    ZQ_DBG(kValidateVerbosity, "TLV_ERROR: MSG len is too short (%d < %d)\n",
           static_cast<int>(length), static_cast<int>(kTlvMinMessage));
    return kTlvBadFrame;
  }
  if (length > ZQMSG_MAX) {
    ZQ_DBG(kValidateVerbosity, "TLV_ERROR: MSG len is too long (%d > 1500)\n",
           static_cast<int>(length));
    return kTlvBadFrame;
  }

  // Only bytes below the length field are read: an element header that would straddle it
  // counts with its 4 bytes, which is enough to make the sums differ.
  const size_t body = length - kTlvHeaderSize;
  size_t sum = 0;
  while (sum < body) {
    const size_t off = kTlvHeaderSize + sum;
    if (off + kTlvElementHeaderSize > length) {
      sum += kTlvElementHeaderSize;
      break;
    }
    sum += kTlvElementHeaderSize + tlv_value_len(buf + off);
  }
  if (sum != body) {
    ZQ_DBG(kValidateVerbosity, "TLV_ERROR: MSG length (%d) does not match internal length (%d0.\n",
           static_cast<int>(length), static_cast<int>(sum + kTlvHeaderSize));
    return kTlvBadFrame;
  }

  if (buf[length - 1] != TLV_END) {
    ZQ_DBG(kValidateVerbosity, "TLV_ERROR: MSG is missing ending TLV: 0xEE\n");
    return kTlvBadFrame;
  }

  if (tlv_find(buf, TLV_CMD) == nullptr) {
    ZQ_DBG(kValidateVerbosity, "TLV_ERROR: MSG needs a CMD\n");
    return kTlvMissing;
  }
  const ValueText cmd(buf, TLV_CMD);
  if (tlv_find(buf, TLV_DST) == nullptr) {
    ZQ_DBG(kValidateVerbosity, ":%s MSG needs a DST\n", cmd.text);
    return kTlvMissing;
  }
  if (tlv_find(buf, TLV_SRC) == nullptr) {
    ZQ_DBG(kValidateVerbosity, ":%s MSG needs a SRC\n", cmd.text);
    return kTlvMissing;
  }

  // The last byte is 0xEE, but it may belong to a value: the first end marker must be the
  // element that ends the message.
  const uint8_t* end = tlv_find(buf, TLV_END);
  if (end == nullptr) {
    ZQ_DBG(kValidateVerbosity, "TLV_ERROR: MSG is missing ending TLV: 0xEE\n");
    return kTlvBadFrame;
  }
  if (end + kTlvElementHeaderSize + tlv_value_len(end) != buf + length) {
    ZQ_DBG(kValidateVerbosity, ":%s MSG has too many ending TLV: 0xEE\n", cmd.text);
    return kTlvBadFrame;
  }

  const uint8_t category = buf[3];
  if (category > kTlvMaxCategory) {
    ZQ_DBG(kValidateVerbosity, ":%s MSG needs a known CATagory. CAT=0x%02x\n", cmd.text, category);
    return kTlvBadCategory;
  }

  if (category & 1) {
    if (tlv_find(buf, TLV_CMDARG) == nullptr) {
      ZQ_DBG(kValidateVerbosity, ":%s RSP needs a CMDARG\n", cmd.text);
      return kTlvMissing;
    }
    if (tlv_find(buf, TLV_RSPARG) == nullptr) {
      const ValueText src(buf, TLV_SRC);
      const ValueText dst(buf, TLV_DST);
      // The source name is shown from its fourth character on ("/to_zqnet" -> "_zqnet").
      const char* from = strlen(src.text) >= 3 ? src.text + 3 : "";
      ZQ_DBG(kValidateVerbosity, "TLV_WARNING: MSG :%s RSP needs a RSPARG fr%s %s\n", cmd.text,
             from, dst.text);
    }
  } else if (tlv_find(buf, TLV_CMDARG) == nullptr) {
    ZQ_DBG(kValidateVerbosity, ":%s CMD needs a CMDARG\n", cmd.text);
    return kTlvMissing;
  }
  return 0;
}

void sntlv_void(uint8_t* buf, uint8_t type) {
  uint8_t* tlv = tlv_find(buf, type);
  ZQ_ASSERT(tlv != NULL);
  tlv[3] = TLV_VOID;
  memset(tlv + kTlvElementHeaderSize, 0, tlv_value_len(tlv));
}

int sntlv_remove(uint8_t* buf, size_t /*capacity*/, uint8_t type) {
  const uint8_t* tlvend = tlv_find(buf, type);
  ZQ_ASSERT(tlvend != NULL);
  const size_t size = kTlvElementHeaderSize + tlv_value_len(tlvend);
  zq_store_be(buf, sntlv_msg_len(buf) - size, 2);
  return -static_cast<int>(size);
}

int snLoclItoI(void* out, size_t out_capacity, size_t nbytes, uint32_t value) {
  if (nbytes == 0 || nbytes > sizeof value || nbytes > out_capacity) return 0;
  auto* p = static_cast<uint8_t*>(out);
  for (size_t i = 0; i < nbytes; ++i) {
    p[i] = static_cast<uint8_t>(value >> (8 * (nbytes - 1 - i)));
  }
  return static_cast<int>(nbytes);
}

int snLoclbin(void* dst, size_t capacity, size_t len, const void* src) {
  if (len < 1 || len > capacity) return 0;
  memcpy(dst, src, len);
  return static_cast<int>(len);
}
