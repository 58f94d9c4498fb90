#include "zqmftimeline/ZQMFAssetSource.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "zqcommon/zqUniqueFd.h"
#include "zqmf/zqmfParser.h"

namespace {

bool KeyWord(const std::string& key, uint32_t* word) {
  if (key.size() != 4) return false;
  memcpy(word, key.data(), 4);
  return true;
}

// The kind of media file at `path`, from its first bytes.
ZQMF_LIB_ERROR Sniff(const std::string& path, ZQMF_FILE_TYPE* type) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return ZQMF_ERROR_MEMORY;
  uint8_t head[12] = {};
  ssize_t got;
  do {
    got = pread(fd.get(), head, sizeof(head), 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return ZQMF_ERROR_MEMORY;
  if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) {
    *type = ZQMF_FILE_IMAGE;
    return ZQMF_LIB_OK;
  }
  static const char* const kTopBoxes[] = {"ftyp", "moov", "mdat", "free", "wide", "skip"};
  for (const char* box : kTopBoxes) {
    if (got >= 8 && memcmp(head + 4, box, 4) == 0) {
      *type = ZQMF_FILE_VIDEO;
      return ZQMF_LIB_OK;
    }
  }
  return ZQMF_LIB_ERROR_NO_SAMPLE;
}

}  // namespace

ZQMFAssetSource::ZQMFAssetSource(ZQMFVideoSourceFactory videoFactory)
    : videoFactory_(std::move(videoFactory)) {}

ZQMFAssetSource::~ZQMFAssetSource() { Close(); }

ZQMF_LIB_ERROR ZQMFAssetSource::Open(const std::string& path) {
  Close();
  buffer_.reset();
  track_.Reset();
  path_ = path;
  fileType_ = ZQMF_FILE_NONE;
  duration_ = ZQMFRational();
  frameRate_ = ZQMFRational();
  frameCount_ = 0;
  ZQMF_FILE_TYPE type = ZQMF_FILE_NONE;
  if (ZQMF_LIB_ERROR r = Sniff(path, &type); r != ZQMF_LIB_OK) return r;
  fileType_ = type;
  ZQMF_LIB_ERROR r = ZQMF_LIB_ERROR_NO_SAMPLE;
  if (type == ZQMF_FILE_IMAGE) {
    r = OpenZQMF(path);
  } else {
    if (parseType_ == ZQMF_PARSE_TRACK_THEN_UDTA || parseType_ == ZQMF_PARSE_TRACK) {
      r = OpenZQMF(path);
    }
    if (r != ZQMF_LIB_OK &&
        (parseType_ == ZQMF_PARSE_TRACK_THEN_UDTA || parseType_ == ZQMF_PARSE_UDTA)) {
      r = OpenUDTA(path);
    }
  }
  if (r == ZQMF_LIB_OK) {
    for (const ZQMFAssetTrackSegment& s : openSegments_) {
      track_.AddSegmentTime(s.payloadIndex(), s.start(), s.end());
    }
  } else {
    fileType_ = ZQMF_FILE_NONE;  // a file without readable ZQMF is no source
  }
  Close();
  return r;
}

ZQMF_LIB_ERROR ZQMFAssetSource::OpenZQMF(const std::string& path) {
  Close();
  if (fileType_ == ZQMF_FILE_IMAGE) {
    if (!image_) image_ = std::make_unique<ZQMFAssetSourceJPEGReader>();
    if (ZQMF_LIB_ERROR r = image_->ParseJPEG(path); r != ZQMF_LIB_OK) return r;
    open_ = Opened::kImage;
    return TakeSegments();
  }
  if (fileType_ != ZQMF_FILE_VIDEO ||
      (parseType_ != ZQMF_PARSE_TRACK_THEN_UDTA && parseType_ != ZQMF_PARSE_TRACK)) {
    return ZQMF_LIB_ERROR_NO_SAMPLE;
  }
  if (!video_ && videoFactory_) video_ = videoFactory_();
  if (!video_) return ZQMF_LIB_ERROR_NO_SAMPLE;
  if (ZQMF_LIB_ERROR r = video_->OpenMP4Source(path); r != ZQMF_LIB_OK) return r;
  open_ = Opened::kVideo;
  duration_ = video_->GetDuration();
  if (video_->GetVideoFrameRateAndCount(&frameRate_, &frameCount_) != ZQMF_LIB_OK) {
    frameRate_ = ZQMFRational();
    frameCount_ = 0;
  }
  return TakeSegments();
}

