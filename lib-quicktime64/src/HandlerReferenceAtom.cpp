#include "quicktime64/HandlerReferenceAtom.h"

#include <algorithm>
#include <cstring>

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

namespace {

constexpr uint64_t kMaxWrittenName = 255;

}  // namespace

uint32_t HandlerReferenceAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  componentType_ = in.U32();
  componentSubtype_ = in.U32();
  componentManufacturer_ = in.U32();
  componentFlags_ = in.U32();
  componentFlagsMask_ = in.U32();
  if (!in.ok()) return kQTAtomMalformed;
  const char* name = reinterpret_cast<const char*>(in.Current());
  uint64_t length = in.Remaining();
  componentName_.clear();
  if (length == 0) return 0;
  uint8_t first = static_cast<uint8_t>(name[0]);
  // A Pascal string either fills the field exactly or starts with a control-character
  // length that fits it; anything else is a C string ending at its first zero byte.
  if (first == length - 1 || (first > 0 && first < 0x20 && first <= length - 1)) {
    componentName_.assign(name + 1, first);
  } else {
    const void* end = memchr(name, 0, length);
    size_t n = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - name) : length;
    componentName_.assign(name, n);
  }
  return 0;
}

uint64_t HandlerReferenceAtom::BodySize() const {
  return kVersionAndFlagsSize + 20 + 1 + std::min<uint64_t>(componentName_.size(), kMaxWrittenName);
}

uint32_t HandlerReferenceAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U32(componentType_);
  out.U32(componentSubtype_);
  out.U32(componentManufacturer_);
  out.U32(componentFlags_);
  out.U32(componentFlagsMask_);
  uint64_t length = std::min<uint64_t>(componentName_.size(), kMaxWrittenName);
  out.U8(static_cast<uint8_t>(length));
  out.Bytes(componentName_.data(), length);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void HandlerReferenceAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "ComponentType: %s ComponentSubtype: %s Manufacturer: %s",
       FourCCText(componentType_).c_str(), FourCCText(componentSubtype_).c_str(),
       FourCCText(componentManufacturer_).c_str());
  Line(out, depth, "ComponentFlags: 0x%08x FlagsMask: 0x%08x", componentFlags_,
       componentFlagsMask_);
  Line(out, depth, "ComponentName: %s", componentName_.c_str());
}

}  // namespace MavrelQuickTime64Atom
