#include "zqmftimeline/ZQMFAssetSample.h"

#include <cmath>
#include <cstring>

#include "zqmf/zqmfParser.h"

namespace {

// Finds the offset and type of one element in host-order `data`.
bool Locate(const ZQMFAssetSample& s, uint32_t structure, uint32_t element, size_t* offset,
            uint32_t* type) {
  const std::string types = s.ElementTypes();
  if (element >= types.size() || structure >= s.repeat) return false;
  size_t at = static_cast<size_t>(structure) * s.structSize;
  for (uint32_t e = 0; e < element; e++) at += ZQMF_SizeofType(static_cast<uint8_t>(types[e]));
  *type = static_cast<uint8_t>(types[element]);
  const uint32_t size = ZQMF_SizeofType(*type);
  if (size == 0 || at + size > s.data.size()) return false;
  *offset = at;
  return true;
}

template <class T>
T Load(const uint8_t* p) {
  T v;
  memcpy(&v, p, sizeof(v));
  return v;
}

}  // namespace

std::string ZQMFAssetSample::KeyText() const {
  char text[4];
  memcpy(text, &key, 4);
  return std::string(text, 4);
}

std::string ZQMFAssetSample::ElementTypes() const {
  if (type == '?') {
    char expanded[ZQMF_COMPLEX_TYPE_MAX + 1];
    uint32_t n = sizeof(expanded);
    if (ZQMF_ExpandComplexTYPE(typeDescription.data(),
                               static_cast<uint32_t>(typeDescription.size()), expanded,
                               &n) != ZQMF_OK) {
      return {};
    }
    return std::string(expanded, n);
  }
  const uint32_t size = ZQMF_SizeofType(type);
  if (size == 0 || structSize % size != 0) return {};
  return std::string(structSize / size, static_cast<char>(type));
}

bool ZQMFHostNumber(const uint8_t* p, uint32_t type, double* out) {
  switch (type) {
    case 'b':
      *out = Load<int8_t>(p);
      return true;
    case 'B':
      *out = Load<uint8_t>(p);
      return true;
    case 's':
      *out = Load<int16_t>(p);
      return true;
    case 'S':
      *out = Load<uint16_t>(p);
      return true;
    case 'l':
      *out = Load<int32_t>(p);
      return true;
    case 'L':
      *out = Load<uint32_t>(p);
      return true;
    case 'j':
      *out = static_cast<double>(Load<int64_t>(p));
      return true;
    case 'J':
      *out = static_cast<double>(Load<uint64_t>(p));
      return true;
    case 'f':
      *out = Load<float>(p);
      return true;
    case 'd':
      *out = Load<double>(p);
      return true;
    default:
      return false;
  }
}

bool ZQMFAssetSample::Number(uint32_t structure, uint32_t element, double* out) const {
  size_t at = 0;
  uint32_t t = 0;
  if (out == nullptr || !Locate(*this, structure, element, &at, &t)) return false;
  return ZQMFHostNumber(data.data() + at, t, out);
}

bool ZQMFAssetSample::Integer(uint32_t structure, uint32_t element, int64_t* out) const {
  size_t at = 0;
  uint32_t t = 0;
  if (out == nullptr || !Locate(*this, structure, element, &at, &t)) return false;
  const uint8_t* p = data.data() + at;
  if (t == 'j' || t == 'J') {
    *out = Load<int64_t>(p);
    return true;
  }
  double v = 0;
  if (!Number(structure, element, &v) || !std::isfinite(v) || std::fabs(v) >= 9.2e18) return false;
  *out = static_cast<int64_t>(v);
  return true;
}
