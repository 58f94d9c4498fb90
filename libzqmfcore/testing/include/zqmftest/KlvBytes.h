// Hand-made ZQMF bytes for tests, independent of the library's writer: records are spelled
// out field by field, so that parser tests do not share a misreading with the writer.
#ifndef ZQ_LIBZQMF_TESTING_INCLUDE_ZQMFTEST_KLVBYTES_H_
#define ZQ_LIBZQMF_TESTING_INCLUDE_ZQMFTEST_KLVBYTES_H_

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zqmftest {

inline std::string Be16(uint16_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v)}; }
inline std::string Be32(uint32_t v) {
  return Be16(static_cast<uint16_t>(v >> 16)) + Be16(static_cast<uint16_t>(v));
}
inline std::string Be64(uint64_t v) {
  return Be32(static_cast<uint32_t>(v >> 32)) + Be32(static_cast<uint32_t>(v));
}
inline std::string BeFloat(float f) {
  uint32_t bits;
  memcpy(&bits, &f, 4);
  return Be32(bits);
}
inline std::string BeDouble(double d) {
  uint64_t bits;
  memcpy(&bits, &d, 8);
  return Be64(bits);
}

// key | type | struct size | repeat (big-endian) | payload, zero-padded to whole words. The
// payload is taken as given, even when it disagrees with the header.
inline std::string Record(const char* key, uint8_t type, uint8_t structSize, uint16_t repeat,
                          const std::string& payload) {
  std::string r(key, 4);
  r.push_back(static_cast<char>(type));
  r.push_back(static_cast<char>(structSize));
  r += Be16(repeat);
  r += payload;
  r.resize((r.size() + 3) / 4 * 4, '\0');
  return r;
}

// A nested record (type 0) around `inner`, sized as one-byte structures.
inline std::string Nest(const char* key, const std::string& inner) {
  return Record(key, 0, 1, static_cast<uint16_t>(inner.size()), inner);
}

inline std::string Text(const char* key, const std::string& text) {
  return Record(key, 'c', static_cast<uint8_t>(text.size()), 1, text);
}

// Stream bytes in word storage, as the parser wants them.
class Words {
 public:
  explicit Words(const std::string& bytes) : bytes_(static_cast<uint32_t>(bytes.size())) {
    words_.resize((bytes.size() + 3) / 4, 0);
    if (!bytes.empty()) memcpy(words_.data(), bytes.data(), bytes.size());
  }
  uint32_t* data() { return words_.data(); }
  uint32_t bytes() const { return bytes_; }
  std::string str() const {
    return std::string(reinterpret_cast<const char*>(words_.data()), bytes_);
  }

 private:
  std::vector<uint32_t> words_;
  uint32_t bytes_;
};

}  // namespace zqmftest

#endif  // ZQ_LIBZQMF_TESTING_INCLUDE_ZQMFTEST_KLVBYTES_H_
