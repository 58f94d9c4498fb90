#include "zqmf/ZQMediaFileReaderJPEG.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "zqcommon/zqByteOrder.h"
#include "zqcommon/zqLog.h"
#include "zqfileio/FileIO.h"
#include "zqfileio/MemoryFileIO.h"
#include "zqmf/ZQCameraModels.h"
#include "zqmf/ZQJpegMpf.h"
#include "zqmf/ZQMFParsers.h"
#include "zqmf/ZQMediaEnums.h"

namespace {

using namespace ZQMediaError;

constexpr uint8_t kSOI = 0xD8;
constexpr uint8_t kEOI = 0xD9;
constexpr uint8_t kSOS = 0xDA;
constexpr uint8_t kAPP1 = 0xE1;
constexpr uint8_t kAPP2 = 0xE2;
constexpr uint8_t kAPP6 = 0xE6;
constexpr char kMakerName[] = "Tavro";
constexpr char kEquirectangular[] = "<GPano:ProjectionType>equirectangular</GPano:ProjectionType>";
// Entries of one directory must lie within the first 65,535 bytes of the segment.
constexpr size_t kMaxIfdEntries = (65535 - 8) / 12;

// Markers that stand alone, without a length.
bool StandAlone(uint8_t m) { return m == 0x01 || (m >= 0xD0 && m <= 0xD7); }
bool FrameHeader(uint8_t m) { return m >= 0xC0 && m <= 0xC2; }

// A TIFF block in memory with its byte order. Every access is bounds-checked.
class Tiff {
 public:
  Tiff(const uint8_t* data, size_t size, bool big) : data_(data), size_(size), big_(big) {}

  bool U16(size_t at, uint16_t* v) const {
    if (at > size_ || size_ - at < 2) return false;
    *v = zq_load16(data_ + at, big_);
    return true;
  }
  bool U32(size_t at, uint32_t* v) const {
    if (at > size_ || size_ - at < 4) return false;
    *v = zq_load32(data_ + at, big_);
    return true;
  }

  struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    size_t valueAt;  // where the value bytes start (inline or at the offset)
    size_t bytes;    // their length
  };

  // The entries of the directory at `at`; false when the directory is out of bounds.
  bool Directory(uint32_t at, std::vector<Entry>* out) const {
    uint16_t n;
    if (!U16(at, &n)) return false;
    const size_t fit = (size_ - at - 2) / 12;
    const size_t count = std::min({static_cast<size_t>(n), fit, kMaxIfdEntries});
    out->clear();
    for (size_t i = 0; i < count; ++i) {
      const size_t e = at + 2 + 12 * i;
      Entry entry{};
      uint16_t tag, type;
      uint32_t cnt;
      if (!U16(e, &tag) || !U16(e + 2, &type) || !U32(e + 4, &cnt)) return false;
      const uint64_t bytes = static_cast<uint64_t>(cnt) * TypeSize(type);
      entry = {tag, type, cnt, e + 8, static_cast<size_t>(std::min<uint64_t>(bytes, size_))};
      if (bytes > 4) {
        uint32_t off;
        if (!U32(e + 8, &off)) return false;
        if (off > size_ || bytes > size_ - off) continue;  // value outside the block: skipped
        entry.valueAt = off;
      }
      out->push_back(entry);
    }
    return true;
  }

  // The first value of a SHORT or LONG entry.
  bool Number(const Entry& e, uint32_t* v) const {
    if (e.count < 1) return false;
    if (e.type == 3) {
      uint16_t s;
      if (!U16(e.valueAt, &s)) return false;
      *v = s;
      return true;
    }
    if (e.type == 4) return U32(e.valueAt, v);
    return false;
  }
  // An ASCII value up to its first zero.
  std::string Text(const Entry& e) const {
    if (e.type != 2 && e.type != 7) return {};
    const char* p = reinterpret_cast<const char*>(data_ + e.valueAt);
    return std::string(p, strnlen(p, e.bytes));
  }
  // Value `i` of a RATIONAL entry as a double (0 for a zero denominator).
  bool Rational(const Entry& e, uint32_t i, double* v) const {
    if (e.type != 5 || i >= e.count) return false;
    uint32_t num, den;
    if (!U32(e.valueAt + 8 * i, &num) || !U32(e.valueAt + 8 * i + 4, &den)) return false;
    *v = den == 0 ? 0 : static_cast<double>(num) / den;
    return true;
  }
  const uint8_t* Bytes(const Entry& e) const { return data_ + e.valueAt; }

