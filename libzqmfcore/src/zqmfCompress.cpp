// The compressor: produces payloads in the layout ZQMF_Decompress reads (see there).
//
// The decoder looks at 16 bits at a time, and what a run of zero bits means depends on what
// follows it inside the same window: a run followed by a value code that fits the window sets
// every sample of the run to the new value, while a run whose window holds no complete code
// repeats the old value. The coder therefore emits three kinds of tokens, each decoded as a
// unit:
//   - value tokens: a run of r samples, a magnitude code and its sign, all within 16 bits:
//     one change followed by r unchanged samples;
//   - pure runs of unchanged samples: whole 16-bit run windows, possibly ended by a shorter
//     run that is followed by a token that cannot complete inside its window (the escape or
//     end code, or a long value code);
//   - the escape code with a raw delta (changes beyond the magnitude table), and the end code,
//     which fills the rest of the channel.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "zqcommon/zqByteOrder.h"
#include "zqmf/zqmfWriter.h"

namespace {

struct RunCode {
  uint32_t bits;    // the pattern, most significant first
  uint32_t length;  // its bits (over 16 when a window cannot hold it)
};

// The bits that make the decoder count a run of `run` samples before the next code.
RunCode RunBits(uint32_t run) {
  if (run < 16) return {0, run};
  // The longest prefix whose run fits, then one 0 bit per further sample.
  uint32_t prefix = 0x7E, length = 7, base = 16;  // 1111110
  if (run >= 128) {
    prefix = 0x3FD, length = 10, base = 128;  // 1111111101
  } else if (run >= 64) {
    prefix = 0x1FF, length = 9, base = 64;  // 111111111
  } else if (run >= 32) {
    prefix = 0xFE, length = 8, base = 32;  // 11111110
  }
  const uint32_t zeros = run - base;
  if (length + zeros > 16) return {0, 17};  // no window holds it
  return {prefix << zeros, length + zeros};
}

// Whole 16-bit windows that decode as runs alone, largest first.
struct FullRun {
  uint32_t run;
  uint16_t window;
};
constexpr FullRun kFullRuns[] = {
    {134, 0xFF40}, {71, 0xFF80}, {40, 0xFE00}, {25, 0xFC00}, {16, 0x0000}};

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>* data) : data_(data) {}

  void Put(uint32_t bits, uint32_t count) {
    for (uint32_t i = count; i-- > 0;) {
      const size_t byte = static_cast<size_t>(bit_ / 8);
      if (byte >= data_->size()) data_->resize(byte + 1, 0);
      if ((bits >> i) & 1) (*data_)[byte] |= static_cast<uint8_t>(0x80u >> (bit_ % 8));
      bit_++;
    }
  }
  void SetBit(uint64_t bit) { bit_ = bit; }
  uint64_t bit() const { return bit_; }

 private:
  std::vector<uint8_t>* data_;
  uint64_t bit_ = 0;
};

class ChannelCoder {
 public:
  ChannelCoder(BitWriter* out, uint32_t width, uint32_t quant)
      : out_(out), width_(width), quant_(quant), mask_(width == 1 ? 0xFFu : 0xFFFFu) {}

  // Codes samples 1.. of `x` (sample 0 is stored raw), ending with the end code.
  void Code(const std::vector<uint32_t>& x) {
    const size_t n = x.size();
    uint32_t running = x[0];
    uint32_t pending = 0;  // bits of a run window still open before the next token
    size_t k = 1;
    while (k < n) {
      int32_t d = Delta(x[k], running);
      if (d == 0) {
        size_t m = 1;
        while (k + m < n && Delta(x[k + m], running) == 0) m++;
        if (k + m == n) break;  // the end code repeats the value to the end
        pending = PureRun(static_cast<uint32_t>(m));
        k += m;
        continue;
      }
      const uint32_t next = (running + static_cast<uint32_t>(d) * quant_) & mask_;
      uint32_t repeats = 0;
      while (k + 1 + repeats < n && repeats < 134 && Delta(x[k + 1 + repeats], next) == 0) {
        repeats++;
      }
      const uint32_t magnitude = static_cast<uint32_t>(std::abs(d));
      bool coded = false;
      if (magnitude < ZQMF_HUFFMAN_CODES) {
        const ZQMF_huffman_code& c = ZQMF_HuffmanTable[magnitude];
        if (pending == 0) {
          const uint32_t run = LongestRun(repeats, 15 - c.length);
          const RunCode r = RunBits(run);
          out_->Put(r.bits, r.length);
          out_->Put(c.code, c.length);
          out_->Put(d < 0 ? 1 : 0, 1);
          k += run + 1;
          coded = true;
        } else if (pending + c.length + 1 > 16) {
          // Cannot complete inside the open run window, so that run stays a run alone.
          out_->Put(c.code, c.length);
          out_->Put(d < 0 ? 1 : 0, 1);
          k += 1;
          coded = true;
        }
      }
      if (!coded) {
        out_->Put(ZQMF_CODE_WORD_ESCAPE, 16);
        out_->Put(static_cast<uint32_t>(d) & mask_, width_ * 8);
        k += 1;
      }
      running = next;
      pending = 0;
    }
    out_->Put(ZQMF_CODE_WORD_END, 16);
  }

