#include "zqmf/zqExifLoader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include <libexif/exif-entry.h>
#include <libexif/exif-tag.h>

#include "zqcommon/zqJson.h"
#include "zqcommon/zqUniqueFd.h"
#include "zqmf/ZQMediaFileReaderJPEG.h"

namespace {

constexpr uint8_t kSOI = 0xD8;
constexpr uint8_t kEOI = 0xD9;
constexpr uint8_t kSOS = 0xDA;
constexpr uint8_t kAPP1 = 0xE1;
constexpr uint8_t kAPP2 = 0xE2;
constexpr char kExifId[] = "Exif\0\0";

bool StandAlone(uint8_t m) { return m == 0x01 || (m >= 0xD0 && m <= 0xD7); }

// The file at `path` opened for reading (not valid() when it cannot be).
UniqueFd OpenRead(const char* path) {
  return UniqueFd(path != nullptr ? open(path, O_RDONLY | O_CLOEXEC) : -1);
}

// Reads up to `n` bytes at `offset`, retrying short reads; the count read, -1 on error.
ssize_t ReadAt(int fd, uint8_t* buf, size_t n, off_t offset) {
  size_t got = 0;
  while (got < n) {
    const ssize_t r = pread(fd, buf + got, n - got, offset + static_cast<off_t>(got));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  return static_cast<ssize_t>(got);
}

// Feeds the file from its start in kPiece pieces until the loader has enough. False on a
// read error.
bool Feed(int fd, ZqExifLoader* loader) {
  uint8_t buf[ZqExifLoader::kPiece];
  off_t at = 0;
  for (;;) {
    const ssize_t n = ReadAt(fd, buf, sizeof buf, at);
    if (n < 0) return false;
    if (n == 0 || !loader->Write(buf, static_cast<size_t>(n))) return true;
    at += n;
  }
}

}  // namespace

void ZqExifLoader::Reset() {
  state_ = State::kSoi0;
  pos_ = 0;
  marker_ = 0;
  length_ = remaining_ = 0;
  keep_ = false;
  segment_.clear();
  exif_.clear();
  app2_.clear();
  app2At_ = segmentPayloadAt_ = 0;
  index_ = splitting_ = splitDone_ = false;
}

void ZqExifLoader::SegmentStart() {
  segmentPayloadAt_ = pos_;
  segment_.clear();
  if (mode_ == Mode::kData) {
    keep_ = marker_ == kAPP1 && exif_.empty();
  } else {
    keep_ = marker_ == kAPP2;
  }
  // A split screennail is only ever continued by the APP2 segment right after it.
  if (splitting_ && marker_ != kAPP2) {
    splitting_ = false;
    app2_.clear();
  }
  if (keep_) segment_.reserve(remaining_);
}

void ZqExifLoader::SegmentEnd() {
  if (!keep_) return;
  if (mode_ == Mode::kData) {
    if (segment_.size() >= 6 && memcmp(segment_.data(), kExifId, 6) == 0) {
      exif_ = std::move(segment_);
      state_ = State::kDone;
    }
    return;
  }
  if (splitting_) {
    if (app2_.size() + segment_.size() > kJpegMaxSplitScreennail) {
      app2_.clear();
      state_ = State::kDone;
      return;
    }
    app2_.insert(app2_.end(), segment_.begin(), segment_.end());
  } else if (segment_.size() >= 4 && memcmp(segment_.data(), "MPF\0", 4) == 0) {
    app2_.assign(segment_.begin() + 4, segment_.end());
    app2At_ = segmentPayloadAt_;
    index_ = true;
    state_ = State::kDone;
    return;
  } else if (segment_.size() >= 2 && segment_[0] == 0xFF && segment_[1] == kSOI) {
    splitting_ = true;
    app2_ = std::move(segment_);
    app2At_ = segmentPayloadAt_;
  } else {
    return;  // another kind of APP2 (a colour profile): keep looking
  }
  if (app2_.size() >= 4 && app2_[app2_.size() - 2] == 0xFF && app2_.back() == kEOI) {
    splitDone_ = true;
    state_ = State::kDone;
  }
}

bool ZqExifLoader::Write(const uint8_t* bytes, size_t length) {
  size_t i = 0;
  while (i < length && state_ != State::kDone) {
    const uint8_t b = bytes[i];
    switch (state_) {
      case State::kSoi0:
        state_ = b == 0xFF ? State::kSoi1 : State::kDone;
        break;
      case State::kSoi1:
        state_ = b == kSOI ? State::kMarker0 : State::kDone;
        break;
      case State::kMarker0:
        state_ = b == 0xFF ? State::kMarker1 : State::kDone;
        break;
      case State::kMarker1:
        if (b == 0xFF) break;  // fill byte
        marker_ = b;
        if (b == kSOS || b == kEOI || b == 0x00 || b == kSOI) {
          state_ = State::kDone;
        } else {
          state_ = StandAlone(b) ? State::kMarker0 : State::kLength0;
        }
        break;
      case State::kLength0:
        length_ = static_cast<uint32_t>(b) << 8;
        state_ = State::kLength1;
        break;
      case State::kLength1:
        length_ |= b;
        if (length_ < 2) {
          state_ = State::kDone;
          break;
        }
        remaining_ = length_ - 2;
        ++pos_;
        ++i;
        SegmentStart();
        if (remaining_ == 0) {
          SegmentEnd();
          if (state_ != State::kDone) state_ = State::kMarker0;
        } else {
          state_ = State::kPayload;
        }
        continue;
      case State::kPayload: {
        const size_t n = std::min<size_t>(remaining_, length - i);
        if (keep_) segment_.insert(segment_.end(), bytes + i, bytes + i + n);
        remaining_ -= static_cast<uint32_t>(n);
        pos_ += n;
        i += n;
        if (remaining_ == 0) {
          SegmentEnd();
          if (state_ != State::kDone) state_ = State::kMarker0;
        }
        continue;
      }
      case State::kDone:
        break;
    }
    ++pos_;
    ++i;
  }
  return state_ != State::kDone;
}

ExifData* ZqExifLoader::GetData() const {
  if (exif_.empty()) return nullptr;
  ExifData* data = exif_data_new();
  if (data == nullptr) return nullptr;
  // Report the tags as stored: no mandatory tags added, no values "fixed".
  exif_data_unset_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_load_data(data, exif_.data(), static_cast<unsigned int>(exif_.size()));
  return data;
}

int zq_exif_load_file(ZqExifLoader* loader, const char* path) {
  const UniqueFd fd = OpenRead(path);
  if (loader == nullptr || fd.get() < 0) return -1;
  return Feed(fd.get(), loader) ? 0 : -1;
}

int64_t zq_exif_stream_screennail(ZqExifLoader* loader, const char* path, ZqByteSink* sink) {
  const UniqueFd fd = OpenRead(path);
  if (loader == nullptr || sink == nullptr || fd.get() < 0) return -1;
  struct stat st = {};
  if (fstat(fd.get(), &st) != 0 || !Feed(fd.get(), loader)) {
    sink->Length(0);
    return 0;
  }
  const std::vector<uint8_t>& app2 = loader->app2();
  if (loader->hasSplitScreennail()) {
    sink->Length(app2.size());
    return sink->Write(app2.data(), app2.size()) ? static_cast<int64_t>(app2.size()) : -2;
  }
  ZQMpfImage image;
  if (!loader->hasIndex() || !zq_mpf_second_image(app2.data(), app2.size(), &image)) {
    sink->Length(0);
    return 0;
  }
  const uint64_t start = loader->indexOffset() + image.offset;
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  if (image.size == 0 || start > size || image.size > size - start) {
    sink->Length(0);
    return 0;
  }
  sink->Length(image.size);
  uint8_t buf[ZqExifLoader::kPiece];
  uint64_t sent = 0;
  while (sent < image.size) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof buf, image.size - sent));
    const ssize_t n = ReadAt(fd.get(), buf, want, static_cast<off_t>(start + sent));
    if (n <= 0 || !sink->Write(buf, static_cast<size_t>(n))) return -2;
    sent += static_cast<uint64_t>(n);
  }
  return static_cast<int64_t>(sent);
}

