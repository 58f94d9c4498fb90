#include "zqmediametadata/zqMediaMetadata.h"

#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string_view>
#include <utility>

#include "core/zqExtendedMemory.h"
#include "core/zqLocks.h"
#include "quicktime64/QuickTime64FileUtilities.h"
#include "quicktime64/QuickTimeReader.h"
#include "zqcommon/zqContainment.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqMediaNames.h"
#include "zqcommon/zqPaths.h"
#include "zqfileio/CachedAlignedOdirectFileIO.h"
#include "zqfileio/SyncFileReader.h"
#include "zqfileio/ZQSinkFileIO.h"
#include "zqmediadb/zqMediaDBApp.h"
#include "zqmediametadata/zqDbStatus.h"
#include "zqmf/ZQMediaFileReaderJPEG.h"
#include "zqmf/zqExifLoader.h"

namespace {

constexpr size_t kValueSize = 2048;
constexpr size_t kPathSize = 4096;
constexpr size_t kThumbnailPiece = 8192;
constexpr char kDcim[] = "/tmp/fuse_d/DCIM";
constexpr char kJpeg[] = "image/jpeg";
constexpr char kOctetStream[] = "application/octet-stream";
constexpr char kUnknownError[] = "{ \"message\": \"Unknown Error.\" }\n";
constexpr char kExceptionError[] = "{ \"message\": \"Unknown Error (exception thrown).\" }";

// The route's lock, held by the answer until its body is out (shared by its producer).
using MediaLock = std::shared_ptr<ZqLock>;

ZqAnswer Message(int status, const char* format, int value) {
  char body[256];
  snprintf(body, sizeof body, format, value);
  return ZqAnswer::Json(status, body);
}

ZqAnswer UnknownRequest() {
  ZQ_LOG(ZQ_LOG_INFO, "unknown request\n");
  return ZqAnswer::EmptyJson(404);
}

ZqAnswer Caught(const std::exception& e) {
  ZQ_LOG(ZQ_LOG_ERROR, "zqMediaMetadata - Caught exception %s - discarding\n", e.what());
  return ZqAnswer::Json(500, kExceptionError);
}

// Reads a key that may be given once: 0 when acceptable (`*found` tells if it was there),
// else the status to answer.
int Single(const std::string& query, const char* key, size_t limit, std::string* out, bool* found) {
  std::string second;
  const ZqParam r = zq_query_param(query, key, kValueSize - 1, out);
  if (r == ZqParam::kTooLong) return 400;
  *found = r == ZqParam::kFound;
  if (!*found) return 0;
  if (zq_query_param(query, key, kValueSize - 1, &second, 1) != ZqParam::kMissing) {
    return 400;  // given twice
  }
  if (out->empty() || out->size() >= limit) return 400;
  return 0;
}

MetadataAction ActionOf(const std::string& t) {
  if (t == "dur") return MetadataAction::kDuration;
  if (t == "exif") return MetadataAction::kExif;
  if (t == "tracks") return MetadataAction::kTracks;
  if (t == "zqmf") return MetadataAction::kZqmf;
  if (t == "scr") return MetadataAction::kScreennail;
  if (t == "videoinfo") return MetadataAction::kVideoInfo;
  return MetadataAction::kDatabase;
}

// The card's DCIM folder, every client path's tree.
std::string Dcim() { return zq_path(kDcim); }

// Where the client's `name` below DCIM leads: false when it must be refused (a name that
// climbs, or a link that leads off the card). A missing file gives where it would be, to
// be answered as missing.
bool OnCard(const std::string& name, std::string* path) {
  ZqContainedPath p;
  switch (zq_contain_resolve(Dcim(), name, &p)) {
    case ZqContain::kInside:
      *path = p.target;
      return true;
    case ZqContain::kMissing:
      *path = p.entry;
      return true;
    case ZqContain::kOutside:
    case ZqContain::kBadName:
      break;
  }
  return false;
}

bool RegularFile(const std::string& path) {
  struct stat st = {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The clip's ".THM" beside it (`mp4` is the client's name), streamed in 8192-byte reads
// through a direct-I/O reader so the page cache is not filled.
ZqAnswer ThumbnailFile(const std::string& mp4, const MediaLock& lock) {
  std::string thm;
  if (!OnCard(zq_media_thumbnail_of(mp4), &thm) || !RegularFile(thm)) return UnknownRequest();
  auto file = std::make_shared<CachedAlignedOdirectFileIO>(512, 512);
  int64_t size = 0;
  if (file->openRead(thm.c_str()) != kFIOSuccess || file->getFileSize(&size) != kFIOSuccess) {
    return ZqAnswer::Bytes(404, kJpeg, "");
  }
  return ZqAnswer::Sized(200, kJpeg, static_cast<uint64_t>(size), [file, size, lock](ZqSink& out) {
    std::unique_ptr<uint8_t[]> buf(new uint8_t[kThumbnailPiece]);
    int64_t offset = 0;
    while (offset < size) {
      uint64_t got = 0;
      file->read(buf.get(), kThumbnailPiece, &got, offset);
      if (got == 0 || !out.Write(buf.get(), got)) return false;
      offset += static_cast<int64_t>(got);
      if (got < kThumbnailPiece) break;
    }
    return true;
  });
}

// The EXIF data of the photo at `path` (nullptr without), released with the answer built.
struct ExifOf {
  explicit ExifOf(const std::string& path) {
    if (zq_exif_load_file(&loader, path.c_str()) == 0) data = loader.GetData();
  }
  ~ExifOf() {
    if (data != nullptr) exif_data_unref(data);
  }
  ExifOf(const ExifOf&) = delete;
  ExifOf& operator=(const ExifOf&) = delete;
  ZqExifLoader loader{ZqExifLoader::Mode::kData};
  ExifData* data = nullptr;
};

// The EXIF thumbnail of a photo, or the unknown-request answer without one.
ZqAnswer ExifThumbnail(const std::string& path) {
  const ExifOf exif(path);
  if (exif.data == nullptr || exif.data->data == nullptr || exif.data->size == 0) {
    ZQ_LOG(ZQ_LOG_INFO, "No EXIF thumbnail in file %s\n", path.c_str());
    return UnknownRequest();
  }
  return ZqAnswer::Bytes(
      200, kJpeg, std::string(reinterpret_cast<const char*>(exif.data->data), exif.data->size));
}

ZqAnswer ExifJson(const std::string& path) {
  const ExifOf exif(path);
  return ZqAnswer::Json(200, zq_exif_json(exif.data));
}

// Hands the screennail's bytes to a sink after checking the length announced.
class ScreennailSink final : public ZqByteSink {
 public:
  ScreennailSink(ZqSink* out, uint64_t expected) : out_(out), expected_(expected) {}
  void Length(uint64_t n) override {
    length_ = n;
    known_ = true;
  }
  bool Write(const void* bytes, size_t n) override {
    return out_ != nullptr && length_ == expected_ && out_->Write(bytes, n);
  }
  bool known() const { return known_; }
  uint64_t length() const { return length_; }

 private:
  ZqSink* out_;
  uint64_t expected_;
  uint64_t length_ = 0;
  bool known_ = false;
};

// A photo's screennail (an empty body without one). The head needs its length, which the
// loader finds before the first byte: a first pass stops there, the body's pass sends it (a
// HEAD request never reads it).
ZqAnswer Screennail(const std::string& path, const MediaLock& lock) {
  ScreennailSink probe(nullptr, 0);
  ZqExifLoader first(ZqExifLoader::Mode::kScreennail);
  if (zq_exif_stream_screennail(&first, path.c_str(), &probe) == -1 || !probe.known()) {
    return UnknownRequest();
  }
  const uint64_t length = probe.length();
  return ZqAnswer::Sized(200, kJpeg, length, [path, length, lock](ZqSink& out) {
    ScreennailSink sink(&out, length);
    ZqExifLoader loader(ZqExifLoader::Mode::kScreennail);
    return zq_exif_stream_screennail(&loader, path.c_str(), &sink) == static_cast<int64_t>(length);
  });
}

// Streams the reduced MP4 in chunks as it is built. The head waits for the first bytes: the
// extraction checks everything it can (the movie, the tracks, every sample inside the file)
// before writing, so a refusal still gets an error answer. A failure after the head ends the
// connection without the last chunk, so the client sees a truncated transfer rather than a
// complete but short file. The page cache is dropped after the extraction.
ZqAnswer StreamTracks(std::shared_ptr<FileIO> input, const std::string& path, uint32_t tracks,
                      const MediaLock& lock) {
  auto result = std::make_shared<uint32_t>(0);
  auto produce = [input, path, tracks, result, lock](ZqSink& sink) {
    ZQSinkFileIO output(&sink);
    try {
      *result = QuickTime64FileUtilities::ExtractTracks(input.get(), &output, tracks, nullptr);
    } catch (const std::exception& e) {
      ZQ_LOG(ZQ_LOG_ERROR, "zqMediaMetadata - Caught exception %s - discarding\n", e.what());
      *result = kFIOFailure;
    }
    if (*result != 0) {
      ZQ_LOG(ZQ_LOG_ERROR, "ExtractTracks of %s (tracks=%u) failed with 0x%x\n", path.c_str(),
             tracks, *result);
    }
    zqmediametadata_drop_caches();
    return *result == 0;
  };
  return ZqAnswer::Chunked(200, kOctetStream, std::move(produce)).InsteadOfNothing([result] {
    return Message(500, "{ \"message\": \"Track extraction failed with %d\" }",
                   static_cast<int>(*result));
  });
}

// The reduced copy of the clip at `path` (a camera path) with the `tracks` bits.
ZqAnswer ExtractTracks(const std::string& path, int tracks, const MediaLock& lock) {
  if ((tracks & ~7) != 0) ZQ_LOG(ZQ_LOG_INFO, "Ignored extraneous tracks (tracks=%d)\n", tracks);
  tracks &= 7;
  if (!RegularFile(path)) return ZqAnswer::Json(404, kUnknownError);
  std::shared_ptr<FileIO> input;
  if (g_extendedMemory == 1) {
    ZQ_LOG(ZQ_LOG_DEBUG, "Using extended memory file IO\n");
    input = std::make_shared<FileIO>();
  } else {
    ZQ_LOG(ZQ_LOG_DEBUG, "Using low memory file IO\n");
    input = std::make_shared<CachedAlignedOdirectFileIO>(512, 512);
  }
  QuickTimeReader<SyncFileReader> reader;
  uint32_t r = input->openRead(path.c_str()) == kFIOSuccess ? reader.Attach(input.get())
                                                            : kQTReaderOpenFailed;
  if (r == 0) r = reader.Parse(false);
  if (r != 0) {
    return Message(500, "{ \"message\": \"Proprietary QT file reader open failed with %d\" }",
                   static_cast<int>(r));
  }
  if (tracks == 0) return ZqAnswer::EmptyJson(400);
  return StreamTracks(std::move(input), path, static_cast<uint32_t>(tracks), lock);
}

ZqAnswer ZqmfOfMp4(const std::string& path) {
  if (!RegularFile(path)) return ZqAnswer::Json(404, kUnknownError);
  QuickTimeReader<SyncFileReader> reader;
  const uint32_t r = reader.Open(path.c_str(), false);
  if (r != 0) {
    return Message(500, "{ \"message\": \"Proprietary QT file reader open failed with %d\" }",
                   static_cast<int>(r));
  }
  const auto* udta = reader.GetMovie().GetUserData();
  const auto* zqmf = udta != nullptr ? udta->GetZQMF() : nullptr;
  if (zqmf == nullptr) return ZqAnswer::Json(404, kUnknownError);
  const std::vector<uint8_t>& payload = zqmf->Payload();
  return ZqAnswer::Bytes(200, kOctetStream, std::string(payload.begin(), payload.end()));
}

ZqAnswer ZqmfOfJpeg(const std::string& path) {
  if (!RegularFile(path)) return ZqAnswer::Json(404, kUnknownError);
  ZQMediaFileReaderJPEG reader;
  int32_t r = reader.Open(path.c_str());
  if (r != 0) {
    return Message(500, "{ \"message\": \"Proprietary QT file reader open failed with %d\" }", r);
  }
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  r = reader.GetCameraZQMF(&data, &size);
  if (r != 0) {
    return Message(500, "{ \"message\": \"Proprietary get ZQMF failed with error %d\" }", r);
  }
  return ZqAnswer::Bytes(200, kOctetStream, std::string(reinterpret_cast<const char*>(data), size));
}

ZqAnswer Answer(const std::string& query, const MetadataQuery& q, const MediaLock& lock);

// The answer, with what the MP4 and JPEG readers throw answered 500.
ZqAnswer Dispatch(const std::string& query, const MetadataQuery& q, const MediaLock& lock) {
  try {
    return Answer(query, q, lock);
  } catch (const std::exception& e) {
    return Caught(e);
  }
}

ZqAnswer Answer(const std::string& query, const MetadataQuery& q, const MediaLock& lock) {
  if (q.action == MetadataAction::kDatabase) return generateMetadata(query.c_str());
  std::string path;
  if (!OnCard(q.path, &path)) return ZqAnswer::EmptyJson(400);
  const std::string& name = q.path;
  const bool clip = zq_media_has_suffix(name, ".MP4") || zq_media_has_suffix(name, ".360");
  if (clip || zq_media_has_suffix(name, ".LRV")) {
    switch (q.action) {
      case MetadataAction::kTracks: {
        ZqAnswer a = ExtractTracks(path, q.tracks, lock);
        // A stream drops the cache after its extraction; every other answer now.
        if (a.body_kind() != ZqBody::kChunked) zqmediametadata_drop_caches();
        return a;
      }
      case MetadataAction::kZqmf:
        return ZqmfOfMp4(path);
      case MetadataAction::kVideoInfo:
      case MetadataAction::kDuration:
        if (clip) return generateMetadata(query.c_str());
        break;
      default:
        if (clip) return ThumbnailFile(q.path, lock);
        break;
    }
  } else if (zq_media_has_suffix(name, ".JPG") || zq_media_has_suffix(name, ".JPEG")) {
    if (q.action == MetadataAction::kZqmf) return ZqmfOfJpeg(path);
    if (q.action == MetadataAction::kTracks) return ZqAnswer::EmptyJson(400);
    if (RegularFile(path)) {
      if (q.action == MetadataAction::kScreennail) return Screennail(path, lock);
      if (q.action == MetadataAction::kExif) return ExifJson(path);
      return ExifThumbnail(path);
    }
  }
  return UnknownRequest();
}

}  // namespace

int zqmediametadata_track_bits(std::string names) {
  if (names.size() >= 2 && names.front() == '"' && names.back() == '"') {
    names = names.substr(1, names.size() - 2);
  }
  int bits = 0;
  size_t start = 0;
  while (start <= names.size()) {
    size_t end = names.find(',', start);
    if (end == std::string::npos) end = names.size();
    const std::string one = names.substr(start, end - start);
    if (one == "video") {
      bits |= kMetadataTrackVideo;
    } else if (one == "audio") {
      bits |= kMetadataTrackAudio;
    } else if (one == "telemetry") {
      bits |= kMetadataTrackTelemetry;
    } else {
      ZQ_LOG(ZQ_LOG_INFO, "Track '%s' not recognized\n", one.c_str());
    }
    start = end + 1;
  }
  return bits;
}

int zqmediametadata_parse_query(const std::string& query, MetadataQuery* out) {
  bool found = false;
  std::string t;
  if (const int s = Single(query, "t", kValueSize, &t, &found)) return s;
  out->type = t;
  out->action = found ? ActionOf(t) : MetadataAction::kThumbnail;

  std::string p;
  if (const int s = Single(query, "p", kPathSize, &p, &found)) return s;
  if (!found && out->action != MetadataAction::kDatabase) return 400;
  if (found && !zq_contain_name_ok(p)) {
    // The containment rule refuses ".." wherever it stands; the log says when that was why.
    if (p.find("..") != std::string::npos) {
      ZQ_LOG(ZQ_LOG_ERROR, "Field '%s' has .. in pathname\n", "p");
    }
    return 400;
  }
  out->path = p;

  std::string names;
  const int status = Single(query, "trackNames", kValueSize, &names, &found);
  if (out->action == MetadataAction::kTracks) {
    if (status != 0 || !found) return 400;
  }
  out->tracks = found && status == 0 ? zqmediametadata_track_bits(names) : 0;
  return 0;
}

ZqAnswer generateMetadata(const char* query) {
  const DbMetadataAnswer a = zqdb_metadata(query);
  const int status = zq_db_http_status(a.result);
  if (a.result != DbResult::kOk) return ZqAnswer::Json(status, "").Reason("");
  return ZqAnswer::Json(status, a.body + "\r\n").Reason("");
}

void zqmediametadata_drop_caches() {
  if (zq_drop_page_cache() != 0) ZQ_LOG(ZQ_LOG_WARN, "dropping the page cache failed\n");
}

ZqAnswer zqMediaMetadata(ZqRequest& request) { return zqmediametadata_answer(request, ""); }

ZqAnswer zqmediametadata_answer(ZqRequest& request, std::string_view extra) {
  try {
    if (!request.HasQuery()) return ZqAnswer::EmptyJson(404);
    std::string query(request.Query());
    if (!extra.empty()) {
      if (extra[0] != '&' && !query.empty()) query += '&';
      query += extra;
    }
    MetadataQuery q;
    if (const int status = zqmediametadata_parse_query(query, &q)) {
      return ZqAnswer::EmptyJson(status);
    }
    auto lock = std::make_shared<ZqLock>(g_mediaMetadataMutex);
    return Dispatch(query, q, lock);
  } catch (const std::exception& e) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqMediaMetadata - Caught exception %s - discarding\n", e.what());
    return ZqAnswer::EmptyJson(500);
  }
}
