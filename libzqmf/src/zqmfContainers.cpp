#include "zqmf/zqmfContainers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "zqcommon/zqUniqueFd.h"

namespace {

constexpr uint8_t kJpegIdentifier[6] = {'T', 'a', 'v', 'r', 'o', 0};
constexpr size_t kJpegBlockOffset = 10;     // marker, length, identifier
constexpr uint64_t kMoovLimit = 64u << 20;  // a movie atom larger than this is not ours

uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

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

bool WriteAt(int fd, uint64_t offset, const void* src, size_t n) {
  const uint8_t* p = static_cast<const uint8_t*>(src);
  while (n > 0) {
    const ssize_t put = pwrite(fd, p, n, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    offset += static_cast<uint64_t>(put);
    n -= static_cast<size_t>(put);
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
    const size_t length = (static_cast<size_t>(head[2]) << 8) | head[3];
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

struct Box {
  uint64_t offset = 0;
  uint64_t size = 0;    // whole box
  uint32_t header = 0;  // 8, or 16 with a 64-bit size
  char type[4] = {};
  bool Is(const char* t) const { return memcmp(type, t, 4) == 0; }
};

// The box header at `offset` of a region ending at `end`; false when it does not fit.
template <class Read>
bool ReadBox(Read read, uint64_t offset, uint64_t end, Box* box) {
  uint8_t h[16];
  if (offset + 8 > end || !read(offset, h, 8)) return false;
  box->offset = offset;
  box->header = 8;
  box->size = Be32(h);
  memcpy(box->type, h + 4, 4);
  if (box->size == 1) {
    if (offset + 16 > end || !read(offset + 8, h + 8, 8)) return false;
    box->size = (static_cast<uint64_t>(Be32(h + 8)) << 32) | Be32(h + 12);
    box->header = 16;
  } else if (box->size == 0) {
    box->size = end - offset;  // runs to the end of its container
  }
  return box->size >= box->header && box->size <= end - offset;
}

// The first box of type `type` among the boxes of [begin, end).
template <class Read>
bool FindBox(Read read, uint64_t begin, uint64_t end, const char* type, Box* found) {
  Box box;
  for (uint64_t at = begin; ReadBox(read, at, end, &box); at += box.size) {
    if (box.Is(type)) {
      *found = box;
      return true;
    }
  }
  return false;
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
  const ZQMF_ERROR r = WalkJpeg(static_cast<size_t>(file_size), read, [&](const Segment& s) {
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

ZQMF_ERROR zqmf_mp4_read_udta_block(const char* path, std::vector<uint8_t>* block) {
  if (path == nullptr || block == nullptr) return ZQMF_ERROR_MEMORY;
  uint64_t file_size = 0;
  UniqueFd fd = OpenRegular(path, O_RDONLY, &file_size);
  if (!fd.valid()) return ZQMF_ERROR_MEMORY;
  auto read = [&](uint64_t at, void* dst, size_t n) { return ReadAt(fd.get(), at, dst, n); };
  Box moov, udta, zqmf;
  if (!FindBox(read, 0, file_size, "moov", &moov)) {
    return ZQMF_ERROR_BAD_STRUCTURE;
  }
  if (!FindBox(read, moov.offset + moov.header, moov.offset + moov.size, "udta", &udta) ||
      !FindBox(read, udta.offset + udta.header, udta.offset + udta.size, "ZQMF", &zqmf)) {
    return ZQMF_ERROR_FIND;
  }
  if (zqmf.size - zqmf.header > kMoovLimit) return ZQMF_ERROR_BAD_STRUCTURE;
  block->resize(static_cast<size_t>(zqmf.size - zqmf.header));
  if (!read(zqmf.offset + zqmf.header, block->data(), block->size())) return ZQMF_ERROR_MEMORY;
  return ZQMF_OK;
}

ZQMF_ERROR zqmf_mp4_add_udta_block(const char* path, const uint8_t* block, size_t blockSize) {
  if (path == nullptr || (block == nullptr && blockSize != 0)) return ZQMF_ERROR_MEMORY;
  if (blockSize > kMoovLimit) return ZQMF_ERROR_MEMORY;
  uint64_t file_size = 0;
  UniqueFd fd = OpenRegular(path, O_RDWR, &file_size);
  if (!fd.valid()) return ZQMF_ERROR_MEMORY;
  auto read = [&](uint64_t at, void* dst, size_t n) { return ReadAt(fd.get(), at, dst, n); };

  Box moov;
  if (!FindBox(read, 0, file_size, "moov", &moov) || moov.header != 8) {
    return ZQMF_ERROR_BAD_STRUCTURE;
  }
  const uint64_t moov_end = moov.offset + moov.size;
  // The last child of the movie: the new atom goes after it, inside it when it is the udta.
  Box last, child;
  bool any = false;
  for (uint64_t at = moov.offset + 8; ReadBox(read, at, moov_end, &child); at += child.size) {
    last = child;
    any = true;
  }
  const bool extend =
      any && last.Is("udta") && last.header == 8 && last.offset + last.size == moov_end;
  Box existing, udta;
  if (FindBox(read, moov.offset + 8, moov_end, "udta", &udta)) {
    if (!extend) return ZQMF_ERROR_BAD_STRUCTURE;  // a user data box we cannot grow
    if (FindBox(read, udta.offset + udta.header, udta.offset + udta.size, "ZQMF", &existing)) {
      return ZQMF_ERROR_BAD_STRUCTURE;
    }
  }

  std::vector<uint8_t> add;
  const uint64_t grow = 8 + blockSize + (extend ? 0 : 8);
  if (moov.size + grow > 0xFFFFFFFFu) return ZQMF_ERROR_BAD_STRUCTURE;
  add.resize(static_cast<size_t>(grow));
  uint8_t* p = add.data();
  if (!extend) {
    PutBe32(p, static_cast<uint32_t>(grow));
    memcpy(p + 4, "udta", 4);
    p += 8;
  }
  PutBe32(p, static_cast<uint32_t>(8 + blockSize));
  memcpy(p + 4, "ZQMF", 4);
  if (blockSize != 0) memcpy(p + 8, block, blockSize);

  // Room after the movie atom: the end of the file, or a free box to shrink.
  std::vector<uint8_t> free_header;
  if (moov_end != file_size) {
    Box free_box;
    if (!ReadBox(read, moov_end, file_size, &free_box) || !free_box.Is("free") ||
        free_box.header != 8) {
      return ZQMF_ERROR_BAD_STRUCTURE;
    }
    const uint64_t left = free_box.size - (grow <= free_box.size ? grow : free_box.size);
    if (grow > free_box.size || (left != 0 && left < 8)) return ZQMF_ERROR_BAD_STRUCTURE;
    if (left != 0) {
      free_header.resize(8);
      PutBe32(free_header.data(), static_cast<uint32_t>(left));
      memcpy(free_header.data() + 4, "free", 4);
    }
  }

  uint8_t size_field[4];
  PutBe32(size_field, static_cast<uint32_t>(moov.size + grow));
  bool ok = WriteAt(fd.get(), moov_end, add.data(), add.size()) &&
            (free_header.empty() ||
             WriteAt(fd.get(), moov_end + grow, free_header.data(), free_header.size())) &&
            WriteAt(fd.get(), moov.offset, size_field, 4);
  if (ok && extend) {
    PutBe32(size_field, static_cast<uint32_t>(last.size + grow));
    ok = WriteAt(fd.get(), last.offset, size_field, 4);
  }
  return ok ? ZQMF_OK : ZQMF_ERROR_MEMORY;
}