ZQMF_LIB_ERROR ZQMFAssetSource::OpenUDTA(const std::string& path) {
  if (parseType_ != ZQMF_PARSE_TRACK_THEN_UDTA && parseType_ != ZQMF_PARSE_UDTA) {
    return ZQMF_LIB_OK;
  }
  Close();
  if (fileType_ != ZQMF_FILE_VIDEO) return ZQMF_LIB_ERROR_NO_SAMPLE;
  if (!video_ && videoFactory_) video_ = videoFactory_();
  if (!video_) return ZQMF_LIB_ERROR_NO_SAMPLE;
  if (ZQMF_LIB_ERROR r = video_->OpenMP4SourceUDTA(path); r != ZQMF_LIB_OK) return r;
  open_ = Opened::kVideo;
  duration_ = video_->GetDuration();
  return TakeSegments();
}

ZQMF_LIB_ERROR ZQMFAssetSource::SetGlobalBuffer(const void* bytes, size_t size, void* writable) {
  Close();
  buffer_.reset();
  track_.Reset();
  path_.clear();
  fileType_ = ZQMF_FILE_NONE;
  if (bytes == nullptr || size == 0 || size > UINT32_MAX - 3) return ZQMF_ERROR_MEMORY;
  buffer_ = std::make_unique<ZQMFAssetSourceGlobalBuffer>(bytes, size, writable);
  fileType_ = ZQMF_FILE_BUFFER;
  open_ = Opened::kBuffer;
  TakeSegments();
  for (const ZQMFAssetTrackSegment& s : openSegments_) {
    track_.AddSegmentTime(s.payloadIndex(), s.start(), s.end());
  }
  Close();
  return ZQMF_LIB_OK;
}

void ZQMFAssetSource::Close() {
  if (video_) video_->CloseSource();
  if (image_) image_->CloseSource();
  open_ = Opened::kNone;
}

void ZQMFAssetSource::Init() {
  keys_.clear();
  allKeys_ = false;
  found_.clear();
  readError_ = ZQMF_LIB_OK;
  timeline().Reset();
}

ZQMF_LIB_ERROR ZQMFAssetSource::TakeSegments() {
  openSegments_.clear();
  const uint32_t n = GetPayloadCount();
  for (uint32_t i = 0; i < n; i++) {
    double start = kZQMFNoTime, end = kZQMFNoTime;
    if (ZQMF_LIB_ERROR r = GetPayloadTime(i, &start, &end); r != ZQMF_LIB_OK) return r;
    openSegments_.emplace_back(i, start, end);
  }
  return ZQMF_LIB_OK;
}

ZQMF_LIB_ERROR ZQMFAssetSource::Parse(const std::vector<std::string>& keys, ZQMF_PARSE_TYPE type,
                                      const ZQMFTimeRange* range) {
  Init();
  bool bad_key = false;
  for (const std::string& k : keys) {
    uint32_t word = 0;
    if (!KeyWord(k, &word)) {
      bad_key = true;
      continue;
    }
    if (FindCursor(k) == nullptr) keys_.push_back({word, 0});
  }
  allKeys_ = keys.empty();
  Close();
  parseType_ = type;

  bool any = false;
  ZQMF_LIB_ERROR opened = ZQMF_LIB_ERROR_NO_SAMPLE;
  auto read_open = [&] {
    any = true;
    Read(range);
    Close();
  };
  if (type == ZQMF_PARSE_GLOBAL_BUFFER) {
    if (!buffer_) return ZQMF_LIB_ERROR_NO_SAMPLE;
    open_ = Opened::kBuffer;
    TakeSegments();
    read_open();
  } else if (fileType_ == ZQMF_FILE_IMAGE) {
    opened = OpenZQMF(path_);
    if (opened == ZQMF_LIB_OK) read_open();
  } else if (fileType_ == ZQMF_FILE_VIDEO) {
    if (type == ZQMF_PARSE_TRACK_THEN_UDTA || type == ZQMF_PARSE_TRACK) {
      opened = OpenZQMF(path_);
      if (opened == ZQMF_LIB_OK) read_open();
    }
    if (type == ZQMF_PARSE_TRACK_THEN_UDTA || type == ZQMF_PARSE_UDTA) {
      const ZQMF_LIB_ERROR r = OpenUDTA(path_);
      if (r == ZQMF_LIB_OK) {
        read_open();
      } else if (!any) {
        opened = r;
      }
    }
  } else {
    return ZQMF_LIB_ERROR_NO_SAMPLE;
  }
  if (!any) return opened;
  if (readError_ != ZQMF_LIB_OK) return readError_;
  if (bad_key) return ZQMF_ERROR_MEMORY;
  for (const Cursor& c : keys_) {
    if (found_.count(c.key) == 0) return ZQMF_LIB_ERROR_KEY_NOT_FOUND;
  }
  return ZQMF_LIB_OK;
}

