#include "zqmf/zqmfWriter.h"

#include <cstring>

#include "zqmfInternal.h"

namespace {

bool ValidKeyText(std::string_view key) {
  if (key.size() != 4) return false;
  uint32_t word;
  memcpy(&word, key.data(), 4);
  return zqmf_internal::ValidKey(word);
}

// Struct size and repeat for a payload of `bytes` bytes (a nest, a compressed stream):
// one-byte structures while the count fits 16 bits, else whole words per structure, with
// `*padded` the payload size they describe (zero bytes fill the difference).
bool SizeFields(size_t bytes, uint32_t* structSize, uint32_t* repeat, size_t* padded) {
  if (bytes <= 0xFFFF) {
    *structSize = 1;
    *repeat = static_cast<uint32_t>(bytes);
    *padded = bytes;
    return true;
  }
  const size_t words = (bytes + 3) / 4;
  const size_t per = (words + 0xFFFE) / 0xFFFF;  // words per structure
  if (per * 4 > 252) return false;
  *structSize = static_cast<uint32_t>(per * 4);
  *repeat = static_cast<uint32_t>((words + per - 1) / per);
  *padded = static_cast<size_t>(*structSize) * *repeat;
  return true;
}

}  // namespace

ZQMF_ERROR ZQMFWriter::Fail(ZQMF_ERROR code) {
  if (status_ == ZQMF_OK) status_ = code;
  return status_;
}

ZQMF_ERROR ZQMFWriter::CheckRecord(std::string_view key, uint32_t structSize, uint32_t repeat) {
  if (status_ != ZQMF_OK) return status_;
  if (!ValidKeyText(key) || structSize == 0 || structSize > 255 || repeat > 0xFFFF) {
    return Fail(ZQMF_ERROR_BAD_STRUCTURE);
  }
  if (open_.empty()) return Fail(ZQMF_ERROR_BAD_STRUCTURE);  // only DEVC nests at the top
  return ZQMF_OK;
}

void ZQMFWriter::PutHeader(std::string_view key, uint32_t type, uint32_t structSize,
                           uint32_t repeat) {
  bytes_.insert(bytes_.end(), key.begin(), key.end());
  bytes_.push_back(static_cast<uint8_t>(type));
  bytes_.push_back(static_cast<uint8_t>(structSize));
  bytes_.push_back(static_cast<uint8_t>(repeat >> 8));
  bytes_.push_back(static_cast<uint8_t>(repeat));
}

void ZQMFWriter::Pad() { bytes_.resize((bytes_.size() + 3) / 4 * 4, 0); }

ZQMF_ERROR ZQMFWriter::BeginNest(std::string_view key) {
  if (status_ != ZQMF_OK) return status_;
  if (!ValidKeyText(key) || (open_.empty() && key != "DEVC") || open_.size() >= ZQMF_NEST_LIMIT) {
    return Fail(ZQMF_ERROR_BAD_STRUCTURE);
  }
  open_.push_back({bytes_.size(), {}});
  PutHeader(key, 0, 1, 0);  // sizes filled in by EndNest
  return ZQMF_OK;
}

ZQMF_ERROR ZQMFWriter::EndNest() {
  if (status_ != ZQMF_OK) return status_;
  if (open_.empty()) return Fail(ZQMF_ERROR_BAD_STRUCTURE);
  const size_t header = open_.back().header;
  open_.pop_back();
  uint32_t struct_size = 0, repeat = 0;
  size_t padded = 0;
  if (!SizeFields(bytes_.size() - header - 8, &struct_size, &repeat, &padded)) {
    return Fail(ZQMF_ERROR_MEMORY);
  }
  bytes_.resize(header + 8 + padded, 0);  // zero words inside a nest are padding
  bytes_[header + 5] = static_cast<uint8_t>(struct_size);
  bytes_[header + 6] = static_cast<uint8_t>(repeat >> 8);
  bytes_[header + 7] = static_cast<uint8_t>(repeat);
  return ZQMF_OK;
}

ZQMF_ERROR ZQMFWriter::AddRaw(std::string_view key, uint32_t type, uint32_t structSize,
                              uint32_t repeat, const void* streamData) {
  if (ZQMF_ERROR r = CheckRecord(key, structSize, repeat); r != ZQMF_OK) return r;
  const size_t n = static_cast<size_t>(structSize) * repeat;
  if (type > 255 || (streamData == nullptr && n != 0)) return Fail(ZQMF_ERROR_MEMORY);
  PutHeader(key, type, structSize, repeat);
  const uint8_t* p = static_cast<const uint8_t*>(streamData);
  if (n != 0) bytes_.insert(bytes_.end(), p, p + n);
  Pad();
  if (key == "TYPE") open_.back().type.assign(reinterpret_cast<const char*>(p), n);
  return ZQMF_OK;
}

