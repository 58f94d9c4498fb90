// Payload conversion: host byte order (formatted) and scaled numeric output.
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "zqmf/zqmfParser.h"
#include "zqmfInternal.h"

using namespace zqmf_internal;

namespace {

constexpr uint32_t kSCAL = ZQMF_Key4CC("SCAL");
constexpr uint32_t kMTRX = ZQMF_Key4CC("MTRX");
constexpr uint32_t kORIN = ZQMF_Key4CC("ORIN");
constexpr uint32_t kORIO = ZQMF_Key4CC("ORIO");

bool IntegerType(uint32_t t) {
  switch (t) {
    case 'b':
    case 'B':
    case 's':
    case 'S':
    case 'l':
    case 'L':
    case 'j':
    case 'J':
      return true;
    default:
      return false;
  }
}

bool NumericType(uint32_t t) { return IntegerType(t) || t == 'f' || t == 'd'; }

// An element of a numeric type, stored big-endian at `p`, as a two's-complement integer
// (unsigned 64-bit values keep their bits).
int64_t ReadInteger(const uint8_t* p, uint32_t t) {
  const uint64_t v = zq_load_be(p, ZQMF_SizeofType(t));
  switch (t) {
    case 'b':
      return static_cast<int8_t>(v);
    case 's':
      return static_cast<int16_t>(v);
    case 'l':
      return static_cast<int32_t>(v);
    default:
      return static_cast<int64_t>(v);  // B, S, L zero-extended; j, J as stored
  }
}

double ReadReal(const uint8_t* p, uint32_t t) {
  if (t == 'f') {
    const uint32_t bits = zq_load_be32(p);
    float f;
    memcpy(&f, &bits, 4);
    return f;
  }
  if (t == 'd') {
    const uint64_t bits = zq_load_be64(p);
    double d;
    memcpy(&d, &bits, 8);
    return d;
  }
  if (t == 'J') return static_cast<double>(static_cast<uint64_t>(ReadInteger(p, t)));
  return static_cast<double>(ReadInteger(p, t));
}

// Readers of one big-endian element, chosen once per element rather than per value.
using RealReader = double (*)(const uint8_t*);
using IntegerReader = int64_t (*)(const uint8_t*);

template <uint32_t T>
double ReadRealAs(const uint8_t* p) {
  return ReadReal(p, T);
}
template <uint32_t T>
int64_t ReadIntegerAs(const uint8_t* p) {
  return ReadInteger(p, T);
}

RealReader RealReaderFor(uint32_t t) {
  switch (t) {
    case 'b':
      return ReadRealAs<'b'>;
    case 'B':
      return ReadRealAs<'B'>;
    case 's':
      return ReadRealAs<'s'>;
    case 'S':
      return ReadRealAs<'S'>;
    case 'l':
      return ReadRealAs<'l'>;
    case 'L':
      return ReadRealAs<'L'>;
    case 'j':
      return ReadRealAs<'j'>;
    case 'J':
      return ReadRealAs<'J'>;
    case 'f':
      return ReadRealAs<'f'>;
    default:
      return ReadRealAs<'d'>;
  }
}

IntegerReader IntegerReaderFor(uint32_t t) {
  switch (t) {
    case 'b':
      return ReadIntegerAs<'b'>;
    case 'B':
      return ReadIntegerAs<'B'>;
    case 's':
      return ReadIntegerAs<'s'>;
    case 'S':
      return ReadIntegerAs<'S'>;
    case 'l':
      return ReadIntegerAs<'l'>;
    case 'L':
      return ReadIntegerAs<'L'>;
    case 'j':
      return ReadIntegerAs<'j'>;
    default:
      return ReadIntegerAs<'J'>;
  }
}

// Stores the low bits of `v` as an element of integer type `t`, in host order.
void StoreInteger(uint8_t* dst, uint32_t t, uint64_t v) {
  switch (ZQMF_SizeofType(t)) {
    case 1: {
      const uint8_t x = static_cast<uint8_t>(v);
      memcpy(dst, &x, 1);
      break;
    }
    case 2: {
      const uint16_t x = static_cast<uint16_t>(v);
      memcpy(dst, &x, 2);
      break;
    }
    case 4: {
      const uint32_t x = static_cast<uint32_t>(v);
      memcpy(dst, &x, 4);
      break;
    }
    default:
      memcpy(dst, &v, 8);
      break;
  }
}

// Rounds to nearest; values beyond 64 bits saturate (a NaN gives 0), then the integer output
// wraps at its width.
uint64_t RoundToBits(double v, uint32_t t) {
  if (std::isnan(v)) return 0;
  const double r = std::round(v);
  if (t == 'J') {
    if (r <= 0)
      return r <= -9.2233720368547758e18 ? uint64_t{1} << 63
                                         : static_cast<uint64_t>(static_cast<int64_t>(r));
    return r >= 1.8446744073709552e19 ? std::numeric_limits<uint64_t>::max()
                                      : static_cast<uint64_t>(r);
  }
  if (r >= 9.2233720368547758e18) return static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (r <= -9.2233720368547758e18) return uint64_t{1} << 63;
  return static_cast<uint64_t>(static_cast<int64_t>(r));
}

void StoreReal(uint8_t* dst, uint32_t t, double v) {
  if (t == 'd') {
    memcpy(dst, &v, 8);
  } else if (t == 'f') {
    float f;
    if (std::isnan(v)) {
      f = std::numeric_limits<float>::quiet_NaN();
    } else if (v > std::numeric_limits<float>::max()) {
      f = std::numeric_limits<float>::infinity();
    } else if (v < -std::numeric_limits<float>::max()) {
      f = -std::numeric_limits<float>::infinity();
    } else {
      f = static_cast<float>(v);
    }
    memcpy(dst, &f, 4);
  } else {
    StoreInteger(dst, t, RoundToBits(v, t));
  }
}

// The payload of the nearest preceding record `key` of the current nest, when it fits.
bool FindPreceding(const ZQMF_stream* ms, uint32_t key, Header* h, const uint8_t** payload) {
  ZQMF_stream s = *ms;
  if (ZQMF_FindPrev(&s, key, ZQMF_CURRENT_LEVEL | ZQMF_TOLERANT) != ZQMF_OK) return false;
  if (!CurrentFits(&s, h)) return false;
  *payload = Payload(&s);
  return true;
}

// A record of numbers (scale or matrix) read as doubles; `allowed` says which types may hold
// them. 7 for another type, 8 when the count is not one of `countA`, `countB`.
ZQMF_ERROR ReadNumbers(const Header& h, const uint8_t* payload, bool (*allowed)(uint32_t),
                       uint32_t countA, uint32_t countB, double* out, uint32_t* count) {
  if (!allowed(h.type)) return ZQMF_ERROR_SCALE_NOT_SUPPORTED;
  const uint32_t size = ZQMF_SizeofType(h.type);
  const uint32_t n = h.bytes / size;
  if (n != countA && n != countB) return ZQMF_ERROR_SCALE_COUNT;
  for (uint32_t i = 0; i < n; i++) out[i] = ReadReal(payload + i * size, h.type);
  *count = n;
  return ZQMF_OK;
}

bool MatrixType(uint32_t t) { return NumericType(t) && t != 'j' && t != 'J'; }

// The matrix applied to each scaled sample of `n` elements, if any: an "MTRX" with an entry
// other than -1, 0 and 1, else one built from "ORIN" (input axes) and "ORIO" (output axes).
ZQMF_ERROR FindMatrix(const ZQMF_stream* ms, uint32_t n, double* matrix, bool* active) {
  *active = false;
  Header h;
  const uint8_t* payload = nullptr;
  if (FindPreceding(ms, kMTRX, &h, &payload)) {
    uint32_t count = 0;
    ZQMF_ERROR r = ReadNumbers(h, payload, MatrixType, n * n, n * n, matrix, &count);
    if (r != ZQMF_OK) return r;
    for (uint32_t i = 0; i < count; i++) {
      if (matrix[i] != -1.0 && matrix[i] != 0.0 && matrix[i] != 1.0) *active = true;
    }
    if (*active) return ZQMF_OK;
  }
  Header in, out;
  const uint8_t* in_axes = nullptr;
  const uint8_t* out_axes = nullptr;
  if (n > 1 && FindPreceding(ms, kORIN, &in, &in_axes) &&
      FindPreceding(ms, kORIO, &out, &out_axes) && in.bytes == n && out.bytes == n) {
    for (uint32_t i = 0; i < n; i++) {
      for (uint32_t j = 0; j < n; j++) {
        const uint8_t o = out_axes[i], a = in_axes[j];
        double entry = 0;
        if (o == a) {
          entry = 1;
        } else if ((o ^ a) == 0x20 && ((o | 0x20) >= 'a' && (o | 0x20) <= 'z')) {
          entry = -1;  // the same axis letter in the other case names the negated axis
        }
        matrix[i * n + j] = entry;
      }
    }
    *active = true;
  }
  return ZQMF_OK;
}

// Replaces the `n` output elements at `sample` by matrix x sample, in the output type.
void ApplyMatrix(uint8_t* sample, uint32_t n, uint32_t t, const double* matrix) {
  const uint32_t size = ZQMF_SizeofType(t);
  if (t == 'f' || t == 'd') {
    double in[ZQMF_COMPLEX_TYPE_MAX];
    for (uint32_t j = 0; j < n; j++) {
      if (t == 'f') {
        float f;
        memcpy(&f, sample + j * size, 4);
        in[j] = f;
      } else {
        memcpy(&in[j], sample + j * size, 8);
      }
    }
    for (uint32_t i = 0; i < n; i++) {
      if (t == 'f') {
        float acc = 0;
        for (uint32_t j = 0; j < n; j++)
          acc += static_cast<float>(matrix[i * n + j]) * static_cast<float>(in[j]);
        memcpy(sample + i * size, &acc, 4);
      } else {
        double acc = 0;
        for (uint32_t j = 0; j < n; j++) acc += matrix[i * n + j] * in[j];
        memcpy(sample + i * size, &acc, 8);
      }
    }
    return;
  }
  uint64_t in[ZQMF_COMPLEX_TYPE_MAX];
  for (uint32_t j = 0; j < n; j++) {
    // Read back the host-order element, sign-extended where the type is signed.
    uint8_t bytes[8] = {};
    memcpy(bytes, sample + j * size, size);
    uint64_t v = 0;
    if (size == 1) {
      v = t == 'b' ? static_cast<uint64_t>(static_cast<int8_t>(bytes[0])) : bytes[0];
    } else if (size == 2) {
      uint16_t x;
      memcpy(&x, bytes, 2);
      v = t == 's' ? static_cast<uint64_t>(static_cast<int16_t>(x)) : x;
    } else if (size == 4) {
      uint32_t x;
      memcpy(&x, bytes, 4);
      v = t == 'l' ? static_cast<uint64_t>(static_cast<int32_t>(x)) : x;
    } else {
      memcpy(&v, bytes, 8);
    }
    in[j] = v;
  }
  for (uint32_t i = 0; i < n; i++) {
    uint64_t acc = 0;  // unsigned: the sum wraps at the output width instead of overflowing
    for (uint32_t j = 0; j < n; j++) acc += RoundToBits(matrix[i * n + j], 'j') * in[j];
    StoreInteger(sample + i * size, t, acc);
  }
}

}  // namespace

