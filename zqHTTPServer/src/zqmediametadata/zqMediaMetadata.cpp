#include "zqmediametadata/zqMediaMetadata.h"

#include <civetweb.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>

#include "http/zqConnection.h"
#include "http/zqResponse.h"
#include "quicktime64/CachedAlignedOdirectFileIO.h"
#include "quicktime64/QuickTime64FileUtilities.h"
#include "quicktime64/QuickTimeReader.h"
#include "quicktime64/SyncFileReader.h"
#include "quicktime64/ZQMGConnFileIO.h"
#include "server/zqClients.h"
#include "server/zqFileSender.h"
#include "server/zqMediaMutex.h"
#include "server/zqStartup.h"
#include "zqcommon/zqContainment.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqMediaNames.h"
#include "zqcommon/zqPaths.h"
#include "zqmediadb/zqMediaDBApp.h"
#include "zqmf/ZQMediaFileReaderJPEG.h"
#include "zqmf/zqExifLoader.h"

namespace {

constexpr size_t kValueSize = 2048;
constexpr size_t kPathSize = 4096;
constexpr size_t kThumbnailPiece = 8192;
constexpr char kDcim[] = "/tmp/fuse_d/DCIM";
constexpr char kUnknownError[] = "{ \"message\": \"Unknown Error.\" }\n";
constexpr char kExceptionError[] = "{ \"message\": \"Unknown Error (exception thrown).\" }";

// A whole answer with a JSON or binary body and its length.
void Answer(mg_connection* conn, const char* status, const char* type, std::string_view body) {
  http_response_header(conn, status, type);
  http_response_set_content_length(conn, static_cast<int>(body.size()));
  if (!body.empty()) zq_conn_write(conn, body.data(), body.size());
}

void AnswerMessage(mg_connection* conn, const char* status, const char* format, int value) {
  char body[256];
  snprintf(body, sizeof body, format, value);
  Answer(conn, status, kMimeJson, body);
}

// One query value: 1 found (in `out`), 0 absent, -1 too long or undecodable.
int Value(const std::string& query, const char* key, int occurrence, std::string* out) {
  char buf[kValueSize];
  const int n = mg_get_var2(query.data(), query.size(), key, buf, sizeof buf,
                            static_cast<size_t>(occurrence));
  if (n == -1) return 0;
  if (n < 0) return -1;
  out->assign(buf, static_cast<size_t>(n));
  return 1;
}

// Reads a key that may be given once: nullptr when acceptable (`*found` tells if it was
// there), else the status to answer.
const char* Single(const std::string& query, const char* key, size_t limit, std::string* out,
                   bool* found) {
  std::string second;
  const int r = Value(query, key, 0, out);
  if (r < 0) return kHttp400;
  *found = r == 1;
  if (!*found) return nullptr;
  if (Value(query, key, 1, &second) != 0) return kHttp400;  // given twice
  if (out->empty() || out->size() >= limit) return kHttp400;
  return nullptr;
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
void SendThumbnailFile(mg_connection* conn, const std::string& mp4) {
  std::string thm;
  if (!OnCard(zq_media_thumbnail_of(mp4), &thm) || !RegularFile(thm)) {
    ZQ_LOG(ZQ_LOG_INFO, "unknown request\n");
    http_response_unknown_request(conn);
    return;
  }
  CachedAlignedOdirectFileIO file(512, 512);
  int64_t size = 0;
  if (file.openRead(thm.c_str()) != kFIOSuccess || file.getFileSize(&size) != kFIOSuccess) {
    Answer(conn, kHttp404, kMimeJpeg, "");
    return;
  }
  http_response_header(conn, kHttp200, kMimeJpeg);
  http_response_set_content_length(conn, static_cast<int>(size));
  if (zq_conn_head_only(conn)) return;
  std::unique_ptr<uint8_t[]> buf(new uint8_t[kThumbnailPiece]);
  int64_t offset = 0;
  for (;;) {
    uint64_t got = 0;
    if (offset >= size) break;
    file.read(buf.get(), kThumbnailPiece, &got, offset);
    if (got == 0 || zq_conn_write(conn, buf.get(), got) <= 0) break;
    offset += static_cast<int64_t>(got);
    if (got < kThumbnailPiece) break;
  }
}

// The EXIF thumbnail of a photo, or the unknown-request answer without one.
void SendExifThumbnail(mg_connection* conn, const std::string& path) {
  ZqExifLoader loader(ZqExifLoader::Mode::kData);
  ExifData* data = nullptr;
  if (zq_exif_loader_write_file(conn, &loader, path.c_str()) == 0) data = loader.GetData();
  if (data != nullptr && data->data != nullptr && data->size != 0) {
    Answer(conn, kHttp200, kMimeJpeg,
           std::string_view(reinterpret_cast<const char*>(data->data), data->size));
  } else {
    ZQ_LOG(ZQ_LOG_INFO, "No EXIF thumbnail in file %s\n", path.c_str());
    http_response_unknown_request(conn);
  }
  if (data != nullptr) exif_data_unref(data);
}

void SendExifJson(mg_connection* conn, const std::string& path) {
  ZqExifLoader loader(ZqExifLoader::Mode::kData);
  ExifData* data = nullptr;
  if (zq_exif_loader_write_file(conn, &loader, path.c_str()) == 0) data = loader.GetData();
  const std::string json = zq_exif_json(data);
  if (data != nullptr) exif_data_unref(data);
  Answer(conn, kHttp200, kMimeJson, json);
}

// Writes into the connection; a failed write stops the stream.
class ConnectionSink final : public ZqByteSink {
 public:
  explicit ConnectionSink(mg_connection* conn) : conn_(conn) {}
  void Length(uint64_t n) override { http_response_set_content_length(conn_, static_cast<int>(n)); }
  // A HEAD answer ends with the length: stopping there spares reading the screennail.
  bool Write(const void* bytes, size_t n) override {
    if (zq_conn_head_only(conn_)) return false;
    return n == 0 || zq_conn_write(conn_, bytes, n) == static_cast<int>(n);
  }

 private:
  mg_connection* conn_;
};

void Dispatch(mg_connection* conn, const std::string& query, const MetadataQuery& q) {
  if (q.action == MetadataAction::kDatabase) {
    generateMetadata(conn, query.c_str());
    return;
  }
  std::string path;
  if (!OnCard(q.path, &path)) {
    http_response_bad_request(conn);
    return;
  }
  const std::string& name = q.path;
  if (zq_media_has_suffix(name, ".MP4") || zq_media_has_suffix(name, ".360")) {
    switch (q.action) {
      case MetadataAction::kVideoInfo:
      case MetadataAction::kDuration:
        generateMetadata(conn, query.c_str());
        return;
      case MetadataAction::kTracks:
        zqmediametadata_extract_tracks(conn, path.c_str(), q.tracks);
        return;
      case MetadataAction::kZqmf:
        zqmediametadata_extract_zqmf_from_mp4(conn, path.c_str());
        return;
      default:
        SendThumbnailFile(conn, q.path);
        return;
    }
  }
  if (zq_media_has_suffix(name, ".LRV")) {
    if (q.action == MetadataAction::kTracks) {
      zqmediametadata_extract_tracks(conn, path.c_str(), q.tracks);
      return;
    }
    if (q.action == MetadataAction::kZqmf) {
      zqmediametadata_extract_zqmf_from_mp4(conn, path.c_str());
      return;
    }
  } else if (zq_media_has_suffix(name, ".JPG") || zq_media_has_suffix(name, ".JPEG")) {
    if (q.action == MetadataAction::kZqmf) {
      zqmediametadata_extract_zqmf_from_jpeg(conn, path.c_str());
      return;
    }
    if (q.action == MetadataAction::kTracks) {
      http_response_bad_request(conn);
      return;
    }
    if (RegularFile(path)) {
      if (q.action == MetadataAction::kScreennail) {
        ZqExifLoader loader(ZqExifLoader::Mode::kScreennail);
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
          close(fd);
          http_response_header(conn, kHttp200, kMimeJpeg);
          exif_screennail_loader_write_file(conn, &loader, path.c_str(), 1);
          return;
        }
      } else if (q.action == MetadataAction::kExif) {
        SendExifJson(conn, path);
        return;
      } else {
        SendExifThumbnail(conn, path);
        return;
      }
    }
  }
  ZQ_LOG(ZQ_LOG_INFO, "unknown request\n");
  http_response_unknown_request(conn);
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

const char* zqmediametadata_parse_query(const std::string& query, MetadataQuery* out) {
  bool found = false;
  std::string t;
  if (const char* s = Single(query, "t", kValueSize, &t, &found)) return s;
  out->type = t;
  out->action = found ? ActionOf(t) : MetadataAction::kThumbnail;

  std::string p;
  if (const char* s = Single(query, "p", kPathSize, &p, &found)) return s;
  if (!found && out->action != MetadataAction::kDatabase) return kHttp400;
  if (found && !zq_contain_name_ok(p)) {
    // The containment rule refuses ".." wherever it stands; the log says when that was why.
    if (p.find("..") != std::string::npos) {
      ZQ_LOG(ZQ_LOG_ERROR, "Field '%s' has .. in pathname\n", "p");
    }
    return kHttp400;
  }
  out->path = p;

  std::string names;
  const char* status = Single(query, "trackNames", kValueSize, &names, &found);
  if (out->action == MetadataAction::kTracks) {
    if (status != nullptr || !found) return kHttp400;
  }
  out->tracks = found && status == nullptr ? zqmediametadata_track_bits(names) : 0;
  return nullptr;
}

void generateMetadata(mg_connection* conn, const char* query) {
  DbMetadataAnswer a = zqdb_metadata(query);
  if (a.status != 200) {
    zq_conn_printf(conn,
                   "HTTP/1.1 %d \r\nContent-Type: application/json\r\nContent-Length: 0\r\n\r\n",
                   a.status);
    return;
  }
  a.body += "\r\n";
  zq_conn_printf(conn,
                 "HTTP/1.1 %d \r\nContent-Type: application/json\r\nContent-Length: %zu\r\n\r\n",
                 a.status, a.body.size());
  zq_conn_write(conn, a.body.data(), a.body.size());
}

void zqmediametadata_drop_caches() {
  if (zq_drop_page_cache() != 0) ZQ_LOG(ZQ_LOG_WARN, "dropping the page cache failed\n");
}

namespace {

// Streams the reduced MP4 in chunks as it is built. The head goes out with the first bytes:
// the extraction checks everything it can (the movie, the tracks, every sample inside the
// file) before writing, so a refusal still gets an error answer. A failure after the head
// closes the connection without the last chunk, so the client sees a truncated transfer
// rather than a complete but short file.
void StreamTracks(mg_connection* conn, FileIO* input, const char* path, uint32_t tracks) {
  ZQMGConnFileIO output(conn, ZQMGConnFileIO::kStartOnFirstWrite);
  const uint32_t r = QuickTime64FileUtilities::ExtractTracks(input, &output, tracks, nullptr);
  if (r == 0) return;
  ZQ_LOG(ZQ_LOG_ERROR, "ExtractTracks of %s (tracks=%u) failed with 0x%x\n", path, tracks, r);
  if (!output.headSent()) {
    AnswerMessage(conn, kHttp500, "{ \"message\": \"Track extraction failed with %d\" }",
                  static_cast<int>(r));
    return;
  }
  output.Abandon();
  zq_conn_abort(conn);
}

}  // namespace

void zqmediametadata_extract_tracks(mg_connection* conn, const char* path, int tracks) {
  if ((tracks & ~7) != 0) ZQ_LOG(ZQ_LOG_INFO, "Ignored extraneous tracks (tracks=%d)\n", tracks);
  tracks &= 7;
  try {
    if (!RegularFile(path)) {
      Answer(conn, kHttp404, kMimeJson, kUnknownError);
    } else {
      std::unique_ptr<FileIO> input;
      if (g_extendedMemory == 1) {
        ZQ_LOG(ZQ_LOG_DEBUG, "Using extended memory file IO\n");
        input = std::make_unique<FileIO>();
      } else {
        ZQ_LOG(ZQ_LOG_DEBUG, "Using low memory file IO\n");
        input = std::make_unique<CachedAlignedOdirectFileIO>(512, 512);
      }
      QuickTimeReader<SyncFileReader> reader;
      uint32_t r =
          input->openRead(path) == kFIOSuccess ? reader.Attach(input.get()) : kQTReaderOpenFailed;
      if (r == 0) r = reader.Parse(false);
      if (r != 0) {
        AnswerMessage(conn, kHttp500,
                      "{ \"message\": \"Proprietary QT file reader open failed with %d\" }",
                      static_cast<int>(r));
      } else if (tracks == 0) {
        http_response_empty_json(conn, kHttp400);
      } else if (zq_conn_head_only(conn)) {
        // The head of the stream is known once the clip and the tracks are: HEAD gets it
        // without the extraction (nor the cache drop that follows one).
        http_start_chunked_stream(conn);
        return;
      } else {
        StreamTracks(conn, input.get(), path, static_cast<uint32_t>(tracks));
      }
    }
  } catch (const std::exception& e) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqMediaMetadata - Caught exception %s - discarding\n", e.what());
    Answer(conn, kHttp500, kMimeJson, kExceptionError);
  }
  zqmediametadata_drop_caches();
}

void zqmediametadata_extract_zqmf_from_mp4(mg_connection* conn, const char* path) {
  try {
    if (!RegularFile(path)) {
      Answer(conn, kHttp404, kMimeJson, kUnknownError);
      return;
    }
    QuickTimeReader<SyncFileReader> reader;
    const uint32_t r = reader.Open(path, false);
    if (r != 0) {
      AnswerMessage(conn, kHttp500,
                    "{ \"message\": \"Proprietary QT file reader open failed with %d\" }",
                    static_cast<int>(r));
      return;
    }
    const auto* udta = reader.GetMovie().GetUserData();
    const auto* zqmf = udta != nullptr ? udta->GetZQMF() : nullptr;
    if (zqmf == nullptr) {
      Answer(conn, kHttp404, kMimeJson, kUnknownError);
      return;
    }
    const std::vector<uint8_t>& payload = zqmf->Payload();
    Answer(conn, kHttp200, kMimeOctetStream,
           std::string_view(reinterpret_cast<const char*>(payload.data()), payload.size()));
  } catch (const std::exception& e) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqMediaMetadata - Caught exception %s - discarding\n", e.what());
    Answer(conn, kHttp500, kMimeJson, kExceptionError);
  }
}

