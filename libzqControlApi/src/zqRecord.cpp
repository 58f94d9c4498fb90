#include "zqcontrolapi/zqRecord.h"

#include <algorithm>
#include <cstring>

ZqRecordWriter::ZqRecordWriter(std::span<uint8_t> out) : out_(out) {
  std::fill(out_.begin(), out_.end(), 0);
}

bool ZqRecordWriter::Fits(size_t offset, size_t width) {
  if (offset <= out_.size() && width <= out_.size() - offset) return true;
  ok_ = false;
  return false;
}

void ZqRecordWriter::Put(size_t offset, uint64_t value, size_t width) {
  if (width == 0 || width > 8 || !Fits(offset, width)) return;
  for (size_t i = 0; i < width; ++i) out_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

bool ZqRecordWriter::PutText(size_t offset, size_t width, std::string_view text) {
  if (width == 0 || !Fits(offset, width)) return false;
  if (text.size() >= width || text.find('\0') != std::string_view::npos) return false;
  memcpy(out_.data() + offset, text.data(), text.size());
  return true;
}

void ZqRecordWriter::PutBytes(size_t offset, std::span<const uint8_t> bytes) {
  if (!Fits(offset, bytes.size()) || bytes.empty()) return;
  memcpy(out_.data() + offset, bytes.data(), bytes.size());
}

bool ZqRecordReader::Fits(size_t offset, size_t width) const {
  if (offset <= in_.size() && width <= in_.size() - offset) return true;
  ok_ = false;
  return false;
}

uint64_t ZqRecordReader::Get(size_t offset, size_t width) const {
  if (width == 0 || width > 8 || !Fits(offset, width)) return 0;
  uint64_t v = 0;
  for (size_t i = 0; i < width; ++i) v |= static_cast<uint64_t>(in_[offset + i]) << (8 * i);
  return v;
}

std::string ZqRecordReader::Text(size_t offset, size_t width) const {
  if (!Fits(offset, width)) return std::string();
  const char* p = reinterpret_cast<const char*>(in_.data() + offset);
  return std::string(p, strnlen(p, width));
}

std::span<const uint8_t> ZqRecordReader::Bytes(size_t offset, size_t width) const {
  if (!Fits(offset, width)) return {};
  return in_.subspan(offset, width);
}

std::string zq_hex(std::span<const uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}
