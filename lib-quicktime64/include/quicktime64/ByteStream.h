// Bounds-checked big-endian field access for atom bodies. A reader that runs out of bytes
// stops (every later read yields 0) and reports !ok(); a writer that runs out of room does
// the same. Atoms read and write all fields through these, never through struct casts.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BYTESTREAM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BYTESTREAM_H_

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "zqcommon/zqByteOrder.h"

class FileBuffer;

namespace MavrelQuickTime64Atom {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}
  // The bytes from the buffer's cursor to its end.
  explicit ByteReader(const FileBuffer& buffer);

  uint8_t U8();
  uint16_t U16();
  uint32_t U24();
  uint32_t U32();
  uint64_t U64();
  double F64();
  // Copies `n` bytes; false (and nothing copied) when fewer remain.
  bool Bytes(void* out, uint64_t n);
  // Replaces `out` with the next `n` bytes (nothing allocated when fewer remain).
  bool Bytes(std::vector<uint8_t>* out, uint64_t n);
  bool Skip(uint64_t n);
  // The next `n` bytes, consumed at once (null when fewer remain), for decoding whole tables
  // after one bounds check.
  const uint8_t* Span(uint64_t n) { return Take(n); }

  bool Has(uint64_t n) const { return ok_ && size_ - position_ >= n; }
  uint64_t Remaining() const { return ok_ ? size_ - position_ : 0; }
  uint64_t Position() const { return position_; }
  const uint8_t* Current() const { return data_ + position_; }
  bool ok() const { return ok_; }
  void Fail() { ok_ = false; }

 private:
  const uint8_t* Take(uint64_t n);

  const uint8_t* data_;
  uint64_t size_;
  uint64_t position_ = 0;
  bool ok_ = true;
};

class ByteWriter {
 public:
  ByteWriter(uint8_t* data, uint64_t size) : data_(data), size_(size) {}
  // The room from the buffer's cursor to the end of its data.
  explicit ByteWriter(FileBuffer& buffer);

  void U8(uint8_t v);
  void U16(uint16_t v);
  void U24(uint32_t v);
  void U32(uint32_t v);
  void U64(uint64_t v);
  void F64(double v);
  void Bytes(const void* data, uint64_t n);
  void Bytes(const std::vector<uint8_t>& data) { Bytes(data.data(), data.size()); }
  void Zeros(uint64_t n);

  uint64_t Position() const { return position_; }
  bool ok() const { return ok_; }

 private:
  uint8_t* Take(uint64_t n);

  uint8_t* data_;
  uint64_t size_;
  uint64_t position_ = 0;
  bool ok_ = true;
};

// Reads a Pascal string (length byte, then text) from a field of `fieldSize` bytes, the
// length byte included; false when the length runs past the field. The whole field is
// consumed.
bool ReadPascalField(ByteReader& in, uint64_t fieldSize, std::string* out);
// Writes `text` as a Pascal string padded with zeros to `fieldSize` bytes (cut to fit).
void WritePascalField(ByteWriter& out, const std::string& text, uint64_t fieldSize);

// Appends one dump line: "|\t" per depth, then the formatted text and a line feed.
void AppendDumpLineV(std::string& out, int depth, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

// Hexadecimal dump of `data` ("%02x " per byte), at most `limit` bytes then "...".
std::string HexBytes(const uint8_t* data, size_t size, size_t limit = 64);

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BYTESTREAM_H_