void zqmediametadata_extract_zqmf_from_jpeg(mg_connection* conn, const char* path) {
  try {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      Answer(conn, kHttp404, kMimeJson, kUnknownError);
      return;
    }
    close(fd);
    ZQMediaFileReaderJPEG reader;
    int32_t r = reader.Open(path);
    if (r != 0) {
      AnswerMessage(conn, kHttp500,
                    "{ \"message\": \"Proprietary QT file reader open failed with %d\" }", r);
      return;
    }
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    r = reader.GetCameraZQMF(&data, &size);
    if (r != 0) {
      AnswerMessage(conn, kHttp500,
                    "{ \"message\": \"Proprietary get ZQMF failed with error %d\" }", r);
      return;
    }
    Answer(conn, kHttp200, kMimeOctetStream,
           std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception& e) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqMediaMetadata - Caught exception %s - discarding\n", e.what());
    Answer(conn, kHttp500, kMimeJson, kExceptionError);
  }
}

int exif_screennail_loader_write_file(mg_connection* conn, ZqExifLoader* loader, const char* path,
                                      int mode) {
  if (mode != 1 || loader == nullptr) return -1;
  ConnectionSink sink(conn);
  const int64_t sent = zq_exif_stream_screennail(loader, path, &sink);
  return sent < 0 ? -1 : 0;
}

int zq_exif_loader_write_file(mg_connection*, ZqExifLoader* loader, const char* path) {
  return zq_exif_load_file(loader, path);
}

int zqMediaMetadataHandler(mg_connection* conn, void*) { return zqmediametadata_serve(conn, ""); }

int zqmediametadata_serve(mg_connection* conn, const std::string& extra) {
  try {
    const char* raw = mg_get_request_info(conn)->query_string;
    if (raw == nullptr) {
      http_response_unknown_request(conn);
      return 1;
    }
    std::string query = raw;
    if (!extra.empty()) {
      if (extra[0] != '&' && !query.empty()) query += '&';
      query += extra;
    }
    MetadataQuery q;
    if (const char* status = zqmediametadata_parse_query(query, &q)) {
      http_response_empty_json(conn, status);
      return 1;
    }
    std::lock_guard<std::mutex> lock(zqMediaMetadata_mutex);
    Dispatch(conn, query, q);
  } catch (const std::exception& e) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqMediaMetadata - Caught exception %s - discarding\n", e.what());
    http_response_empty_json(conn, kHttp500);
  }
  return 1;
}