ZQMF_ERROR ZQMF_FormattedData(ZQMF_stream* ms, void* out, uint32_t size, uint32_t first,
                              uint32_t count) {
  if (ms == nullptr || out == nullptr || ms->buffer == nullptr) return ZQMF_ERROR_MEMORY;
  Header h;
  if (!CurrentFits(ms, &h) || h.type == 0) return ZQMF_ERROR_MEMORY;
  const uint8_t* src = Payload(ms);
  Header data = h;
  if (h.type == '#') {
    if (!InnerHeader(ms, h, &data)) return ZQMF_ERROR_BAD_STRUCTURE;
    const ZQMF_ERROR r = ZQMF_Decompress(ms, out, size);
    if (r != ZQMF_OK) return r;
    src = static_cast<const uint8_t*>(out);
  }
  const uint64_t wanted = static_cast<uint64_t>(count) * data.struct_size;
  if (wanted > size || static_cast<uint64_t>(first) + count > data.repeat) {
    return ZQMF_ERROR_MEMORY;
  }
  src += static_cast<size_t>(first) * data.struct_size;
  uint8_t* dst = static_cast<uint8_t*>(out);

  if (data.type == '?') {
    char types[ZQMF_COMPLEX_TYPE_MAX + 1];
    uint32_t n = 0;
    if (!FindTypeString(ms, types, &n) || ZQMF_SizeOfComplexTYPE(types, n) != data.struct_size) {
      return ZQMF_ERROR_TYPE_NOT_SUPPORTED;
    }
    for (uint32_t sample = 0; sample < count; sample++) {
      for (uint32_t e = 0; e < n; e++) {
        const uint32_t t = static_cast<uint8_t>(types[e]);
        const uint32_t element = ZQMF_SizeofType(t);
        CopySwapped(dst, src, element, ZQMF_SwapUnit(t));
        dst += element;
        src += element;
      }
    }
    return ZQMF_OK;
  }
  const int32_t unit = ZQMF_SwapUnit(data.type);
  if (unit < 0) return ZQMF_ERROR_MEMORY;
  if (data.struct_size % static_cast<uint32_t>(unit) != 0) return ZQMF_ERROR_BAD_STRUCTURE;
  CopySwapped(dst, src, static_cast<uint32_t>(wanted), unit);
  return ZQMF_OK;
}