  static uint64_t TypeSize(uint16_t type) {
    switch (type) {
      case 1:
      case 2:
      case 6:
      case 7:
        return 1;
      case 3:
      case 8:
        return 2;
      case 4:
      case 9:
      case 11:
        return 4;
      case 5:
      case 10:
      case 12:
        return 8;
      default:
        return 0;
    }
  }

 private:
  const uint8_t* data_;
  size_t size_;
  bool big_;
};

// Degrees from the three rationals of a GPS coordinate.
bool Degrees(const Tiff& t, const Tiff::Entry& e, double* out) {
  double d, m, s;
  if (!t.Rational(e, 0, &d) || !t.Rational(e, 1, &m) || !t.Rational(e, 2, &s)) return false;
  *out = d + m / 60 + s / 3600;
  return true;
}

}  // namespace

ZQMediaFileReaderJPEG::~ZQMediaFileReaderJPEG() {
  Close();
  CleanupMemory();
}

int32_t ZQMediaFileReaderJPEG::Open(const char* path) {
  if (opened_) return immutable;
  if (path == nullptr) return invalidArg;
  auto file = std::make_unique<FileIO>();
  if (file->openRead(path) != kFIOSuccess) return fileOpenFailed;
  opened_ = true;
  return Parse(std::move(file));
}

void ZQMediaFileReaderJPEG::Close() {
  if (file_) file_->close();
  file_.reset();
}

void ZQMediaFileReaderJPEG::CleanupMemory() {
  screennail_.reset();
  screennailFound_ = screennailParsed_ = false;
  zqmf_.clear();
  zqmf_.shrink_to_fit();
  makerNote_.clear();
  makerNote_.shrink_to_fit();
  make_.clear();
  model_.clear();
  software_.clear();
  dateTime_.clear();
  description_.clear();
  timeOffset_.clear();
}

int32_t ZQMediaFileReaderJPEG::Read(int64_t offset, void* out, uint64_t length) {
  if (!file_ || offset < 0) return fileIO;
  uint64_t got = 0;
  if (file_->read(out, length, &got, offset) != kFIOSuccess || got != length) {
    ZQ_LOG(ZQ_LOG_ERROR, "File Read EOF error @ line:%d\n", __LINE__);
    return fileIO;
  }
  return okay;
}