ZQMF_LIB_ERROR ZQMFAssetSource::Read(const ZQMFTimeRange* range) {
  if (allKeys_) GatherKeys();
  return ReadSegments(RequestedKeys(), range ? range->start() : -INFINITY,
                      range ? range->end() : INFINITY);
}

ZQMF_LIB_ERROR ZQMFAssetSource::ReadAllTracks() {
  allKeys_ = true;
  return Read(nullptr);
}

void ZQMFAssetSource::GatherKeys() {
  std::vector<uint32_t> words;
  uint32_t bytes = 0;
  std::set<uint32_t> keys;
  for (const ZQMFAssetTrackSegment& s : openSegments_) {
    if (GetPayload(&words, &bytes, s.payloadIndex()) != ZQMF_LIB_OK) continue;
    ZQMFAssetTrackSegment::GetKeys(words.data(), bytes, &keys);
  }
  for (uint32_t key : keys) {
    bool known = false;
    for (const Cursor& c : keys_) known = known || c.key == key;
    if (!known) keys_.push_back({key, 0});
  }
}

ZQMF_LIB_ERROR ZQMFAssetSource::ReadTracks(uint32_t key, double start, double end) {
  return ReadSegments({key}, start, end);
}

ZQMF_LIB_ERROR ZQMFAssetSource::ReadSegments(const std::vector<uint32_t>& keys, double start,
                                             double end) {
  // Whole hundredths of a second around the range; segments without time are always read.
  if (std::isfinite(start)) start = std::floor(start * 100) / 100;
  if (std::isfinite(end)) end = std::ceil(end * 100) / 100;
  constexpr double kSlack = 1e-9;
  ZQMF_LIB_ERROR result = ZQMF_LIB_OK;
  auto note = [&](uint32_t key, ZQMF_LIB_ERROR r) {
    NoteRead(key, r);
    if (r != ZQMF_LIB_OK && r != ZQMF_LIB_ERROR_KEY_NOT_FOUND && result == ZQMF_LIB_OK) result = r;
  };
  std::vector<uint32_t> words;
  uint32_t bytes = 0;
  for (const ZQMFAssetTrackSegment& s : openSegments_) {
    if (s.timed()) {
      if (s.end() > end + kSlack) break;
      if (s.start() < start - kSlack) continue;
    }
    if (ZQMF_LIB_ERROR r = GetPayload(&words, &bytes, s.payloadIndex()); r != ZQMF_LIB_OK) {
      for (uint32_t key : keys) note(key, r);
      continue;
    }
    // Damage is skipped while reading; say so once per payload.
    ZQMF_stream ms;
    if (ZQMF_Init(&ms, words.data(), bytes) == ZQMF_OK &&
        ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS) == ZQMF_ERROR_BAD_STRUCTURE) {
      note(0, ZQMF_ERROR_BAD_STRUCTURE);
    }
    for (uint32_t key : keys) {
      ZQMF_codebook* book = codebook_.release();
      note(key, s.GetSamples(words.data(), bytes, key, filter_, &timeline(), &book));
      codebook_.reset(book);
    }
  }
  return result;
}

void ZQMFAssetSource::NoteRead(uint32_t key, ZQMF_LIB_ERROR r) {
  if (r == ZQMF_LIB_OK) found_.insert(key);
  if (r != ZQMF_LIB_OK && r != ZQMF_LIB_ERROR_KEY_NOT_FOUND && readError_ == ZQMF_LIB_OK) {
    readError_ = r;
  }
}

ZQMFAssetSource::Cursor* ZQMFAssetSource::FindCursor(const std::string& key) {
  uint32_t word = 0;
  if (!KeyWord(key, &word)) return nullptr;
  for (Cursor& c : keys_) {
    if (c.key == word) return &c;
  }
  return nullptr;
}

void ZQMFAssetSource::AddSample(const ZQMFAssetSample& sample) {
  bool known = false;
  for (const Cursor& c : keys_) known = known || c.key == sample.key;
  if (!known) keys_.push_back({sample.key, 0});
  timeline().AddAssetTimeSample(sample);
}

std::vector<uint32_t> ZQMFAssetSource::RequestedKeys() const {
  std::vector<uint32_t> keys;
  for (const Cursor& c : keys_) keys.push_back(c.key);
  return keys;
}

const ZQMFAssetSample* ZQMFAssetSource::NextSample(const std::string& key, ZQMF_LIB_ERROR* error) {
  Cursor* c = FindCursor(key);
  if (c == nullptr) {
    *error = ZQMF_LIB_ERROR_KEY_NOT_REQUESTED;
    return nullptr;
  }
  *error = ZQMF_LIB_OK;
  const ZQMFAssetSample* s = timeline().GetSample(c->key, c->next);
  if (s != nullptr) c->next++;
  return s;
}