ZQMF_ERROR ZQMFWriter::Add(std::string_view key, uint32_t type, uint32_t structSize,
                           uint32_t repeat, const void* hostData) {
  if (ZQMF_ERROR r = CheckRecord(key, structSize, repeat); r != ZQMF_OK) return r;
  const size_t n = static_cast<size_t>(structSize) * repeat;
  if (hostData == nullptr && n != 0) return Fail(ZQMF_ERROR_MEMORY);
  std::vector<uint8_t> stream(n);
  const uint8_t* src = static_cast<const uint8_t*>(hostData);
  if (type == '?') {
    const std::string& types = open_.back().type;
    char expanded[ZQMF_COMPLEX_TYPE_MAX + 1];
    uint32_t count = sizeof(expanded);
    if (ZQMF_ExpandComplexTYPE(types.data(), static_cast<uint32_t>(types.size()), expanded,
                               &count) != ZQMF_OK ||
        ZQMF_SizeOfComplexTYPE(expanded, count) != structSize) {
      return Fail(ZQMF_ERROR_TYPE_NOT_SUPPORTED);
    }
    size_t at = 0;
    for (uint32_t s = 0; s < repeat; s++) {
      for (uint32_t e = 0; e < count; e++) {
        const uint32_t t = static_cast<uint8_t>(expanded[e]);
        const uint32_t size = ZQMF_SizeofType(t);
        zqmf_internal::CopySwapped(stream.data() + at, src + at, size, ZQMF_SwapUnit(t));
        at += size;
      }
    }
  } else if (type == 0 || type == '#') {
    if (n != 0) memcpy(stream.data(), src, n);
  } else {
    const int32_t unit = ZQMF_SwapUnit(type);
    if (unit < 0) return Fail(ZQMF_ERROR_UNKNOWN_TYPE);
    if (structSize % static_cast<uint32_t>(unit) != 0) return Fail(ZQMF_ERROR_BAD_STRUCTURE);
    if (n != 0) zqmf_internal::CopySwapped(stream.data(), src, static_cast<uint32_t>(n), unit);
  }
  return AddRaw(key, type, structSize, repeat, stream.data());
}

ZQMF_ERROR ZQMFWriter::AddString(std::string_view key, std::string_view text) {
  if (text.size() > 255) return Fail(ZQMF_ERROR_BAD_STRUCTURE);  // one sample of a text
  if (text.empty()) return AddRaw(key, 'c', 1, 0, nullptr);
  return AddRaw(key, 'c', static_cast<uint32_t>(text.size()), 1, text.data());
}

ZQMF_ERROR ZQMFWriter::AddComplex(std::string_view key, std::string_view typeString,
                                  uint32_t repeat, const void* hostData) {
  if (status_ != ZQMF_OK) return status_;
  const uint32_t size =
      ZQMF_SizeOfComplexTYPE(typeString.data(), static_cast<uint32_t>(typeString.size()));
  if (size == 0) return Fail(ZQMF_ERROR_TYPE_NOT_SUPPORTED);
  if (ZQMF_ERROR r = AddString("TYPE", typeString); r != ZQMF_OK) return r;
  return Add(key, '?', size, repeat, hostData);
}

ZQMF_ERROR ZQMFWriter::AddCompressed(std::string_view key, uint32_t type, uint32_t structSize,
                                     uint32_t repeat, const void* hostData,
                                     const uint16_t* quantisers, uint32_t quantiserCount) {
  if (ZQMF_ERROR r = CheckRecord(key, structSize, repeat); r != ZQMF_OK) return r;
  const int32_t unit = ZQMF_SwapUnit(type);
  const size_t n = static_cast<size_t>(structSize) * repeat;
  if (unit < 0 || ZQMF_SizeofType(type) == 0) return Fail(ZQMF_ERROR_UNKNOWN_TYPE);
  if (hostData == nullptr || structSize % static_cast<uint32_t>(unit) != 0) {
    return Fail(ZQMF_ERROR_MEMORY);
  }
  std::vector<uint8_t> stream(n);
  zqmf_internal::CopySwapped(stream.data(), static_cast<const uint8_t*>(hostData),
                             static_cast<uint32_t>(n), unit);
  std::vector<uint8_t> packed;
  if (ZQMF_ERROR r = ZQMF_Compress(type, structSize, repeat, stream.data(), quantisers,
                                   quantiserCount, &packed);
      r != ZQMF_OK) {
    return Fail(r);
  }
  uint32_t outer_size = 0, outer_repeat = 0;
  size_t padded = 0;
  if (!SizeFields(packed.size(), &outer_size, &outer_repeat, &padded)) {
    return Fail(ZQMF_ERROR_MEMORY);
  }
  packed.resize(padded, 0);  // bytes after the last end code are never read
  return AddRaw(key, '#', outer_size, outer_repeat, packed.data());
}

ZQMF_ERROR ZQMFWriter::Finish(std::vector<uint8_t>* out) {
  if (out == nullptr) return ZQMF_ERROR_MEMORY;
  if (status_ != ZQMF_OK) return status_;
  if (!open_.empty() || bytes_.empty()) return ZQMF_ERROR_BAD_STRUCTURE;
  *out = std::move(bytes_);
  bytes_.clear();
  return ZQMF_OK;
}
