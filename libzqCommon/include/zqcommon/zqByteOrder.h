// Multi-byte values in a given byte order, read from and written to bytes: the one place where
// the daemon, its libraries and the simulated camera turn wire and file bytes into numbers.
// Nothing here looks at the host's byte order or casts a pointer to a wider type, so the bytes
// may sit at any alignment. Callers check bounds first: every function reads or writes exactly
// the bytes its name says.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQBYTEORDER_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQBYTEORDER_H_

#include <cstddef>
#include <cstdint>

// The first `n` (0 to 8) bytes at `p` as a big-endian unsigned number.
constexpr uint64_t zq_load_be(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// The first `n` (0 to 8) bytes at `p` as a little-endian unsigned number.
constexpr uint64_t zq_load_le(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = n; i > 0; --i) v = (v << 8) | p[i - 1];
  return v;
}

constexpr uint16_t zq_load_be16(const uint8_t* p) {
  return static_cast<uint16_t>(zq_load_be(p, 2));
}
constexpr uint32_t zq_load_be24(const uint8_t* p) {
  return static_cast<uint32_t>(zq_load_be(p, 3));
}
constexpr uint32_t zq_load_be32(const uint8_t* p) {
  return static_cast<uint32_t>(zq_load_be(p, 4));
}
constexpr uint64_t zq_load_be64(const uint8_t* p) { return zq_load_be(p, 8); }
constexpr uint16_t zq_load_le16(const uint8_t* p) {
  return static_cast<uint16_t>(zq_load_le(p, 2));
}
constexpr uint32_t zq_load_le32(const uint8_t* p) {
  return static_cast<uint32_t>(zq_load_le(p, 4));
}
constexpr uint64_t zq_load_le64(const uint8_t* p) { return zq_load_le(p, 8); }

// The same in the order `big_endian` names (TIFF and EXIF blocks say which they use).
constexpr uint16_t zq_load16(const uint8_t* p, bool big_endian) {
  return big_endian ? zq_load_be16(p) : zq_load_le16(p);
}
constexpr uint32_t zq_load32(const uint8_t* p, bool big_endian) {
  return big_endian ? zq_load_be32(p) : zq_load_le32(p);
}

// Writes the low `n` (0 to 8) bytes of `v` at `p`, most significant first / least first.
constexpr void zq_store_be(uint8_t* p, uint64_t v, size_t n) {
  for (size_t i = n; i > 0; --i, v >>= 8) p[i - 1] = static_cast<uint8_t>(v);
}
constexpr void zq_store_le(uint8_t* p, uint64_t v, size_t n) {
  for (size_t i = 0; i < n; ++i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

constexpr void zq_store_be16(uint8_t* p, uint16_t v) { zq_store_be(p, v, 2); }
constexpr void zq_store_be32(uint8_t* p, uint32_t v) { zq_store_be(p, v, 4); }
constexpr void zq_store_be64(uint8_t* p, uint64_t v) { zq_store_be(p, v, 8); }
constexpr void zq_store_le16(uint8_t* p, uint16_t v) { zq_store_le(p, v, 2); }
constexpr void zq_store_le32(uint8_t* p, uint32_t v) { zq_store_le(p, v, 4); }
constexpr void zq_store_le64(uint8_t* p, uint64_t v) { zq_store_le(p, v, 8); }

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQBYTEORDER_H_