const ZQMFAssetSample* ZQMFAssetSource::SampleAt(const std::string& key, uint32_t index,
                                                 ZQMF_LIB_ERROR* error) {
  Cursor* c = FindCursor(key);
  if (c == nullptr) {
    *error = ZQMF_LIB_ERROR_KEY_NOT_REQUESTED;
    return nullptr;
  }
  *error = ZQMF_LIB_OK;
  return timeline().GetSample(c->key, index);
}

ZQMF_LIB_ERROR ZQMFAssetSource::GetSampleCount(const std::string& key, uint32_t* count) {
  if (count == nullptr) return ZQMF_ERROR_MEMORY;
  *count = 0;
  if (fileType_ == ZQMF_FILE_NONE) return ZQMF_ERROR_MEMORY;
  Cursor* c = FindCursor(key);
  if (c == nullptr) return ZQMF_LIB_ERROR_KEY_NOT_REQUESTED;
  *count = timeline().GetSampleCount(c->key);
  return ZQMF_LIB_OK;
}

uint32_t ZQMFAssetSource::GetPayloadCount() {
  switch (open_) {
    case Opened::kVideo:
      return video_->GetNumberPayloads();
    case Opened::kImage:
      return image_->GetNumberPayloads();
    case Opened::kBuffer:
      return buffer_->GetNumberPayloads();
    case Opened::kNone:
      break;
  }
  return 0;
}

ZQMF_LIB_ERROR ZQMFAssetSource::GetPayload(std::vector<uint32_t>* words, uint32_t* bytes,
                                           uint32_t index) {
  switch (open_) {
    case Opened::kVideo:
      return video_->GetPayload(index, words, bytes);
    case Opened::kImage:
      return image_->GetPayload(index, words, bytes);
    case Opened::kBuffer:
      return buffer_->GetPayload(index, words, bytes);
    case Opened::kNone:
      break;
  }
  return ZQMF_LIB_ERROR_NO_SAMPLE;
}

uint32_t ZQMFAssetSource::GetPayloadSize(uint32_t index) {
  switch (open_) {
    case Opened::kVideo:
      return video_->GetPayloadSize(index);
    case Opened::kImage:
      return image_->GetPayloadSize(index);
    case Opened::kBuffer:
      return buffer_->GetPayloadSize(index);
    case Opened::kNone:
      break;
  }
  return 0;
}

ZQMF_LIB_ERROR ZQMFAssetSource::GetPayloadTime(uint32_t index, double* start, double* end) {
  if (start == nullptr || end == nullptr) return ZQMF_ERROR_MEMORY;
  if (index >= GetPayloadCount()) return ZQMF_LIB_ERROR_NO_SAMPLE;
  if (open_ == Opened::kVideo) return video_->GetPayloadTime(index, start, end);
  *start = kZQMFNoTime;
  *end = kZQMFNoTime;
  return ZQMF_LIB_OK;
}

ZQMFRational ZQMFAssetSource::GetSampleRate(const std::string& key) {
  double start = 0, end = 0;
  return GetSampleRate(key, &start, &end);
}

ZQMFRational ZQMFAssetSource::GetSampleRate(const std::string& key, double* start, double* end) {
  uint32_t word = 0;
  uint32_t timed = 0;
  *start = 0;
  *end = 0;
  if (!KeyWord(key, &word)) return ZQMFRational();
  for (uint32_t i = 0;; i++) {
    const ZQMFAssetSample* s = timeline().GetSample(word, i);
    if (s == nullptr) break;
    if (s->startTime == kZQMFNoTime) continue;
    if (timed == 0) *start = s->startTime;
    *end = s->endTime;
    timed += s->repeat;
  }
  if (timed == 0 || *end - *start <= 0) return ZQMFRational();
  return ZQMFRational::Double2Rational(timed / (*end - *start));
}

ZQMF_LIB_ERROR ZQMFAssetSource::GetVideoFrameRateAndCount(ZQMFRational* rate,
                                                          uint32_t* frames) const {
  if (rate == nullptr || frames == nullptr) return ZQMF_ERROR_MEMORY;
  if (fileType_ != ZQMF_FILE_VIDEO || frameCount_ == 0) return ZQMF_LIB_ERROR_NO_SAMPLE;
  *rate = frameRate_;
  *frames = frameCount_;
  return ZQMF_LIB_OK;
}

ZQMF_LIB_ERROR ZQMFAssetSource::ModifyGlobalBuffer(uint32_t key, uint32_t type, uint32_t structSize,
                                                   uint32_t repeat, const void* data) {
  if (!buffer_) return ZQMF_LIB_ERROR_NO_SAMPLE;
  return buffer_->Modify(key, type, structSize, repeat, data);
}
