#include "quicktime64/ByteStream.h"

#include <cstdio>
#include <cstring>

#include "zqfileio/FileBuffer.h"

namespace MavrelQuickTime64Atom {

ByteReader::ByteReader(const FileBuffer& buffer)
    : data_(buffer.Current()), size_(buffer.Remaining()) {}

const uint8_t* ByteReader::Take(uint64_t n) {
  if (!Has(n)) {
    ok_ = false;
    return nullptr;
  }
  const uint8_t* p = data_ + position_;
  position_ += n;
  return p;
}

uint8_t ByteReader::U8() {
  const uint8_t* p = Take(1);
  return p != nullptr ? p[0] : 0;
}

uint16_t ByteReader::U16() {
  const uint8_t* p = Take(2);
  return p != nullptr ? zq_load_be16(p) : 0;
}

uint32_t ByteReader::U24() {
  const uint8_t* p = Take(3);
  return p != nullptr ? zq_load_be24(p) : 0;
}

uint32_t ByteReader::U32() {
  const uint8_t* p = Take(4);
  return p != nullptr ? zq_load_be32(p) : 0;
}

uint64_t ByteReader::U64() {
  uint64_t high = U32();
  uint64_t low = U32();
  return (high << 32) | low;
}

double ByteReader::F64() {
  uint64_t bits = U64();
  double value;
  memcpy(&value, &bits, sizeof value);
  return value;
}

bool ByteReader::Bytes(void* out, uint64_t n) {
  const uint8_t* p = Take(n);
  if (p == nullptr) return false;
  if (n > 0) memcpy(out, p, n);
  return true;
}

bool ByteReader::Bytes(std::vector<uint8_t>* out, uint64_t n) {
  const uint8_t* p = Take(n);
  if (p == nullptr) return false;
  out->assign(p, p + n);
  return true;
}

bool ByteReader::Skip(uint64_t n) { return Take(n) != nullptr; }

ByteWriter::ByteWriter(FileBuffer& buffer) : data_(buffer.Current()), size_(buffer.Remaining()) {}

uint8_t* ByteWriter::Take(uint64_t n) {
  if (!ok_ || size_ - position_ < n) {
    ok_ = false;
    return nullptr;
  }
  uint8_t* p = data_ + position_;
  position_ += n;
  return p;
}

void ByteWriter::U8(uint8_t v) {
  if (uint8_t* p = Take(1)) p[0] = v;
}

void ByteWriter::U16(uint16_t v) {
  if (uint8_t* p = Take(2)) zq_store_be16(p, v);
}

void ByteWriter::U24(uint32_t v) {
  if (uint8_t* p = Take(3)) zq_store_be(p, v, 3);
}

void ByteWriter::U32(uint32_t v) {
  if (uint8_t* p = Take(4)) zq_store_be32(p, v);
}

void ByteWriter::U64(uint64_t v) {
  U32(static_cast<uint32_t>(v >> 32));
  U32(static_cast<uint32_t>(v));
}

void ByteWriter::F64(double v) {
  uint64_t bits;
  memcpy(&bits, &v, sizeof bits);
  U64(bits);
}

void ByteWriter::Bytes(const void* data, uint64_t n) {
  uint8_t* p = Take(n);
  if (p != nullptr && n > 0) memcpy(p, data, n);
}

void ByteWriter::Zeros(uint64_t n) {
  uint8_t* p = Take(n);
  if (p != nullptr && n > 0) memset(p, 0, n);
}

bool ReadPascalField(ByteReader& in, uint64_t fieldSize, std::string* out) {
  out->clear();
  if (fieldSize == 0) return true;
  if (!in.Has(fieldSize)) {
    in.Fail();
    return false;
  }
  const uint8_t* field = in.Current();
  in.Skip(fieldSize);
  uint64_t length = field[0];
  if (length > fieldSize - 1) return false;
  out->assign(reinterpret_cast<const char*>(field + 1), length);
  return true;
}

void WritePascalField(ByteWriter& out, const std::string& text, uint64_t fieldSize) {
  if (fieldSize == 0) return;
  uint64_t length = text.size();
  if (length > fieldSize - 1) length = fieldSize - 1;
  if (length > 255) length = 255;
  out.U8(static_cast<uint8_t>(length));
  out.Bytes(text.data(), length);
  out.Zeros(fieldSize - 1 - length);
}

void AppendDumpLineV(std::string& out, int depth, const char* format, va_list args) {
  for (int i = 0; i < depth; ++i) out += "|\t";
  char text[512];
  vsnprintf(text, sizeof text, format, args);
  out += text;
  out += '\n';
}

std::string HexBytes(const uint8_t* data, size_t size, size_t limit) {
  std::string text;
  char hex[4];
  for (size_t i = 0; i < size && i < limit; ++i) {
    snprintf(hex, sizeof hex, "%02x ", data[i]);
    text += hex;
  }
  if (size > limit) text += "...";
  return text;
}

}  // namespace MavrelQuickTime64Atom