int32_t ZQMediaFileReaderJPEG::Parse(std::unique_ptr<FileIO> file) {
  if (parsed_) return immutable;
  if (!file) return invalidArg;
  file_ = std::move(file);
  opened_ = true;
  if (file_->getFileSize(&fileSize_) != kFIOSuccess) return fileIO;

  uint8_t head[4];
  if (Read(0, head, 2) != okay) return fileIO;
  if (head[0] != 0xFF || head[1] != kSOI) {
    ZQ_LOG(ZQ_LOG_ERROR, "SOI not the first marker Found!\n");
    return JPEG_SOI_NotFirstMarker;
  }
  int64_t at = 2;
  std::vector<uint8_t> payload;
  for (;;) {
    if (Read(at, head, 2) != okay) return fileIO;
    if (head[0] != 0xFF || head[1] == 0x00 || head[1] == kSOI || head[1] == kEOI) {
      ZQ_LOG(ZQ_LOG_ERROR, "Invalid Marker: 0x%04x at file offset:%lld!\n",
             static_cast<unsigned>(head[0] << 8 | head[1]), static_cast<long long>(at));
      return fileIO;
    }
    if (head[1] == 0xFF) {  // fill byte before a marker
      ++at;
      continue;
    }
    if (StandAlone(head[1])) {
      at += 2;
      continue;
    }
    if (Read(at + 2, head + 2, 2) != okay) return fileIO;
    const uint8_t marker = head[1];
    const uint16_t length = zq_load_be16(head + 2);
    if (length < 2 || at + 2 + length > fileSize_) {
      ZQ_LOG(ZQ_LOG_ERROR, "Invalid Marker: 0x%04x at file offset:%lld!\n",
             static_cast<unsigned>(0xFF00 | marker), static_cast<long long>(at));
      return fileIO;
    }
    const int64_t next = at + 2 + length;
    const size_t payloadSize = length - 2u;
    if (marker == kAPP1 || marker == kAPP6 || FrameHeader(marker)) {
      payload.resize(payloadSize);
      if (payloadSize > 0 && Read(at + 4, payload.data(), payloadSize) != okay) return fileIO;
    }
    if (marker == kAPP1) {
      if (payloadSize >= 4 && memcmp(payload.data(), "http", 4) == 0) {
        const std::string_view xmp(reinterpret_cast<const char*>(payload.data()), payloadSize);
        if (xmp.find(kEquirectangular) != std::string_view::npos) spherical_ = true;
      } else if (!exifSeen_) {
        exifSeen_ = true;
        if (payloadSize < 6 + 8) return JPEG_MissingExifEndianType;
        const int32_t r = ParseExif(payload.data() + 6, payloadSize - 6);
        if (r != okay) return r;
      }
    } else if (marker == kAPP2) {
      if (firstApp2_ < 0) firstApp2_ = at;
    } else if (marker == kAPP6) {
      // The segment counted from its marker: "Tavro\0" at bytes 4-9, the block after.
      if (length + 2u > 10 && payloadSize >= 6 && memcmp(payload.data(), "Tavro\0", 6) == 0 &&
          zqmf_.empty()) {
        zqmf_.assign(payload.begin() + 6, payload.end());
      }
    } else if (FrameHeader(marker)) {
      if (payloadSize >= 5 && (width_ < 0 || height_ < 0)) {
        height_ = zq_load_be16(payload.data() + 1);
        width_ = zq_load_be16(payload.data() + 3);
      }
    } else if (marker == kSOS) {
      dataStart_ = next;
      dataSize_ = std::max<int64_t>(0, fileSize_ - 2 - dataStart_);
      break;
    }
    at = next;
  }
  const int32_t eoi = FindEoi();
  if (eoi != okay) return eoi;
  parsed_ = true;
  if (FirmwareVersionToSeriesProductModel() == okay) SeriesProductModelToDeviceType();
  return okay;
}

int32_t ZQMediaFileReaderJPEG::FindEoi() {
  uint8_t tail[2];
  if (fileSize_ >= 2 && Read(fileSize_ - 2, tail, 2) == okay && tail[0] == 0xFF &&
      tail[1] == kEOI) {
    return okay;
  }
  // Search backwards, window by window (overlapping by one byte so a marker split between
  // two windows is found), for the last EOI after the start of the data.
  std::vector<uint8_t> window(kJpegEoiSearchWindow);
  int64_t end = fileSize_;
  while (end > dataStart_) {
    const int64_t start = std::max<int64_t>(dataStart_, end - kJpegEoiSearchWindow);
    const size_t n = static_cast<size_t>(end - start);
    if (Read(start, window.data(), n) != okay) return fileIO;
    for (size_t i = n - 1; i >= 1; --i) {
      if (window[i - 1] == 0xFF && window[i] == kEOI) {
        dataSize_ = start + static_cast<int64_t>(i) - 1 - dataStart_;
        return okay;
      }
    }
    if (start == dataStart_) break;
    end = start + 1;
  }
  return JPEG_No_EOI_Found;
}

