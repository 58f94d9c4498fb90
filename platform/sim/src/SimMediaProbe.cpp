#include "SimMediaProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <vector>

#include "zqcommon/zqByteOrder.h"
#include "zqcommon/zqUniqueFd.h"

namespace zqsim {
namespace {

constexpr uint64_t kSeconds1904To1970 = 2082844800;
constexpr size_t kMaxMoov = 16u << 20;
constexpr size_t kJpegHead = 128u << 10;

bool Type(const uint8_t* p, const char* t) { return memcmp(p + 4, t, 4) == 0; }

// Walks the boxes of [data, data+size), calling f(type pointer, body, body size) for each.
template <typename F>
void WalkBoxes(const uint8_t* data, size_t size, F f) {
  size_t at = 0;
  while (size - at >= 8) {
    uint64_t box = zq_load_be32(data + at);
    size_t head = 8;
    if (box == 1) {
      if (size - at < 16) return;
      box = zq_load_be64(data + at + 8);
      head = 16;
    } else if (box == 0) {
      box = size - at;
    }
    if (box < head || box > size - at) return;
    f(data + at, data + at + head, static_cast<size_t>(box) - head);
    at += static_cast<size_t>(box);
  }
}

void ReadMvhd(const uint8_t* b, size_t n, MediaProbe* out) {
  if (n < 4) return;
  uint64_t created = 0;
  uint32_t timescale = 0;
  uint64_t duration = 0;
  if (b[0] == 1 && n >= 32) {
    created = zq_load_be64(b + 4);
    timescale = zq_load_be32(b + 20);
    duration = zq_load_be64(b + 24);
  } else if (b[0] == 0 && n >= 20) {
    created = zq_load_be32(b + 4);
    timescale = zq_load_be32(b + 12);
    duration = zq_load_be32(b + 16);
  } else {
    return;
  }
  if (created > kSeconds1904To1970) out->capture_time = created - kSeconds1904To1970;
  if (timescale != 0) out->duration_ms = static_cast<uint32_t>(duration * 1000 / timescale);
}

void ReadTkhd(const uint8_t* b, size_t n, MediaProbe* out) {
  // Width and height are the last two 16.16 fixed-point fields of the box.
  if (n < 84 || out->width != 0) return;
  uint32_t w = zq_load_be32(b + n - 8) >> 16;
  uint32_t h = zq_load_be32(b + n - 4) >> 16;
  if (w != 0 && h != 0) {
    out->width = w;
    out->height = h;
  }
}

// "YYYY:MM:DD HH:MM:SS" as seconds since 1970 (the camera's clock has no zone), 0 if malformed.
uint64_t ExifTime(const char* s, size_t n) {
  if (n < 19) return 0;
  struct tm tm = {};
  const char* end = strptime(std::string(s, 19).c_str(), "%Y:%m:%d %H:%M:%S", &tm);
  if (end == nullptr) return 0;
  time_t t = timegm(&tm);
  return t > 0 ? static_cast<uint64_t>(t) : 0;
}

// The capture time in a TIFF block (the body of an EXIF segment after "Exif\0\0").
uint64_t TiffCaptureTime(const uint8_t* t, size_t n) {
  if (n < 8) return 0;
  const bool le = t[0] == 'I' && t[1] == 'I';
  if (!le && !(t[0] == 'M' && t[1] == 'M')) return 0;
  auto u16 = [&](size_t at) -> uint32_t { return zq_load16(t + at, !le); };
  auto u32 = [&](size_t at) -> uint32_t { return zq_load32(t + at, !le); };
  // Finds `tag` in the IFD at `ifd`; returns the entry's offset or 0.
  auto find = [&](size_t ifd, uint32_t tag) -> size_t {
    if (ifd < 8 || ifd + 2 > n) return 0;
    const size_t count = u16(ifd);
    for (size_t i = 0; i < count; ++i) {
      const size_t e = ifd + 2 + 12 * i;
      if (e + 12 > n) return 0;
      if (u16(e) == tag) return e;
    }
    return 0;
  };
  const size_t exif_ptr = find(u32(4), 0x8769);
  if (exif_ptr == 0) return 0;
  const size_t entry = find(u32(exif_ptr + 8), 0x9003);
  if (entry == 0 || u16(entry + 2) != 2) return 0;
  const size_t count = u32(entry + 4);
  const size_t at = count <= 4 ? entry + 8 : u32(entry + 8);
  if (count < 19 || at > n || n - at < count) return 0;
  return ExifTime(reinterpret_cast<const char*>(t + at), count);
}

}  // namespace

MediaProbe ProbeMp4Bytes(const uint8_t* data, size_t size) {
  MediaProbe out;
  WalkBoxes(data, size, [&](const uint8_t* box, const uint8_t* body, size_t n) {
    if (!Type(box, "moov")) return;
    WalkBoxes(body, n, [&](const uint8_t* child, const uint8_t* cbody, size_t cn) {
      if (Type(child, "mvhd")) ReadMvhd(cbody, cn, &out);
      if (!Type(child, "trak")) return;
      WalkBoxes(cbody, cn, [&](const uint8_t* t, const uint8_t* tbody, size_t tn) {
        if (Type(t, "tkhd")) ReadTkhd(tbody, tn, &out);
      });
    });
  });
  return out;
}

MediaProbe ProbeJpegBytes(const uint8_t* data, size_t size) {
  MediaProbe out;
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return out;
  size_t at = 2;
  while (at + 4 <= size && data[at] == 0xFF) {
    const uint8_t marker = data[at + 1];
    if (marker == 0xD9 || marker == 0xDA) break;  // end of image, start of scan
    const size_t len = zq_load_be16(data + at + 2);
    if (len < 2 || at + 2 + len > size) break;
    const uint8_t* body = data + at + 4;
    const size_t n = len - 2;
    if (marker == 0xE1 && n > 6 && memcmp(body, "Exif\0\0", 6) == 0 && out.capture_time == 0) {
      out.capture_time = TiffCaptureTime(body + 6, n - 6);
    } else if ((marker == 0xC0 || marker == 0xC1 || marker == 0xC2) && n >= 5) {
      out.height = zq_load_be16(body + 1);
      out.width = zq_load_be16(body + 3);
    }
    at += 2 + len;
  }
  return out;
}

MediaProbe ProbeMedia(const std::string& path) {
  const size_t dot = path.rfind('.');
  const std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
  const bool jpeg = ext == "JPG" || ext == "THM";
  const bool mp4 = ext == "MP4" || ext == "360" || ext == "LRV";
  if (!jpeg && !mp4) return MediaProbe();
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st = {};
  if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return MediaProbe();
  const size_t file_size = static_cast<size_t>(st.st_size);
  std::vector<uint8_t> buf;
  auto read_at = [&](size_t offset, size_t n) {
    buf.resize(n);
    ssize_t got = pread(fd.get(), buf.data(), n, static_cast<off_t>(offset));
    buf.resize(got > 0 ? static_cast<size_t>(got) : 0);
  };
  if (jpeg) {
    read_at(0, file_size < kJpegHead ? file_size : kJpegHead);
    return ProbeJpegBytes(buf.data(), buf.size());
  }
  // Top-level boxes are visited by their headers; only the movie box is read whole.
  size_t at = 0;
  while (file_size - at >= 8) {
    uint8_t head[16];
    if (pread(fd.get(), head, sizeof head, static_cast<off_t>(at)) < 8) break;
    uint64_t box = zq_load_be32(head);
    if (box == 1) box = zq_load_be64(head + 8);
    if (box == 0) box = file_size - at;
    if (box < 8 || box > file_size - at) break;
    if (Type(head, "moov")) {
      if (box > kMaxMoov) break;
      read_at(at, static_cast<size_t>(box));
      return ProbeMp4Bytes(buf.data(), buf.size());
    }
    at += static_cast<size_t>(box);
  }
  return MediaProbe();
}

}  // namespace zqsim
