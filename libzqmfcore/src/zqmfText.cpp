#include "zqmf/zqmfText.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "zqcommon/zqJson.h"
#include "zqmf/zqmfParser.h"

namespace {

template <class T>
T Load(const uint8_t* p) {
  T v;
  memcpy(&v, p, sizeof(v));
  return v;
}

template <class T>
void AppendNumber(std::string* out, T v) {
  char text[64];
  const auto r = std::to_chars(text, text + sizeof(text), v);
  out->append(text, r.ptr);
}

template <class T>
void AppendReal(std::string* out, T v, bool json) {
  if (std::isfinite(v)) {
    AppendNumber(out, v);
  } else if (json) {
    out->append("null");
  } else {
    out->append(std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf"));
  }
}

void AppendHex(std::string* out, const uint8_t* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  out->push_back('"');
  for (size_t i = 0; i < n; i++) {
    out->push_back(kDigits[p[i] >> 4]);
    out->push_back(kDigits[p[i] & 15]);
  }
  out->push_back('"');
}

}  // namespace

void zqmf_format_element(std::string* out, const uint8_t* p, uint32_t type, bool json) {
  switch (type) {
    case 'b':
      return AppendNumber(out, static_cast<int>(Load<int8_t>(p)));
    case 'B':
      return AppendNumber(out, static_cast<unsigned>(Load<uint8_t>(p)));
    case 's':
      return AppendNumber(out, Load<int16_t>(p));
    case 'S':
      return AppendNumber(out, Load<uint16_t>(p));
    case 'l':
      return AppendNumber(out, Load<int32_t>(p));
    case 'L':
      return AppendNumber(out, Load<uint32_t>(p));
    case 'j':
      return AppendNumber(out, Load<int64_t>(p));
    case 'J':
      return AppendNumber(out, Load<uint64_t>(p));
    case 'f':
      return AppendReal(out, Load<float>(p), json);
    case 'd':
      return AppendReal(out, Load<double>(p), json);
    case 'c':
      return zqmf_format_text(out, reinterpret_cast<const char*>(p), 1);
    case 'F':
      return zqmf_format_text(out, reinterpret_cast<const char*>(p), 4);
    default: {
      const uint32_t size = ZQMF_SizeofType(type);
      return AppendHex(out, p, size == 0 ? 1 : size);
    }
  }
}

void zqmf_format_text(std::string* out, const char* text, size_t n) {
  out->push_back('"');
  out->append(zq_json_escape(std::string_view(text, strnlen(text, n))));
  out->push_back('"');
}

std::string zqmf_key_text(uint32_t key) {
  char c[4];
  memcpy(c, &key, 4);
  std::string text(4, '.');
  for (int i = 0; i < 4; i++) {
    if (c[i] >= 0x20 && c[i] < 0x7F) text[i] = c[i];
  }
  return text;
}