int32_t ZQMediaFileReaderJPEG::ParseExif(const uint8_t* data, size_t size) {
  bool big;
  if (data[0] == 'I' && data[1] == 'I') {
    big = false;
  } else if (data[0] == 'M' && data[1] == 'M') {
    big = true;
  } else {
    return JPEG_MissingExifEndianType;
  }
  const Tiff t(data, size, big);
  uint16_t magic;
  uint32_t ifd0;
  if (!t.U16(2, &magic) || magic != 42) return JPEG_MissingTIFFMagic;
  if (!t.U32(4, &ifd0)) return JPEG_MissingTIFFMagic;

  std::vector<Tiff::Entry> entries;
  uint32_t exifAt = 0, gpsAt = 0;
  int32_t w = -1, h = -1;
  if (t.Directory(ifd0, &entries)) {
    for (const Tiff::Entry& e : entries) {
      uint32_t v = 0;
      switch (e.tag) {
        case 256:
          if (t.Number(e, &v)) w = static_cast<int32_t>(v);
          break;
        case 257:
          if (t.Number(e, &v)) h = static_cast<int32_t>(v);
          break;
        case 270:
          description_ = t.Text(e);
          break;
        case 271:
          make_ = t.Text(e);
          break;
        case 272:
          model_ = t.Text(e);
          break;
        case 305:
          software_ = t.Text(e);
          break;
        case 306:
          dateTime_ = t.Text(e);
          break;
        case 34665:
          t.Number(e, &exifAt);
          break;
        case 34853:
          t.Number(e, &gpsAt);
          break;
        default:
          break;
      }
    }
  }
  if (exifAt != 0 && t.Directory(exifAt, &entries)) {
    for (const Tiff::Entry& e : entries) {
      uint32_t v = 0;
      if (e.tag == 36881) {
        timeOffset_ = t.Text(e);
      } else if (e.tag == 40962 && t.Number(e, &v)) {
        w = static_cast<int32_t>(v);
      } else if (e.tag == 40963 && t.Number(e, &v)) {
        h = static_cast<int32_t>(v);
      } else if (e.tag == 37500) {
        const size_t n = std::min<size_t>(e.bytes, kJpegMaxSegment);
        makerNote_.assign(t.Bytes(e), t.Bytes(e) + n);
      }
    }
  }
  if (gpsAt != 0 && t.Directory(gpsAt, &entries)) {
    std::string latRef, lonRef;
    double lat = 0, lon = 0, alt = 0;
    bool haveLat = false, haveLon = false, below = false;
    for (const Tiff::Entry& e : entries) {
      switch (e.tag) {
        case 1:
          latRef = t.Text(e);
          break;
        case 2:
          haveLat = Degrees(t, e, &lat);
          break;
        case 3:
          lonRef = t.Text(e);
          break;
        case 4:
          haveLon = Degrees(t, e, &lon);
          break;
        case 5:
          below = e.bytes >= 1 && t.Bytes(e)[0] == 1;
          break;
        case 6:
          t.Rational(e, 0, &alt);
          break;
        default:
          break;
      }
    }
    if (latRef != "N" && latRef != "S") {
      ZQ_LOG(ZQ_LOG_ERROR, "Error, only North/South compass directions allowed.\n");
    } else if (lonRef != "E" && lonRef != "W") {
      ZQ_LOG(ZQ_LOG_ERROR, "Error, only East/West compass directions allowed.\n");
    } else if (haveLat && haveLon) {
      gps_ = {true, latRef == "S" ? -lat : lat, lonRef == "W" ? -lon : lon, below ? -alt : alt};
    }
  }
  if (w > 0) width_ = w;
  if (h > 0) height_ = h;
  makerCamera_ = make_ == kMakerName;
  return okay;
}

int32_t ZQMediaFileReaderJPEG::FirmwareVersionToSeriesProductModel() {
  const ZQFirmwareSeries s = zq_firmware_series(software_.c_str());
  if (s.type == 0) return firmwareVersionNotFound;
  seriesType_ = s.type;
  seriesNumber_ = s.series;
  modelNumber_ = s.model;
  return okay;
}

