// Fixed-layout little-endian records exchanged with the camera's services, written and read
// field by field at their offsets (never through a cast of packed data).
//
//   std::array<uint8_t, 108> bytes;
//   ZqRecordWriter w(bytes);            // zero-fills the record
//   w.PutText(0, 33, ssid);             // NUL-terminated, zero-filled field
//   w.Put(100, auth_type, 4);           // 32-bit little-endian
//
//   ZqRecordReader r(reply);
//   const uint16_t total = r.U16(2);
//
// A write or read outside the record is a programming error of the caller's layout: it does
// nothing (a read gives 0) and clears ok(). Both classes borrow the caller's bytes.
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQRECORD_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQRECORD_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class ZqRecordWriter {
 public:
  // Zero-fills `out`, which must outlive the writer.
  explicit ZqRecordWriter(std::span<uint8_t> out);

  // The low `width` (1 to 8) bytes of `value`, least significant first.
  void Put(size_t offset, uint64_t value, size_t width);
  // `text` followed by a NUL in the `width`-byte field at `offset` (the rest stays zero).
  // False, leaving the field zero, when the text holds a NUL or more than `width` - 1 bytes.
  bool PutText(size_t offset, size_t width, std::string_view text);
  void PutBytes(size_t offset, std::span<const uint8_t> bytes);

  bool ok() const { return ok_; }

 private:
  bool Fits(size_t offset, size_t width);

  std::span<uint8_t> out_;
  bool ok_ = true;
};

class ZqRecordReader {
 public:
  explicit ZqRecordReader(std::span<const uint8_t> in) : in_(in) {}

  size_t size() const { return in_.size(); }
  // `width` (1 to 8) little-endian bytes at `offset`.
  uint64_t Get(size_t offset, size_t width) const;
  uint8_t U8(size_t offset) const { return static_cast<uint8_t>(Get(offset, 1)); }
  uint16_t U16(size_t offset) const { return static_cast<uint16_t>(Get(offset, 2)); }
  uint32_t U32(size_t offset) const { return static_cast<uint32_t>(Get(offset, 4)); }
  uint64_t U64(size_t offset) const { return Get(offset, 8); }
  int8_t I8(size_t offset) const { return static_cast<int8_t>(U8(offset)); }
  int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }
  int64_t I64(size_t offset) const { return static_cast<int64_t>(U64(offset)); }
  // The text of the `width`-byte field at `offset`: up to its first NUL or its end.
  std::string Text(size_t offset, size_t width) const;
  std::span<const uint8_t> Bytes(size_t offset, size_t width) const;

  bool ok() const { return ok_; }

 private:
  bool Fits(size_t offset, size_t width) const;

  std::span<const uint8_t> in_;
  mutable bool ok_ = true;
};

// Lower-case hexadecimal of `bytes`, two digits a byte.
std::string zq_hex(std::span<const uint8_t> bytes);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQRECORD_H_
