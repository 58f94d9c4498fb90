#include "quicktime64/MdatAtomPrefix.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t MdatAtomPrefix::Read(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  uint32_t size32 = in.U32();
  uint32_t type = in.U32();
  uint64_t size = size32 == 1 ? in.U64() : size32;
  uint32_t headerSize = size32 == 1 ? 16 : 8;
  if (!in.ok()) return kQTAtomMalformed;
  if (size32 == 0) return kQTAtomZeroSize;
  if (type != FourCC("mdat")) return kQTAtomWrongType;
  if (size < headerSize) return kQTAtomMalformed;
  position_ = buffer.Cursor();
  size_ = size;
  payloadSize_ = size - headerSize;
  buffer.Advance(headerSize);
  return 0;
}

uint64_t MdatAtomPrefix::Size() const { return HeaderSizeFor(payloadSize_); }

uint32_t MdatAtomPrefix::Write(FileBuffer& buffer) const {
  uint32_t headerSize = HeaderSizeFor(payloadSize_);
  if (buffer.Remaining() < headerSize) return kQTAtomBufferTooSmall;
  ByteWriter out(buffer);
  if (headerSize == 8) {
    out.U32(static_cast<uint32_t>(payloadSize_ + 8));
    out.U32(type_);
  } else {
    out.U32(1);
    out.U32(type_);
    out.U64(payloadSize_ + 16);
  }
  buffer.Advance(out.Position());
  return 0;
}

uint32_t MdatAtomPrefix::ReadBody(FileBuffer&, bool) { return 0; }

uint64_t MdatAtomPrefix::BodySize() const { return 0; }

uint32_t MdatAtomPrefix::WriteBody(FileBuffer&) const { return 0; }

void MdatAtomPrefix::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "PayloadSize: %llu", static_cast<unsigned long long>(payloadSize_));
}

}  // namespace MavrelQuickTime64Atom