int32_t ZQMediaFileReaderJPEG::SeriesProductModelToDeviceType() {
  deviceType_ = zq_device_type(seriesType_, seriesNumber_, modelNumber_);
  return deviceType_;
}

int32_t ZQMediaFileReaderJPEG::FirmwareVersionToModelName(std::string* displayName,
                                                          std::string* shortName) {
  return ::FirmwareVersionToModelName(software_.c_str(), displayName, shortName);
}

int32_t ZQMediaFileReaderJPEG::GetDimensions(int32_t* width, int32_t* height) {
  if (!parsed_) return invalidObject;
  if (width == nullptr || height == nullptr) return invalidArg;
  *width = width_;
  *height = height_;
  return okay;
}

int32_t ZQMediaFileReaderJPEG::FindScreennail() {
  if (!parsed_) return fileNotParsed;
  if (screennailFound_) return okay;
  if (!file_) return fileIO;
  if (firstApp2_ < 0) return JPEG_No_ScreenNail;
  if (seriesType_ == 0) return firmwareVersionNotFound;
  const int32_t r = zq_uses_split_screennail(software_.c_str(), seriesNumber_)
                        ? FindSplitScreennail()
                        : FindMpfScreennail();
  if (r == okay) screennailFound_ = true;
  return r;
}

int32_t ZQMediaFileReaderJPEG::FindSplitScreennail() {
  auto collected = std::make_unique<ZQScreennail>();
  std::vector<uint8_t> payload;
  bool collecting = false;
  int64_t at = firstApp2_;
  uint8_t head[4];
  while (at + 4 <= fileSize_) {
    if (Read(at, head, 4) != okay) return fileIO;
    if (head[0] != 0xFF) return JPEG_No_ScreenNail;
    if (head[1] == kSOS || head[1] == kEOI) return JPEG_No_ScreenNail;
    const uint16_t length = zq_load_be16(head + 2);
    if (length < 2 || at + 2 + length > fileSize_) return JPEG_No_ScreenNail;
    if (head[1] == kAPP2) {
      payload.resize(length - 2u);
      if (!payload.empty() && Read(at + 4, payload.data(), payload.size()) != okay) return fileIO;
      if (!collecting && payload.size() >= 2 && payload[0] == 0xFF && payload[1] == kSOI)
        collecting = true;
      if (collecting) {
        if (collected->bytes.size() + payload.size() > kJpegMaxSplitScreennail) {
          ZQ_LOG(ZQ_LOG_ERROR, "Screennail size larger than max Screennail size of %u\n",
                 kJpegMaxSplitScreennail);
          return JPEG_No_ScreenNail;
        }
        collected->bytes.insert(collected->bytes.end(), payload.begin(), payload.end());
        const auto& b = collected->bytes;
        if (b.size() >= 4 && b[b.size() - 2] == 0xFF && b.back() == kEOI) {
          screennail_ = std::move(collected);
          return okay;
        }
      }
    }
    at += 2 + length;
  }
  return JPEG_No_ScreenNail;
}

int32_t ZQMediaFileReaderJPEG::FindMpfScreennail() {
  uint8_t head[4];
  if (Read(firstApp2_, head, 4) != okay) return fileIO;
  const uint16_t length = zq_load_be16(head + 2);
  if (head[1] != kAPP2 || length <= 85 || firstApp2_ + 2 + length > fileSize_)
    return JPEG_No_ScreenNail;
  std::vector<uint8_t> seg(length - 2u);
  if (Read(firstApp2_ + 4, seg.data(), seg.size()) != okay) return fileIO;
  if (memcmp(seg.data(), "MPF\0", 4) != 0) return JPEG_No_ScreenNail;
  ZQMpfImage image;
  if (!zq_mpf_second_image(seg.data() + 4, seg.size() - 4, &image)) return JPEG_No_ScreenNail;
  // Offsets of the index count from its header, the byte after "MPF\0".
  const int64_t start = firstApp2_ + 8 + image.offset;
  if (image.size < 4 || start > fileSize_ || image.size > fileSize_ - start) {
    return JPEG_No_ScreenNail;
  }
  auto s = std::make_unique<ZQScreennail>();
  s->bytes.resize(image.size);
  if (Read(start, s->bytes.data(), image.size) != okay) return fileIO;
  if (s->bytes[0] != 0xFF || s->bytes[1] != kSOI) return JPEG_No_ScreenNail;
  screennail_ = std::move(s);
  return okay;
}

