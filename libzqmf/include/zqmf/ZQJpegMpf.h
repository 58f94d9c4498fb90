// The multi-picture index of a JPEG (an APP2 segment whose payload starts "MPF\0"): a TIFF
// header ("MM" or "II", 42, the directory offset) and one directory holding the version
// (0xB000), the number of images (0xB001) and the entry list (0xB002): 16 bytes per image,
// attributes, size, offset (counted from the TIFF header; 0 for the primary image) and two
// dependent-image numbers.
#ifndef ZQ_LIBZQMF_INCLUDE_ZQMF_ZQJPEGMPF_H_
#define ZQ_LIBZQMF_INCLUDE_ZQMF_ZQJPEGMPF_H_

#include <cstddef>
#include <cstdint>

// The smallest index that can describe two images.
inline constexpr size_t kMpfMinIndex = 82;

struct ZQMpfImage {
  uint32_t attributes = 0;
  uint32_t size = 0;
  uint32_t offset = 0;  // from the index's TIFF header
};

// The second image of the index `index` (the bytes after "MPF\0", `size` of them). False when
// the index is shorter than kMpfMinIndex - 4, malformed or lists fewer than two images.
bool zq_mpf_second_image(const uint8_t* index, size_t size, ZQMpfImage* out);

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQJPEGMPF_H_
