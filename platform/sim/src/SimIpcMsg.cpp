// The IPC message library's encoding in a host run:
//
//   offset 0  u8   0xA7, the library's mark (a TLV message begins with its big-endian length,
//                  at most 1500, so its first byte is at most 0x05: the two never mix up)
//   offset 1  u8   category
//   offset 2  u16  total length in bytes, little-endian, this header included
//   offset 4       elements back to back: u8 tag, u16 value length (little-endian), the value
#include <cstring>

#include "zqIpcMsg.h"
#include "zqcommon/zqByteOrder.h"
#include "zqipc.h"

namespace {

constexpr uint8_t kMark = 0xA7;
constexpr size_t kHeader = 4;
constexpr size_t kElementHeader = 3;

}  // namespace

MemStream::MemStream(const void* data, size_t size) { Append(data, size); }

void MemStream::Append(const void* data, size_t size) {
  if (size == 0) return;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  bytes_.insert(bytes_.end(), p, p + size);
}

MsgElement::MsgElement(uint8_t tag, const void* data, size_t size) : tag_(tag) {
  if (size > 0) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    value_.assign(p, p + size);
  }
}

MsgElement::MsgElement(uint8_t tag, std::string_view text)
    : MsgElement(tag, text.data(), text.size()) {}

const MsgElement* Msg::FindElement(uint8_t tag) const {
  for (const MsgElement& e : elements_) {
    if (e.tag() == tag) return &e;
  }
  return nullptr;
}

bool Msg::Encode(MemStream* out) const {
  out->Clear();
  size_t total = kHeader;
  for (const MsgElement& e : elements_) total += kElementHeader + e.value().size();
  if (total > kZqIpcMaxMessage) return false;
  const uint8_t header[kHeader] = {kMark, category_, static_cast<uint8_t>(total),
                                   static_cast<uint8_t>(total >> 8)};
  out->Append(header, sizeof header);
  for (const MsgElement& e : elements_) {
    const size_t n = e.value().size();
    const uint8_t head[kElementHeader] = {e.tag(), static_cast<uint8_t>(n),
                                          static_cast<uint8_t>(n >> 8)};
    out->Append(head, sizeof head);
    out->Append(e.value().data(), n);
  }
  return true;
}

bool Msg::Decode(const MemStream& in) {
  category_ = 0;
  elements_.clear();
  const uint8_t* p = in.data();
  const size_t size = in.size();
  if (size < kHeader || size > kZqIpcMaxMessage || p[0] != kMark || zq_load_le16(p + 2) != size) {
    return false;
  }
  std::vector<MsgElement> elements;
  for (size_t at = kHeader; at < size;) {
    if (size - at < kElementHeader) return false;
    const size_t n = zq_load_le16(p + at + 1);
    if (size - at - kElementHeader < n) return false;
    elements.emplace_back(p[at], p + at + kElementHeader, n);
    at += kElementHeader + n;
  }
  category_ = p[1];
  elements_ = std::move(elements);
  return true;
}