int32_t ZQMediaFileReaderJPEG::ParseScreennail() {
  if (screennailParsed_) return okay;
  const int32_t found = FindScreennail();
  if (found != okay) return found;
  ZQMediaFileReaderJPEG inner;
  const auto& b = screennail_->bytes;
  if (inner.Parse(std::make_unique<MemoryFileIO>(b.data(), b.size())) != okay) return fileIO;
  screennailWidth_ = inner.width_;
  screennailHeight_ = inner.height_;
  screennailParsed_ = true;
  return okay;
}

int32_t ZQMediaFileReaderJPEG::GetScreennailDimensions(int32_t* width, int32_t* height) {
  if (width == nullptr || height == nullptr) return invalidArg;
  const int32_t found = FindScreennail();
  if (found != okay) return found == fileNotParsed ? fileNotParsed : JPEG_No_ScreenNail;
  if (ParseScreennail() != okay) return fileNotParsed;
  *width = screennailWidth_;
  *height = screennailHeight_;
  return okay;
}

const ZQScreennail* ZQMediaFileReaderJPEG::GetScreennailRef() {
  return FindScreennail() == okay ? screennail_.get() : nullptr;
}

int32_t ZQMediaFileReaderJPEG::GetScreennail(std::unique_ptr<ZQScreennail>* screennail) {
  if (screennail == nullptr) return invalidArg;
  const int32_t found = FindScreennail();
  if (found == fileNotParsed) return found;
  if (found != okay || !screennail_) return JPEG_No_ScreenNail;
  *screennail = std::make_unique<ZQScreennail>(*screennail_);
  return okay;
}

int32_t ZQMediaFileReaderJPEG::GetCameraZQMF(const uint8_t** data, uint32_t* size) {
  if (data == nullptr || size == nullptr) return invalidArg;
  if (!parsed_) return fileNotParsed;
  *data = zqmf_.empty() ? nullptr : zqmf_.data();
  *size = static_cast<uint32_t>(zqmf_.size());
  return okay;
}

int32_t ZQMediaFileReaderJPEG::ParseZQMFData() {
  if (!parsed_) return fileNotParsed;
  if (zqmfParsed_) return okay;
  zqmfParsed_ = true;
  if (zqmf_.empty()) return okay;
  const auto size = static_cast<uint32_t>(zqmf_.size());
  // The block is in memory: the extractors need no MP4 source.
  ZQMFParserMediaType type(nullptr);
  ZQMFParserLensProjection lens(nullptr);
  ZQMFParserSpotmarkFlag spotmark(nullptr);
  ZQMFTimeZoneOffsetParser zone(nullptr);
  int32_t r = type.init(zqmf_.data(), size);
  if (r == 0) r = lens.init(zqmf_.data(), size);
  if (r == 0) {
    const int32_t s = spotmark.init(zqmf_.data(), size);
    // A block without the flag's value keeps the maker note's answer.
    if (s == 0 && spotmark.timelineError() == 0) spotmarkFromZqmf_ = true;
    if (s != 0 && s != ZQMF_PARSE_NO_VALUE) r = s;
  }
  if (r == 0) r = zone.init(zqmf_.data(), size);
  if (r != 0) return convertZQMFParseErrorToMediaError(r);
  mediaType_ = type.mediaType();
  if (lens.timelineError() == 0 && !lens.lensProjectionCode().empty()) {
    lensProjection_ = lens.lensProjection();
    lens4CC_ = lens.lensProjectionCode();
  }
  spotmark_ = spotmark.spotmarkFlag();
  timeZone_ = zone.timeZoneOffset();
  timeZoneText_ = zone.timeZoneOffsetText();
  return okay;
}