std::string zq_exif_json(ExifData* data) {
  std::string out = "{\"exif\":{";
  if (data != nullptr) {
    const char* sep = "";
    char value[1024];
    for (int ifd = 0; ifd < EXIF_IFD_COUNT; ++ifd) {
      ExifContent* content = data->ifd[ifd];
      if (content == nullptr) continue;
      for (unsigned int i = 0; i < content->count; ++i) {
        ExifEntry* e = content->entries[i];
        const char* name = exif_tag_get_name_in_ifd(e->tag, static_cast<ExifIfd>(ifd));
        if (name == nullptr) continue;
        std::string text;
        if (e->tag == EXIF_TAG_MAKER_NOTE) {
          static const char kHex[] = "0123456789abcdef";
          const unsigned int n = std::min(e->size, 64u);
          for (unsigned int k = 0; k < n; ++k) {
            text += kHex[e->data[k] >> 4];
            text += kHex[e->data[k] & 15];
          }
        } else {
          value[0] = '\0';
          exif_entry_get_value(e, value, sizeof value);
          text = value;
          // Firmware versions are shown on one line.
          if (e->tag == EXIF_TAG_SOFTWARE) {
            std::erase_if(text, [](char c) { return c == '\t' || c == '\n' || c == '\r'; });
          }
        }
        out += sep;
        out += "\"" + zq_json_escape(name) + "\":\"" + zq_json_escape(text) + "\"";
        sep = ",";
      }
    }
  }
  return out + "}}\n";
}
