// Hand-made JPEG bytes: segments, EXIF (TIFF) blocks in either byte order, multi-picture
// index segments, and whole photos put together from them. Used by the JPEG reader's tests,
// the fuzz seeds and the sample card, independently of the reader, so that a misreading of
// the format is not shared between the code and its tests.
//
// TIFF layout written by TiffBuilder::Build: the 8-byte header, IFD0, then the EXIF, GPS,
// interoperability and IFD1 directories (those with entries), then every value longer than
// four bytes and the IFD1 thumbnail, in that order. Entries are sorted by tag. Values are given in
// host form and written in the builder's byte order.
#ifndef ZQ_LIBZQMF_TESTING_INCLUDE_ZQMFTEST_JPEGBYTES_H_
#define ZQ_LIBZQMF_TESTING_INCLUDE_ZQMFTEST_JPEGBYTES_H_

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zqmftest {

// FF `marker`, the big-endian length (payload + 2), the payload.
inline std::string JpegSegment(uint8_t marker, const std::string& payload) {
  const size_t len = payload.size() + 2;
  std::string s = {'\xFF', static_cast<char>(marker), static_cast<char>(len >> 8),
                   static_cast<char>(len)};
  return s + payload;
}

// A start-of-frame (baseline) segment for a `width` x `height` 3-component image.
inline std::string JpegFrameHeader(uint16_t width, uint16_t height) {
  std::string p = {8,
                   static_cast<char>(height >> 8),
                   static_cast<char>(height),
                   static_cast<char>(width >> 8),
                   static_cast<char>(width),
                   3};
  for (char c = 1; c <= 3; ++c) p += {c, c == 1 ? '\x22' : '\x11', c == 1 ? '\0' : '\1'};
  return JpegSegment(0xC0, p);
}

// A small stand-in picture: SOI, `segments`, a frame header, a start of scan, `scan` as the
// entropy-coded data, EOI. Not decodable; the reader only walks its structure.
inline std::string JpegImage(const std::string& segments, uint16_t width, uint16_t height,
                             const std::string& scan = std::string(64, '\x55')) {
  std::string sos = {3, 1, 0, 2, 0x11, 3, 0x11, 0, 63, 0};
  return std::string("\xFF\xD8", 2) + segments + JpegFrameHeader(width, height) +
         JpegSegment(0xDA, sos) + scan + std::string("\xFF\xD9", 2);
}

// EXIF field types.
enum : uint16_t {
  kTiffByte = 1,
  kTiffAscii = 2,
  kTiffShort = 3,
  kTiffLong = 4,
  kTiffRational = 5,
  kTiffUndefined = 7,
  kTiffSRational = 10,
};

// Directories of a TIFF block, in the order Build writes them.
enum TiffIfd : int { kIfd0 = 0, kIfdExif = 1, kIfdGps = 2, kIfdInterop = 3, kIfd1 = 4 };

class TiffBuilder {
 public:
  explicit TiffBuilder(bool bigEndian) : big_(bigEndian) {}

  // `text` and a terminating zero.
  void Ascii(TiffIfd ifd, uint16_t tag, const std::string& text) {
    Add(ifd, tag, kTiffAscii, static_cast<uint32_t>(text.size() + 1), text + std::string(1, '\0'));
  }
  void Short(TiffIfd ifd, uint16_t tag, std::vector<uint16_t> values) {
    std::string b;
    for (uint16_t v : values) b += U16(v);
    Add(ifd, tag, kTiffShort, static_cast<uint32_t>(values.size()), b);
  }
  void Long(TiffIfd ifd, uint16_t tag, std::vector<uint32_t> values) {
    std::string b;
    for (uint32_t v : values) b += U32(v);
    Add(ifd, tag, kTiffLong, static_cast<uint32_t>(values.size()), b);
  }
  void Rational(TiffIfd ifd, uint16_t tag, std::vector<std::pair<uint32_t, uint32_t>> values,
                bool isSigned = false) {
    std::string b;
    for (auto [n, d] : values) b += U32(n) + U32(d);
    Add(ifd, tag, isSigned ? kTiffSRational : kTiffRational, static_cast<uint32_t>(values.size()),
        b);
  }
  void Bytes(TiffIfd ifd, uint16_t tag, uint16_t type, const std::string& bytes) {
    Add(ifd, tag, type, static_cast<uint32_t>(bytes.size()), bytes);
  }
  // An entry exactly as given: the count and the raw value bytes (file byte order).
  void Raw(TiffIfd ifd, uint16_t tag, uint16_t type, uint32_t count, const std::string& bytes) {
    Add(ifd, tag, type, count, bytes);
  }
  // A JPEG thumbnail in IFD1 (compression 6 and the interchange-format offset and length).
  void Thumbnail(const std::string& jpeg) { thumbnail_ = jpeg; }

  std::string U16(uint16_t v) const {
    return big_ ? std::string{static_cast<char>(v >> 8), static_cast<char>(v)}
                : std::string{static_cast<char>(v), static_cast<char>(v >> 8)};
  }
  std::string U32(uint32_t v) const {
    return big_ ? U16(static_cast<uint16_t>(v >> 16)) + U16(static_cast<uint16_t>(v))
                : U16(static_cast<uint16_t>(v)) + U16(static_cast<uint16_t>(v >> 16));
  }

  // The TIFF block (what follows "Exif\0\0" in the APP1 segment).
  std::string Build() const {
    std::vector<Entry> ifds[5];
    for (int i = 0; i < 5; ++i) ifds[i] = entries_[i];
    // Pointers first get placeholders; their values are patched once the layout is known.
    if (!ifds[kIfdInterop].empty()) ifds[kIfdExif].push_back({0xA005, kTiffLong, 1, U32(0)});
    if (!ifds[kIfdExif].empty()) ifds[kIfd0].push_back({0x8769, kTiffLong, 1, U32(0)});
    if (!ifds[kIfdGps].empty()) ifds[kIfd0].push_back({0x8825, kTiffLong, 1, U32(0)});
    if (!thumbnail_.empty()) {
      ifds[kIfd1].push_back({0x0103, kTiffShort, 1, U16(6) + U16(0)});
      ifds[kIfd1].push_back({0x0201, kTiffLong, 1, U32(0)});
      ifds[kIfd1].push_back({0x0202, kTiffLong, 1, U32(static_cast<uint32_t>(thumbnail_.size()))});
    }
    for (auto& ifd : ifds) {
      std::stable_sort(ifd.begin(), ifd.end(),
                       [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    }
    // Directory offsets: IFD0 at 8, then the others with entries, each 2 + 12n + 4 bytes.
    const int order[5] = {kIfd0, kIfdExif, kIfdGps, kIfdInterop, kIfd1};
    uint32_t at[5] = {};
    uint32_t pos = 8;
    for (int i : order) {
      if (i != kIfd0 && ifds[i].empty()) continue;
      at[i] = pos;
      pos += static_cast<uint32_t>(2 + 12 * ifds[i].size() + 4);
    }
    uint32_t data = pos;
    for (int i : order) {
      for (const Entry& e : ifds[i]) data += e.value.size() > 4 ? PadEven(e.value.size()) : 0;
    }
    const uint32_t thumbAt = data;
    auto patch = [&](int ifd, uint16_t tag, uint32_t value) {
      for (Entry& e : ifds[ifd]) {
        if (e.tag == tag) e.value = U32(value);
      }
    };
    patch(kIfdExif, 0xA005, at[kIfdInterop]);
    patch(kIfd0, 0x8769, at[kIfdExif]);
    patch(kIfd0, 0x8825, at[kIfdGps]);
    patch(kIfd1, 0x0201, thumbAt);

    std::string out = big_ ? "MM" : "II";
    out += U16(42) + U32(8);
    std::string values;
    uint32_t valueAt = pos;
    for (int i : order) {
      if (i != kIfd0 && ifds[i].empty()) continue;
      out += U16(static_cast<uint16_t>(ifds[i].size()));
      for (const Entry& e : ifds[i]) {
        out += U16(e.tag) + U16(e.type) + U32(e.count);
        if (e.value.size() <= 4) {
          out += e.value + std::string(4 - e.value.size(), '\0');
        } else {
          out += U32(valueAt);
          std::string v = e.value;
          v.resize(PadEven(v.size()), '\0');
          values += v;
          valueAt += static_cast<uint32_t>(v.size());
        }
      }
      // IFD0 links to IFD1 when there is one.
      const bool link = i == kIfd0 && !ifds[kIfd1].empty();
      out += U32(link ? at[kIfd1] : 0);
    }
    return out + values + thumbnail_;
  }

 private:
  struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::string value;
  };
  static uint32_t PadEven(size_t n) { return static_cast<uint32_t>((n + 1) / 2 * 2); }
  void Add(TiffIfd ifd, uint16_t tag, uint16_t type, uint32_t count, const std::string& value) {
    entries_[ifd].push_back({tag, type, count, value});
  }

  bool big_;
  std::vector<Entry> entries_[5];
  std::string thumbnail_;
};

// The APP1 segment carrying `tiff`.
inline std::string ExifSegment(const std::string& tiff) {
  return JpegSegment(0xE1, std::string("Exif\0\0", 6) + tiff);
}

// The size of the multi-picture index segment MpfSegment writes (two images).
inline constexpr size_t kMpfSegmentSize = 4 + 4 + 8 + 2 + 3 * 12 + 4 + 2 * 16;

// An APP2 multi-picture index (big-endian) of two images: the primary of `primarySize` bytes
// and a second one of `secondSize` bytes at `secondOffset`, counted from the index header
// (the byte after "MPF\0").
inline std::string MpfSegment(uint32_t primarySize, uint32_t secondSize, uint32_t secondOffset) {
  TiffBuilder be(true);
  std::string p("MPF\0", 4);
  p += "MM" + be.U16(42) + be.U32(8);
  p += be.U16(3);
  const uint32_t entriesAt = 8 + 2 + 3 * 12 + 4;
  p += be.U16(0xB000) + be.U16(kTiffUndefined) + be.U32(4) + "0100";
  p += be.U16(0xB001) + be.U16(kTiffLong) + be.U32(1) + be.U32(2);
  p += be.U16(0xB002) + be.U16(kTiffUndefined) + be.U32(32) + be.U32(entriesAt);
  p += be.U32(0);
  p += be.U32(0x20030000) + be.U32(primarySize) + be.U32(0) + be.U16(0) + be.U16(0);
  p += be.U32(0x00010001) + be.U32(secondSize) + be.U32(secondOffset) + be.U16(0) + be.U16(0);
  return JpegSegment(0xE2, p);
}

// `primary` (a whole JPEG starting with SOI) with `app1` after its SOI, a multi-picture index
// after that, and `screennail` appended after the primary's end.
inline std::string WithMpfScreennail(const std::string& primary, const std::string& app1,
                                     const std::string& screennail) {
  const size_t mpfAt = 2 + app1.size();
  const size_t total = primary.size() + app1.size() + kMpfSegmentSize;
  const uint32_t relative = static_cast<uint32_t>(total - (mpfAt + 8));
  return primary.substr(0, 2) + app1 +
         MpfSegment(static_cast<uint32_t>(total), static_cast<uint32_t>(screennail.size()),
                    relative) +
         primary.substr(2) + screennail;
}

// `screennail` cut into APP2 segments of at most `piece` payload bytes, as older cameras
// store it.
inline std::string SplitScreennail(const std::string& screennail, size_t piece = 65533) {
  std::string out;
  for (size_t at = 0; at < screennail.size(); at += piece) {
    out += JpegSegment(0xE2, screennail.substr(at, piece));
  }
  return out;
}

// `primary` with `segments` placed right after its SOI.
inline std::string InsertAfterSoi(const std::string& primary, const std::string& segments) {
  return primary.substr(0, 2) + segments + primary.substr(2);
}

}  // namespace zqmftest

#endif  // ZQ_LIBZQMF_TESTING_INCLUDE_ZQMFTEST_JPEGBYTES_H_