int32_t ZQMediaFileReaderJPEG::GetPhotoMediaType() {
  ParseZQMFData();
  return mediaType_;
}

int16_t ZQMediaFileReaderJPEG::GetTimeZoneOffset() {
  ParseZQMFData();
  if (timeZoneResolved_ || timeZone_ != kJpegTimeZoneUnknown) return timeZone_;
  timeZoneResolved_ = true;
  // "+hh:mm" or "-hh:mm" with hours 00-19; the separator may be any character.
  const std::string& s = timeOffset_;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (s.size() < 6 || (s[0] != '+' && s[0] != '-') || (s[1] != '0' && s[1] != '1') ||
      !digit(s[2]) || !digit(s[4]) || !digit(s[5])) {
    return timeZone_;
  }
  int minutes = ((s[1] - '0') * 10 + (s[2] - '0')) * 60 + (s[4] - '0') * 10 + (s[5] - '0');
  if (s[0] == '-') minutes = -minutes;
  if (minutes >= -720 && minutes <= 840) timeZone_ = static_cast<int16_t>(minutes);
  return timeZone_;
}

std::string ZQMediaFileReaderJPEG::GetTimeZoneOffsetStr() {
  ParseZQMFData();
  return timeZoneText_.empty() ? timeOffset_ : timeZoneText_;
}

int32_t ZQMediaFileReaderJPEG::GetCameraLensProjection(int32_t* projection) {
  if (projection == nullptr) return invalidArg;
  if (!parsed_) return fileNotParsed;
  ParseZQMFData();
  if (lensProjection_ >= 0) {
    *projection = lensProjection_;
  } else {
    *projection = makerCamera_ ? ZQMF_LENS_PROJECTION_STOCK : ZQMF_LENS_PROJECTION_NONE;
  }
  return okay;
}

int32_t ZQMediaFileReaderJPEG::GetCamera4CCLensProjection(std::string* code) {
  if (code == nullptr) return invalidArg;
  if (!parsed_) return fileNotParsed;
  ParseZQMFData();
  if (!lens4CC_.empty()) {
    *code = lens4CC_;
  } else {
    *code = makerCamera_ ? "ZQLS" : "UNKN";
  }
  return okay;
}

int32_t ZQMediaFileReaderJPEG::readSpotmarkTag(bool* flag) {
  if (flag == nullptr) return invalidArg;
  if (!parsed_) return fileNotParsed;
  ParseZQMFData();
  if (spotmarkFromZqmf_) {
    *flag = spotmark_;
  } else if (makerCamera_ && makerNote_.size() > 1) {
    *flag = (makerNote_[1] & 1) != 0;
  } else {
    *flag = false;
  }
  return okay;
}

int32_t ZQMediaFileReaderJPEG::GetTavroCameraSettings(uint32_t* a, uint32_t* b) {
  if (a == nullptr || b == nullptr) return invalidArg;
  if (!parsed_) return fileNotParsed;
  if (makerCamera_ && makerNote_.size() >= 12) {
    *a = zq_load_be32(makerNote_.data() + 4);
    *b = zq_load_be32(makerNote_.data() + 8);
  } else {
    *a = *b = 0;
  }
  return okay;
}

int32_t ZQMediaFileReaderJPEG::readCompressedBytes(uint8_t* out, uint32_t size, uint32_t* read) {
  if (out == nullptr || read == nullptr) return invalidArg;
  if (!parsed_ || dataStart_ < 0 || dataSize_ <= 0) return invalidObject;
  const uint64_t n = std::min<uint64_t>(size, static_cast<uint64_t>(dataSize_));
  *read = 0;
  if (Read(dataStart_, out, n) != okay) return fileIO;
  *read = static_cast<uint32_t>(n);
  return okay;
}