ZQMF_ERROR ZQMF_ScaledData(ZQMF_stream* ms, void* out, uint32_t size, uint32_t first,
                           uint32_t count, uint32_t outputType) {
  if (ms == nullptr || out == nullptr || ms->buffer == nullptr) return ZQMF_ERROR_MEMORY;
  if (!NumericType(outputType)) {
    return ZQMF_KnownType(outputType) ? ZQMF_ERROR_TYPE_NOT_SUPPORTED : ZQMF_ERROR_UNKNOWN_TYPE;
  }
  Header h;
  if (!CurrentFits(ms, &h) || h.type == 0) return ZQMF_ERROR_MEMORY;
  Header data = h;
  if (h.type == '#' && !InnerHeader(ms, h, &data)) return ZQMF_ERROR_BAD_STRUCTURE;

  // The element types of one sample; everything is checked before a compressed payload is
  // expanded.
  char types[ZQMF_COMPLEX_TYPE_MAX + 1];
  uint32_t n = 0;
  if (data.type == '?') {
    if (!FindTypeString(ms, types, &n) || ZQMF_SizeOfComplexTYPE(types, n) != data.struct_size) {
      return ZQMF_ERROR_TYPE_NOT_SUPPORTED;
    }
  } else {
    const uint32_t element = ZQMF_SizeofType(data.type);
    if (element == 0) {
      return ZQMF_KnownType(data.type) ? ZQMF_ERROR_TYPE_NOT_SUPPORTED : ZQMF_ERROR_UNKNOWN_TYPE;
    }
    if (data.struct_size % element != 0) return ZQMF_ERROR_BAD_STRUCTURE;
    n = data.struct_size / element;
    if (n > ZQMF_COMPLEX_TYPE_MAX) return ZQMF_ERROR_TYPE_NOT_SUPPORTED;
    memset(types, static_cast<int>(data.type), n);
  }
  for (uint32_t e = 0; e < n; e++) {
    if (!NumericType(static_cast<uint8_t>(types[e]))) return ZQMF_ERROR_TYPE_NOT_SUPPORTED;
  }
  const uint32_t out_size = ZQMF_SizeofType(outputType);
  if (static_cast<uint64_t>(count) * n * out_size > size ||
      static_cast<uint64_t>(first) + count > data.repeat) {
    return ZQMF_ERROR_MEMORY;
  }

  const uint8_t* src = Payload(ms);
  std::unique_ptr<uint8_t[]> expanded;
  if (h.type == '#') {
    const uint32_t scratch = data.bytes + 12;
    expanded.reset(new (std::nothrow) uint8_t[scratch]);
    if (!expanded) return ZQMF_ERROR_MEMORY;
    const ZQMF_ERROR r = ZQMF_Decompress(ms, expanded.get(), scratch);
    if (r != ZQMF_OK) return r;
    src = expanded.get();
  }

  double divisor[ZQMF_COMPLEX_TYPE_MAX];
  for (uint32_t e = 0; e < n; e++) divisor[e] = 1;
  Header scale;
  const uint8_t* scale_payload = nullptr;
  if (FindPreceding(ms, kSCAL, &scale, &scale_payload)) {
    double values[ZQMF_COMPLEX_TYPE_MAX];
    uint32_t found = 0;
    ZQMF_ERROR r = ReadNumbers(scale, scale_payload, NumericType, 1, n, values, &found);
    if (r != ZQMF_OK) return r;
    for (uint32_t e = 0; e < n; e++) divisor[e] = values[found == 1 ? 0 : e];
  }
  double matrix[ZQMF_COMPLEX_TYPE_MAX * ZQMF_COMPLEX_TYPE_MAX];
  bool rotate = false;
  if (ZQMF_ERROR r = FindMatrix(ms, n, matrix, &rotate); r != ZQMF_OK) return r;

  // How each element of a sample is converted, decided once.
  struct Plan {
    uint32_t size;
    bool exact;  // integer to integer without scale: no rounding through a double
    RealReader real;
    IntegerReader integer;
  } plan[ZQMF_COMPLEX_TYPE_MAX];
  const bool integer_out = IntegerType(outputType);
  for (uint32_t e = 0; e < n; e++) {
    const uint32_t t = static_cast<uint8_t>(types[e]);
    plan[e] = {ZQMF_SizeofType(t), integer_out && IntegerType(t) && divisor[e] == 1,
               RealReaderFor(t), IntegerType(t) ? IntegerReaderFor(t) : nullptr};
  }
  uint8_t* dst = static_cast<uint8_t*>(out);
  src += static_cast<size_t>(first) * data.struct_size;
  for (uint32_t sample = 0; sample < count; sample++) {
    uint8_t* sample_out = dst;
    for (uint32_t e = 0; e < n; e++) {
      const Plan& p = plan[e];
      if (p.exact) {
        StoreInteger(dst, outputType, static_cast<uint64_t>(p.integer(src)));
      } else if (divisor[e] == 0) {
        StoreReal(dst, outputType, 0);
      } else {
        StoreReal(dst, outputType, p.real(src) / divisor[e]);
      }
      src += p.size;
      dst += out_size;
    }
    if (rotate) ApplyMatrix(sample_out, n, outputType, matrix);
  }
  return ZQMF_OK;
}