 private:
  // The change from `from` to `to`, in multiples of the quantiser, rounded to nearest; the
  // difference is taken modulo the channel width, as the decoder adds it.
  int32_t Delta(uint32_t to, uint32_t from) const {
    const uint32_t diff = (to - from) & mask_;
    const int32_t signed_diff =
        width_ == 1 ? static_cast<int8_t>(diff) : static_cast<int16_t>(diff);
    const int32_t q = static_cast<int32_t>(quant_);
    if (q == 1) return signed_diff;
    return signed_diff >= 0 ? (signed_diff + q / 2) / q : -((-signed_diff + q / 2) / q);
  }

  // The longest run of at most `wanted` samples whose bits fit in `budget` bits.
  static uint32_t LongestRun(uint32_t wanted, uint32_t budget) {
    uint32_t best = wanted < budget ? wanted : budget;  // plain zeros (budget < 16)
    const struct { uint32_t base, prefix; } forms[] = {{16, 7}, {32, 8}, {64, 9}, {128, 10}};
    for (const auto& f : forms) {
      if (budget < f.prefix || wanted < f.base) continue;
      uint32_t run = f.base + (budget - f.prefix);
      if (run > wanted) run = wanted;
      if (RunBits(run).length <= budget && run > best) best = run;
    }
    return best;
  }

  // Emits a run of `m` unchanged samples; returns the bits of its last window when that
  // window is still open (0 when it ended on whole windows).
  uint32_t PureRun(uint32_t m) {
    while (m > 0) {
      const RunCode r = RunBits(m);
      if (r.length < 16) {
        out_->Put(r.bits, r.length);
        return r.length;
      }
      for (const FullRun& full : kFullRuns) {
        if (full.run <= m) {
          out_->Put(full.window, 16);
          m -= full.run;
          break;
        }
      }
    }
    return 0;
  }

  BitWriter* out_;
  uint32_t width_;
  uint32_t quant_;
  uint32_t mask_;
};

}  // namespace

ZQMF_ERROR ZQMF_Compress(uint32_t type, uint32_t structSize, uint32_t repeat,
                         const void* streamData, const uint16_t* quantisers,
                         uint32_t quantiserCount, std::vector<uint8_t>* out) {
  if (out == nullptr || streamData == nullptr || repeat == 0 || repeat > 0xFFFF ||
      structSize == 0 || structSize > 255) {
    return ZQMF_ERROR_MEMORY;
  }
  const uint32_t element = ZQMF_SizeofType(type);
  if (element == 0) return ZQMF_ERROR_UNKNOWN_TYPE;
  const uint32_t width = element == 1 ? 1 : 2;
  if (structSize % width != 0) return ZQMF_ERROR_MEMORY;
  const uint32_t channels = structSize / width;
  if (quantiserCount != 0 && quantiserCount != 1 && quantiserCount != channels) {
    return ZQMF_ERROR_MEMORY;
  }
  if (quantiserCount != 0 && quantisers == nullptr) return ZQMF_ERROR_MEMORY;
  for (uint32_t i = 0; i < quantiserCount; i++) {
    if (quantisers[i] == 0 || (width == 1 && quantisers[i] > 255)) return ZQMF_ERROR_MEMORY;
  }
  const uint8_t* in = static_cast<const uint8_t*>(streamData);

  out->assign({static_cast<uint8_t>(type), static_cast<uint8_t>(structSize),
               static_cast<uint8_t>(repeat >> 8), static_cast<uint8_t>(repeat)});
  std::vector<uint8_t> data(in, in + structSize);  // the first sample, raw
  BitWriter bits(&data);
  bits.SetBit(static_cast<uint64_t>(structSize) * 8);
  std::vector<uint32_t> x(repeat);
  for (uint32_t c = 0; c < channels; c++) {
    const uint32_t quant = quantiserCount == 0 ? 1 : quantisers[quantiserCount == 1 ? 0 : c];
    if (c > 0) bits.SetBit((bits.bit() + 15) / 16 * 16);
    bits.Put(quant, width * 8);
    bits.SetBit((bits.bit() + 15) / 16 * 16);
    for (uint32_t k = 0; k < repeat; k++) {
      const uint8_t* p = in + (static_cast<size_t>(k) * channels + c) * width;
      x[k] = width == 1 ? p[0] : zq_load_be16(p);
    }
    ChannelCoder(&bits, width, quant).Code(x);
  }
  data.resize(static_cast<size_t>((bits.bit() + 7) / 8), 0);
  out->insert(out->end(), data.begin(), data.end());
  return ZQMF_OK;
}
