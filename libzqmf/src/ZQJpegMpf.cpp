#include "zqmf/ZQJpegMpf.h"

#include "zqcommon/zqByteOrder.h"

namespace {

struct Reader {
  const uint8_t* p;
  size_t n;
  bool big;
  bool U16(size_t at, uint32_t* v) const {
    if (at > n || n - at < 2) return false;
    *v = zq_load16(p + at, big);
    return true;
  }
  bool U32(size_t at, uint32_t* v) const {
    if (at > n || n - at < 4) return false;
    *v = zq_load32(p + at, big);
    return true;
  }
};

}  // namespace

bool zq_mpf_second_image(const uint8_t* index, size_t size, ZQMpfImage* out) {
  if (index == nullptr || out == nullptr || size < kMpfMinIndex - 4) return false;
  Reader r{index, size, false};
  if (index[0] == 'M' && index[1] == 'M') {
    r.big = true;
  } else if (!(index[0] == 'I' && index[1] == 'I')) {
    return false;
  }
  uint32_t magic, dir, count;
  if (!r.U16(2, &magic) || magic != 42 || !r.U32(4, &dir) || !r.U16(dir, &count)) return false;
  uint32_t images = 0, listAt = 0, listBytes = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t e = dir + 2 + 12 * static_cast<size_t>(i);
    uint32_t tag, cnt, value;
    if (!r.U16(e, &tag) || !r.U32(e + 4, &cnt) || !r.U32(e + 8, &value)) return false;
    if (tag == 0xB001) images = value;
    if (tag == 0xB002) {
      listAt = value;
      listBytes = cnt;
    }
  }
  if (images < 2 || listBytes < 32 || listAt == 0) return false;
  const size_t second = static_cast<size_t>(listAt) + 16;
  return r.U32(second, &out->attributes) && r.U32(second + 4, &out->size) &&
         r.U32(second + 8, &out->offset);
}
