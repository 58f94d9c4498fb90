#include "zqmf/zqmfContainers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include "zqcommon/zqByteOrder.h"
#include "zqcommon/zqUniqueFd.h"

namespace {

constexpr uint8_t kJpegIdentifier[6] = {'T', 'a', 'v', 'r', 'o', 0};
constexpr size_t kJpegBlockOffset = 10;  // marker, length, identifier

bool ReadAt(int fd, uint64_t offset, void* dst, size_t n) {
  uint8_t* p = static_cast<uint8_t*>(dst);
  while (n > 0) {
    const ssize_t got = pread(fd, p, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    offset += static_cast<uint64_t>(got);
    n -= static_cast<size_t>(got);
  }
  return true;
}

// A regular file opened with `flags` (invalid otherwise), and its size.
UniqueFd OpenRegular(const char* path, int flags, uint64_t* size) {
  UniqueFd fd(open(path, flags | O_CLOEXEC));
  struct stat st;
  if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return UniqueFd();
  *size = static_cast<uint64_t>(st.st_size);
  return fd;
}

// Bytes in memory as the walks below read them.
struct MemoryReader {
  const uint8_t* bytes;
  size_t size;
  bool operator()(size_t at, void* dst, size_t n) const {
    if (at > size || n > size - at) return false;
    memcpy(dst, bytes + at, n);
    return true;
  }
};

// One JPEG segment as the walk meets it.
struct Segment {
  uint8_t marker = 0;
  size_t offset = 0;  // of the FF byte
  size_t length = 0;  // the length field (payload + 2); 0 for stand-alone markers
};

// Walks the segments before the start of scan; `read(offset, dst, n)` supplies bytes of a
// file of `size` bytes. `visit(segment)` returns true to stop. ZQMF_ERROR_FIND when the walk
// reaches the scan or the end without stopping.
template <class Read, class Visit>
ZQMF_ERROR WalkJpeg(size_t size, Read read, Visit visit) {
  uint8_t head[4];
  if (size < 4 || !read(0, head, 2) || head[0] != 0xFF || head[1] != 0xD8) {
    return ZQMF_ERROR_BAD_STRUCTURE;
  }
  size_t pos = 2;
  while (pos + 2 <= size) {
    if (!read(pos, head, 2) || head[0] != 0xFF) return ZQMF_ERROR_BAD_STRUCTURE;
    const uint8_t marker = head[1];
    if (marker == 0xFF) {  // fill byte
      pos++;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return ZQMF_ERROR_FIND;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
      pos += 2;
      continue;
    }
    if (pos + 4 > size || !read(pos + 2, head + 2, 2)) return ZQMF_ERROR_BAD_STRUCTURE;
    const size_t length = zq_load_be16(head + 2);
    if (length < 2 || pos + 2 + length > size) return ZQMF_ERROR_BAD_STRUCTURE;
    if (visit(Segment{marker, pos, length})) return ZQMF_OK;
    pos += 2 + length;
  }
  return ZQMF_ERROR_FIND;
}

// Whether `s` is the camera's APP6 segment; `read` as above.
template <class Read>
bool IsCameraSegment(const Segment& s, Read read) {
  if (s.marker != 0xE6 || s.length + 2 <= kJpegBlockOffset) return false;
  uint8_t id[sizeof(kJpegIdentifier)];
  return read(s.offset + 4, id, sizeof(id)) && memcmp(id, kJpegIdentifier, sizeof(id)) == 0;
}

}  // namespace

ZQMF_ERROR zqmf_jpeg_find_block(const uint8_t* jpeg, size_t size, size_t* offset, size_t* length) {
  if (jpeg == nullptr || offset == nullptr || length == nullptr) return ZQMF_ERROR_MEMORY;
  const MemoryReader read{jpeg, size};
  return WalkJpeg(size, read, [&](const Segment& s) {
    if (!IsCameraSegment(s, read)) return false;
    *offset = s.offset + kJpegBlockOffset;
    *length = s.length + 2 - kJpegBlockOffset;
    return true;
  });
}

ZQMF_ERROR zqmf_jpeg_read_block(const char* path, std::vector<uint8_t>* block) {
  if (path == nullptr || block == nullptr) return ZQMF_ERROR_MEMORY;
  uint64_t file_size = 0;
  UniqueFd fd = OpenRegular(path, O_RDONLY, &file_size);
  if (!fd.valid()) return ZQMF_ERROR_MEMORY;
  auto read = [&](size_t at, void* dst, size_t n) { return ReadAt(fd.get(), at, dst, n); };
  bool read_failed = false;
  // The segments sit at the start of the file: a file too long for size_t is walked as far
  // as size_t reaches, never wrapped to a shorter length.
  const size_t walked = static_cast<size_t>(std::min<uint64_t>(file_size, SIZE_MAX));
  const ZQMF_ERROR r = WalkJpeg(walked, read, [&](const Segment& s) {
    if (!IsCameraSegment(s, read)) return false;
    block->resize(s.length + 2 - kJpegBlockOffset);
    read_failed = !ReadAt(fd.get(), s.offset + kJpegBlockOffset, block->data(), block->size());
    return true;
  });
  if (read_failed) return ZQMF_ERROR_MEMORY;
  return r;
}

ZQMF_ERROR zqmf_jpeg_insert_block(const uint8_t* jpeg, size_t size, const uint8_t* block,
                                  size_t blockSize, std::vector<uint8_t>* out) {
  if (jpeg == nullptr || out == nullptr || (block == nullptr && blockSize != 0)) {
    return ZQMF_ERROR_MEMORY;
  }
  if (blockSize > kZqmfJpegBlockMax) return ZQMF_ERROR_MEMORY;
  const MemoryReader read{jpeg, size};
  // After the leading application segments; an existing camera segment is dropped.
  size_t insert_at = 2;
  Segment old;
  const ZQMF_ERROR r = WalkJpeg(size, read, [&](const Segment& s) {
    if (s.marker < 0xE0 || s.marker > 0xEF) return true;
    if (IsCameraSegment(s, read)) old = s;
    insert_at = s.offset + 2 + s.length;
    return false;
  });
  if (r == ZQMF_ERROR_BAD_STRUCTURE) return r;

  const size_t length = 2 + sizeof(kJpegIdentifier) + blockSize;
  std::vector<uint8_t> segment = {0xFF, 0xE6, static_cast<uint8_t>(length >> 8),
                                  static_cast<uint8_t>(length)};
  segment.insert(segment.end(), kJpegIdentifier, kJpegIdentifier + sizeof(kJpegIdentifier));
  if (blockSize != 0) segment.insert(segment.end(), block, block + blockSize);

  std::vector<uint8_t> result;  // built aside: `jpeg` may be the caller's `*out`
  result.reserve(size + segment.size());
  auto copy = [&](size_t from, size_t to) { result.insert(result.end(), jpeg + from, jpeg + to); };
  if (old.length != 0) {
    copy(0, old.offset);
    copy(old.offset + 2 + old.length, insert_at);
  } else {
    copy(0, insert_at);
  }
  result.insert(result.end(), segment.begin(), segment.end());
  copy(insert_at, size);
  *out = std::move(result);
  return ZQMF_OK;
}
