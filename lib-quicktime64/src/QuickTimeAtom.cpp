#include "quicktime64/QuickTimeAtom.h"

#include <cstdarg>
#include <cstdio>

#include "AtomChildren.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

QuickTimeAtom::~QuickTimeAtom() = default;

QuickTimeAtom& QuickTimeAtom::operator=(const QuickTimeAtom& other) {
  // Reached only as the base part of a derived class's assignment.
  size_ = other.size_;
  type_ = other.type_;
  position_ = other.position_;
  return *this;
}

uint32_t QuickTimeAtom::ParseHeader(const uint8_t* data, uint64_t available, Header* header) {
  ByteReader in(data, available);
  uint32_t size32 = in.U32();
  uint32_t type = in.U32();
  if (!in.ok()) return kQTAtomMalformed;
  uint64_t size = size32;
  uint32_t headerSize = 8;
  if (size32 == 1) {
    size = in.U64();
    headerSize = 16;
    if (!in.ok()) return kQTAtomMalformed;
  } else if (size32 == 0) {
    return kQTAtomZeroSize;
  }
  if (size < headerSize || size > available) return kQTAtomMalformed;
  *header = {size, type, headerSize};
  return 0;
}

uint32_t QuickTimeAtom::HeaderSizeFor(uint64_t bodySize) {
  return bodySize + 8 <= 0xffffffffull ? 8 : 16;
}

uint32_t QuickTimeAtom::Read(FileBuffer& buffer, bool flag) {
  size_t start = buffer.Cursor();
  Header header = {};
  uint32_t result = ParseHeader(buffer.Current(), buffer.Remaining(), &header);
  if (result != 0) return result;
  if (!AcceptsType(header.type)) return kQTAtomWrongType;
  type_ = header.type;
  size_ = header.size;
  position_ = start;
  {
    BufferWindow window(buffer, start + header.size);
    buffer.SetCursor(start + header.headerSize);
    result = ReadBody(buffer, flag);
  }
  if (result != 0) {
    buffer.SetCursor(start);
    return result;
  }
  // Bytes the body did not use (fields of a newer layout, padding) are skipped.
  buffer.SetCursor(start + header.size);
  return 0;
}

uint32_t QuickTimeAtom::Read(FileBuffer& buffer, uint32_t expectedType) {
  Header header = {};
  uint32_t result = ParseHeader(buffer.Current(), buffer.Remaining(), &header);
  if (result != 0) return result;
  if (header.type != expectedType) return kQTAtomWrongType;
  return Read(buffer, false);
}

uint64_t QuickTimeAtom::Size() const {
  uint64_t body = BodySize();
  return HeaderSizeFor(body) + body;
}

uint32_t QuickTimeAtom::Write(FileBuffer& buffer) const {
  uint64_t body = BodySize();
  uint32_t headerSize = HeaderSizeFor(body);
  uint64_t total = headerSize + body;
  if (total > buffer.Remaining()) return kQTAtomBufferTooSmall;
  size_t start = buffer.Cursor();
  ByteWriter out(buffer);
  if (headerSize == 8) {
    out.U32(static_cast<uint32_t>(total));
    out.U32(type_);
  } else {
    out.U32(1);
    out.U32(type_);
    out.U64(total);
  }
  buffer.Advance(headerSize);
  uint32_t result = WriteBody(buffer);
  if (result == 0 && buffer.Cursor() != start + total) result = kQTAtomMalformed;
  if (result != 0) buffer.SetCursor(start);
  return result;
}

void QuickTimeAtom::Print(int depth) const {
  std::string text;
  Cat(&text, depth);
  fwrite(text.data(), 1, text.size(), stdout);
}

void QuickTimeAtom::Cat(std::string* out, int depth) const {
  if (out == nullptr) return;
  std::string label = Label();
  Line(*out, depth, "***** %s Begin", label.c_str());
  DumpBody(*out, depth);
  Line(*out, depth, "***** %s End", label.c_str());
}

std::string QuickTimeAtom::Label() const { return FourCCText(type_) + "Atom"; }

void QuickTimeAtom::Line(std::string& out, int depth, const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendDumpLineV(out, depth, format, args);
  va_end(args);
}

void QuickTimeAtom::DumpChild(std::string& out, const QuickTimeAtom* child, int depth) {
  if (child != nullptr) child->Cat(&out, depth + 1);
}

uint32_t QuickTimeAtom::GetFourccOfCurrentAtom(const FileBuffer& buffer) {
  ByteReader in(buffer);
  uint32_t size = in.U32();
  uint32_t type = in.U32();
  if (!in.ok() || size == 0) return 0;
  return type;
}

uint32_t QuickTimeAtom::Find(FileBuffer& buffer, uint32_t fourcc, uint64_t limit) {
  size_t start = buffer.Cursor();
  uint64_t scanned = 0;
  while (scanned < limit) {
    ByteReader in(buffer);
    uint32_t size32 = in.U32();
    uint32_t type = in.U32();
    uint64_t size = size32 == 1 ? in.U64() : size32;
    if (!in.ok() || size32 == 0 || size < (size32 == 1 ? 16u : 8u) || size > buffer.Remaining()) {
      break;
    }
    if (type == fourcc) return 0;
    buffer.Advance(size);
    scanned += size;
  }
  buffer.SetCursor(start);
  return kQTAtomNotFound;
}

}  // namespace MavrelQuickTime64Atom
