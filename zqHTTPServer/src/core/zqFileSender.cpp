#include "core/zqFileSender.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "core/zqBusy.h"
#include "core/zqHttpRange.h"
#include "core/zqLocks.h"
#include "http/zqResponse.h"
#include "zqcommon/zqContainment.h"
#include "zqcommon/zqHtml.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqMutex.h"
#include "zqcommon/zqUniqueFd.h"

namespace {

// O_DIRECT wants block-aligned buffers, offsets and lengths; 4 KiB satisfies 512-byte and
// 4 KiB devices alike, and kZqFileChunk is a multiple of it.
constexpr size_t kAlign = 4096;
static_assert(kZqFileChunk % kAlign == 0);

struct AlignedFree {
  void operator()(void* p) const { free(p); }
};
using AlignedBuffer = std::unique_ptr<char, AlignedFree>;

AlignedBuffer NewChunkBuffer() {
  void* p = nullptr;
  if (posix_memalign(&p, kAlign, kZqFileChunk) != 0) return AlignedBuffer();
  return AlignedBuffer(static_cast<char*>(p));
}

std::vector<std::string> Split(std::string_view text, char sep) {
  std::vector<std::string> out;
  while (!text.empty()) {
    size_t at = text.find(sep);
    std::string_view part = text.substr(0, at);
    if (!part.empty()) out.emplace_back(part);
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + 1);
  }
  return out;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  if (suffix.size() > s.size()) return false;
  return strncasecmp(s.data() + s.size() - suffix.size(), suffix.data(), suffix.size()) == 0;
}

std::string MimeType(const ZqFileConfig& c, const std::string& path) {
  for (const auto& [ext, type] : c.extra_mime) {
    if (EndsWithNoCase(path, ext)) return type;
  }
  return zq_mime_type(path.c_str());
}

// A name (one path component) is hidden when it ends in a suffix of the hide option, in any
// case. The daemon's option lists them as "*" + suffix, several separated by "|" ("*.thm"
// hides "ZQ010001.THM" but not "x.thm.bak"); other forms hide nothing.
bool Hidden(const ZqFileConfig& c, std::string_view name) {
  std::string_view rest = c.hide;
  while (!rest.empty()) {
    const size_t bar = rest.find('|');
    const std::string_view alt = rest.substr(0, bar);
    rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    if (alt.size() > 1 && alt[0] == '*' && EndsWithNoCase(name, alt.substr(1))) return true;
  }
  return false;
}

// The value of the answer's "Connection" header: what the server does after it.
const char* ConnectionValue(const ZqRequest& request) {
  return request.KeepAlive() ? "keep-alive" : "close";
}

// The server's error page, kept alive as the server would keep the connection.
ZqAnswer Error(const ZqRequest& request, int status, const char* text) {
  return zq_error_page(status, text, request.KeepAlive());
}

// A fixed answer whose head the sender writes in the order clients know: `headers` as they
// come, "Content-Length" among them (none for a 304, which has no body).
ZqAnswer Fixed(int status, std::vector<ZqHeader> headers, std::string body = {}) {
  ZqAnswer answer = ZqAnswer::Bytes(status, "", std::move(body));
  for (ZqHeader& h : headers) answer.Header(std::move(h.name), std::move(h.value));
  return answer;
}

// Where the chunks of a range come from: the aligned offset and length of each read, and which
// of the bytes read belong to the range. Both threads of a transfer follow the same plan.
class ChunkPlan {
 public:
  ChunkPlan(int64_t first, int64_t last)
      : end_(last + 1),
        offset_(first - first % static_cast<int64_t>(kAlign)),
        skip_(first - offset_),
        remaining_(last - first + 1) {}

  bool Done() const { return remaining_ <= 0; }
  bool OneRead() const { return skip_ + remaining_ <= static_cast<int64_t>(kZqFileChunk); }
  int64_t Position() const { return end_ - remaining_; }  // the first byte not yet taken
  int64_t Offset() const { return offset_; }
  int64_t Skip() const { return skip_; }

  // The length of the next read: what is left of the range from the aligned offset, rounded
  // up to the block, at most one chunk.
  size_t Want() const {
    const int64_t align = static_cast<int64_t>(kAlign);
    const int64_t wanted = (skip_ + remaining_ + align - 1) / align * align;
    return static_cast<size_t>(std::min<int64_t>(wanted, kZqFileChunk));
  }

  // The bytes of a read of `n` (n > skip) that belong to the range.
  int64_t Useful(long n) const { return std::min<int64_t>(n - skip_, remaining_); }

  // Moves past a whole read of `n` bytes.
  void Advance(long n) {
    remaining_ -= Useful(n);
    offset_ += n;
    skip_ = 0;
  }

 private:
  int64_t end_;        // just past the range
  int64_t offset_;     // where the next read starts
  int64_t skip_;       // bytes at its start that come before the range
  int64_t remaining_;  // bytes of the range not yet read
};

// One chunk buffer and what was read into it.
struct Chunk {
  AlignedBuffer buf;
  size_t want = 0;  // the read's length
  long got = 0;     // what it returned
};

// Sends a chunk that was read: the outcome when the transfer ends with it, else kDone to go on.
ZqTransfer SendChunk(const ZqChunkIo& io, ChunkPlan& plan, const Chunk& c) {
  if (c.got <= plan.Skip()) return ZqTransfer::kReadFailed;  // failed, or the file ended
  const int64_t useful = plan.Useful(c.got);
  if (!io.write(c.buf.get() + plan.Skip(), static_cast<size_t>(useful))) {
    return ZqTransfer::kWriteFailed;
  }
  plan.Advance(c.got);
  io.sent(plan.Position());
  if (!plan.Done() && static_cast<size_t>(c.got) < c.want) return ZqTransfer::kReadFailed;
  return ZqTransfer::kDone;
}

// The whole range in one read, on the calling thread.
ZqTransfer TransferOne(const ZqChunkIo& io, int64_t first, int64_t last) {
  if (io.busy()) return ZqTransfer::kBusy;
  ChunkPlan plan(first, last);
  Chunk c;
  c.buf = NewChunkBuffer();
  if (!c.buf) return ZqTransfer::kNoMemory;
  c.want = plan.Want();
  c.got = io.read(c.buf.get(), c.want, plan.Offset());
  return SendChunk(io, plan, c);
}

// Two chunk buffers passed between the reader thread and the writer (the transfer's caller)
// in turn: the reader fills chunk i while the writer sends chunk 1 - i.
class ReadAhead {
 public:
  ReadAhead(const ZqChunkIo& io, int64_t first, int64_t last)
      : io_(io), first_(first), last_(last) {}

  ~ReadAhead() {
    {
      ZqLock lock(mu_);
      stop_ = true;
    }
    handed_.NotifyAll();
    if (reader_.joinable()) reader_.join();
  }

  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  ZqTransfer Run() {
    for (Chunk& c : chunks_) {
      c.buf = NewChunkBuffer();
      if (!c.buf) return ZqTransfer::kNoMemory;
    }
    // The first chunk's busy test comes before it is read: a busy camera's card is not read.
    if (io_.busy()) return ZqTransfer::kBusy;
    if (!StartReader()) return ReadInline();
    ChunkPlan plan(first_, last_);
    for (int i = 0; !plan.Done(); i ^= 1) {
      Chunk& c = chunks_[i];
      {
        ZqLock lock(mu_);
        while (!full_[i]) handed_.Wait(mu_);
      }
      // The reader does not touch a full chunk: it is the writer's until handed back.
      const ZqTransfer end = SendChunk(io_, plan, c);
      if (end != ZqTransfer::kDone) return end;  // the destructor stops the reader
      // The next chunk's busy test, before this buffer goes back to the reader: once the
      // camera is busy, no read starts beyond the one already under way.
      if (!plan.Done() && io_.busy()) return ZqTransfer::kBusy;
      {
        ZqLock lock(mu_);
        full_[i] = false;
      }
      handed_.NotifyAll();
    }
    return ZqTransfer::kDone;
  }

 private:
  bool StartReader() {
    try {
      reader_ = std::thread([this] { Read(); });
    } catch (const std::system_error&) {
      return false;  // no thread to be had: read and send in turn
    }
    return true;
  }

  // Fills the chunks in turn until the range is read, a read comes up short or fails, or the
  // writer stops.
  void Read() {
    ChunkPlan plan(first_, last_);
    for (int i = 0; !plan.Done(); i ^= 1) {
      Chunk& c = chunks_[i];
      {
        ZqLock lock(mu_);
        while (!stop_ && full_[i]) handed_.Wait(mu_);
        if (stop_) return;
      }
      // The writer does not touch an empty chunk: it is the reader's until handed over.
      c.want = plan.Want();
      c.got = io_.read(c.buf.get(), c.want, plan.Offset());
      {
        ZqLock lock(mu_);
        full_[i] = true;
      }
      handed_.NotifyAll();
      if (c.got <= plan.Skip() || static_cast<size_t>(c.got) < c.want) return;
      plan.Advance(c.got);
    }
  }

  // Without a reader thread: one buffer, reads and writes in turn.
  ZqTransfer ReadInline() {
    ChunkPlan plan(first_, last_);
    Chunk& c = chunks_[0];
    while (!plan.Done()) {
      c.want = plan.Want();
      if (plan.Position() != first_ && io_.busy()) return ZqTransfer::kBusy;
      c.got = io_.read(c.buf.get(), c.want, plan.Offset());
      const ZqTransfer end = SendChunk(io_, plan, c);
      if (end != ZqTransfer::kDone) return end;
    }
    return ZqTransfer::kDone;
  }

  const ZqChunkIo& io_;
  const int64_t first_;
  const int64_t last_;
  ZqMutex mu_;
  ZqCondVar handed_;  // a chunk changed hands, or stop_ was set
  Chunk chunks_[2];   // chunks_[i] belongs to the reader while !full_[i], else to the writer
  bool full_[2] GUARDED_BY(mu_) = {false, false};  // chunk i read, not yet sent
  bool stop_ GUARDED_BY(mu_) = false;              // the writer is done
  std::thread reader_;
};

// An open file's body: the bytes [first, last] of it, read and sent by the transfer with the
// progress lines. Shared by the answer's producer, so the file stays open until the answer
// is gone.
struct FileBody {
  UniqueFd fd;
  bool direct = true;  // opened with O_DIRECT
  std::string path;
  std::string uri;  // as the progress lines name it
  int64_t size = 0;
  int64_t first = 0;
  int64_t last = 0;

  // False when the transfer had to be cut (busy camera, read or write failure).
  bool Send(ZqSink& sink) {
    const int64_t span = size - first;
    int last_percent = -1;
    ZqChunkIo io;
    io.read = [this](char* buf, size_t n, int64_t offset) -> long {
      // The card is read by one download at a time; the client gets its chunk after the lock
      // is released, so a slow or stalled client holds up nobody but itself.
      ZqLock lock(g_cardReadMutex);
      ssize_t got = pread(fd.get(), buf, n, offset);
      if (got < 0 && errno == EINVAL && direct) {
        // The filesystem accepted O_DIRECT at open but not this read: go on buffered.
        fd.reset(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        direct = false;
        got = fd.valid() ? pread(fd.get(), buf, n, offset) : -1;
      }
      return got;
    };
    io.write = [&sink](const char* bytes, size_t n) { return sink.Write(bytes, n); };
    io.busy = [] { return should_stop_download(); };
    io.sent = [&](int64_t pos) {
      const int64_t remaining = last + 1 - pos;  // still to send
      const int percent = span == 0 ? 100 : static_cast<int>(100 * (span - remaining) / span);
      if (percent == last_percent) return;
      printf("\nUploading %s: %i%%, %" PRId64 "/%" PRIu64 " bytes, start offset:%" PRId64 "\n",
             uri.c_str(), percent, pos, static_cast<uint64_t>(size), first);
      fflush(stdout);
      last_percent = percent;
    };
    const ZqTransfer end = zqfs_transfer(io, first, last);
    if (end == ZqTransfer::kBusy) {
      ZQ_LOG(ZQ_LOG_WARN, "download of %s stopped: camera busy", uri.c_str());
    }
    return end == ZqTransfer::kDone;
  }
};

// True when the client's copy (If-None-Match, else If-Modified-Since) is the file's.
bool NotModified(const ZqRequest& request, const char* etag, const std::string& modified) {
  if (const char* inm = request.Header("If-None-Match")) {
    return strstr(inm, etag) != nullptr || strcmp(inm, "*") == 0;
  }
  const char* ims = request.Header("If-Modified-Since");
  return ims != nullptr && ims == modified;
}

// The answer of the file at `path`: its body (whole or a range) or a 304/416 head, the busy
// test done before either.
ZqAnswer FileAnswer(const ZqRequest& request, const ZqFileConfig& cfg, const std::string& path) {
  auto body = std::make_shared<FileBody>();
  body->path = path;
  body->uri = std::string(request.Uri());
  body->fd.reset(open(path.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC));
  if (!body->fd.valid() && errno == EINVAL) {
    body->direct = false;  // e.g. tmpfs
    body->fd.reset(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  }
  struct stat st = {};
  if (!body->fd.valid() || fstat(body->fd.get(), &st) != 0) {
    return Error(request, errno == EACCES ? 403 : 404, "File not found");
  }
  if (!S_ISREG(st.st_mode)) return Error(request, 403, "Not a regular file");
  if (should_stop_download()) return Error(request, 503, kZqBusyText);

  const int64_t size = st.st_size;
  char etag[64];
  snprintf(etag, sizeof etag, "\"%lx.%" PRId64 "\"", static_cast<unsigned long>(st.st_mtime), size);
  const std::string modified = zq_http_date(st.st_mtime);
  const std::string now = zq_http_date(time(nullptr));
  const char* connection = ConnectionValue(request);

  // Conditional requests: an unchanged file is answered 304 without a body.
  if (NotModified(request, etag, modified)) {
    return Fixed(
        304,
        {{"Date", now}, {"Last-Modified", modified}, {"Etag", etag}, {"Connection", connection}});
  }

  ZqByteRange range = {0, size - 1};
  ZqRangeResult rr = zq_parse_range(request.Header("Range"), size, &range);
  const char* if_range = request.Header("If-Range");
  if (rr != ZqRangeResult::kNone && if_range != nullptr && strcmp(if_range, etag) != 0 &&
      if_range != modified) {
    rr = ZqRangeResult::kNone;  // the client's copy is stale: it gets the whole file
    range = {0, size - 1};
  }
  if (rr == ZqRangeResult::kUnsatisfiable) {
    // With the reason text this answer has always had, not the library's longer one.
    return Fixed(416, {{"Date", now},
                       {"Content-Range", "bytes */" + std::to_string(size)},
                       {"Content-Length", "0"},
                       {"Connection", connection}})
        .Reason("Range Not Satisfiable");
  }

  const int64_t length = size == 0 ? 0 : range.last - range.first + 1;
  body->size = size;
  body->first = range.first;
  body->last = range.last;
  ZqAnswer answer =
      ZqAnswer::Sized(rr == ZqRangeResult::kOk ? 206 : 200, "", static_cast<uint64_t>(length),
                      [body](ZqSink& sink) { return body->Send(sink); });
  answer.Header("Date", now)
      .Header("Last-Modified", modified)
      .Header("Etag", etag)
      .Header("Content-Type", MimeType(cfg, path))
      .Header("Content-Length", std::to_string(length))
      .Header("Accept-Ranges", "bytes")
      .Header("Cache-Control", "max-age=" + cfg.max_age);
  if (rr == ZqRangeResult::kOk) {
    answer.Header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                       std::to_string(range.last) + "/" + std::to_string(size));
  }
  answer.Header("Connection", connection);
  return answer;
}

std::string UrlEncode(std::string_view s) {
  std::string out;
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char ch : s) {
    if (isalnum(ch) || strchr("-._~", ch) != nullptr) {
      out += static_cast<char>(ch);
    } else {
      out += '%';
      out += kHex[ch >> 4];
      out += kHex[ch & 15];
    }
  }
  return out;
}

std::string HumanSize(int64_t n) {
  char buf[32];
  if (n < 1024) {
    snprintf(buf, sizeof buf, "%" PRId64, n);
  } else if (n < 1024 * 1024) {
    snprintf(buf, sizeof buf, "%.1fk", static_cast<double>(n) / 1024.0);
  } else if (n < 1024LL * 1024 * 1024) {
    snprintf(buf, sizeof buf, "%.1fM", static_cast<double>(n) / (1024.0 * 1024.0));
  } else {
    snprintf(buf, sizeof buf, "%.1fG", static_cast<double>(n) / (1024.0 * 1024.0 * 1024.0));
  }
  return buf;
}

// Lists the folder `dir`, named `name` below the served `tree`. Entries that could not be
// fetched are left out: names the containment rule refuses, and links that lead out of the
// tree (whose size and time belong to something off the card).
ZqAnswer Listing(const ZqRequest& request, const ZqFileConfig& cfg, const std::string& tree,
                 const std::string& name, const std::string& dir) {
  struct Entry {
    std::string name;
    bool is_dir;
    int64_t size;
    time_t mtime;
  };
  std::vector<Entry> entries;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return Error(request, 403, "Cannot list directory");
  const std::string prefix = name.empty() || name.back() == '/' ? name : name + "/";
  while (dirent* e = readdir(d)) {
    const std::string entry = e->d_name;
    if (entry == "." || entry == ".." || Hidden(cfg, entry)) continue;
    struct stat st = {};
    if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISLNK(st.st_mode)) {
      ZqContainedPath linked;
      if (zq_contain_resolve(tree, prefix + entry, &linked) != ZqContain::kInside ||
          stat(linked.target.c_str(), &st) != 0) {
        continue;
      }
    } else if (!zq_contain_name_ok(entry)) {
      continue;
    }
    entries.push_back({entry, S_ISDIR(st.st_mode), st.st_size, st.st_mtime});
  }
  closedir(d);
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });

  const std::string title = zq_html_escape(request.Uri());
  std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"UTF-8\"><title>Index of " +
                     title +
                     "</title>\n<style>th{text-align:left}td{padding-right:2em}</style></head>\n"
                     "<body><h1>Index of " +
                     title +
                     "</h1>\n<table>\n<tr><th>Name</th><th>Modified</th><th>Size</th></tr>\n"
                     "<tr><td><a href=\"../\">Parent directory</a></td><td></td><td></td></tr>\n";
  for (const Entry& e : entries) {
    char when[32];
    struct tm tm_utc = {};
    gmtime_r(&e.mtime, &tm_utc);
    strftime(when, sizeof when, "%d-%b-%Y %H:%M", &tm_utc);
    std::string shown = zq_html_escape(e.name) + (e.is_dir ? "/" : "");
    html += "<tr><td><a href=\"" + UrlEncode(e.name) + (e.is_dir ? "/" : "") + "\">" + shown +
            "</a></td><td>" + when + "</td><td>" + (e.is_dir ? "[DIRECTORY]" : HumanSize(e.size)) +
            "</td></tr>\n";
  }
  html += "</table></body></html>\n";

  const std::string length = std::to_string(html.size());
  return Fixed(200,
               {{"Date", zq_http_date(time(nullptr))},
                {"Content-Type", "text/html; charset=utf-8"},
                {"Content-Length", length},
                {"Cache-Control", "no-cache, no-store, must-revalidate, private, max-age=0"},
                {"Connection", ConnectionValue(request)}},
               std::move(html));
}

}  // namespace

ZqFileConfig zqfs_config(const std::function<std::string(const char* name)>& option) {
  ZqFileConfig c;
  c.root = option("document_root");
  for (const std::string& pair : Split(option("url_rewrite_patterns"), ',')) {
    size_t eq = pair.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    c.rewrites.push_back({pair.substr(0, eq), pair.substr(eq + 1)});
  }
  c.hide = option("hide_files_patterns");
  for (const std::string& pair : Split(option("extra_mime_types"), ',')) {
    size_t eq = pair.find('=');
    if (eq != std::string::npos) c.extra_mime.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
  }
  c.listing = option("enable_directory_listing") == "yes";
  c.index_files = Split(option("index_files"), ',');
  std::string age = option("static_file_max_age");
  if (!age.empty()) c.max_age = age;
  return c;
}

ZqAnswer zqfs_answer(ZqRequest& request, const ZqFileConfig& cfg) {
  if (request.Method() != "GET" && request.Method() != "HEAD") {
    return Error(request, 405, "Method not allowed");
  }
  // The path as the client sent it (decoded, but before the server removed dot segments): a
  // request that tried to climb is refused outright, not quietly mapped somewhere else.
  const std::string_view uri = request.Uri();
  const std::string_view sent = request.UriAsSent();
  if (uri.empty() || uri[0] != '/' || sent.empty() || sent[0] != '/' ||
      !zq_contain_name_ok(sent.substr(1))) {
    return Error(request, 400, "Bad request");
  }

  std::string base = cfg.root;
  std::string_view rest = uri;
  for (const ZqFileRewrite& r : cfg.rewrites) {
    const size_t n = r.prefix.size();
    if (uri.substr(0, n) == r.prefix && (uri.size() == n || uri[n] == '/')) {
      base = r.dir;
      rest = uri.substr(n);
      break;
    }
  }
  if (base.empty()) return Error(request, 404, "Not found");

  // The target with every link resolved: a link that leads out of the tree is refused. A
  // hidden name is not found, whether the client names it or a link leads to it.
  const std::string name(rest.empty() ? rest : rest.substr(1));
  ZqContainedPath found;
  switch (zq_contain_resolve(base, name, &found)) {
    case ZqContain::kBadName:
      return Error(request, 400, "Bad request");
    case ZqContain::kOutside:
      return Error(request, 403, "Access outside the served tree");
    case ZqContain::kMissing:
      return Error(request, 404, "Not found");
    case ZqContain::kInside:
      break;
  }
  const std::string& path = found.target;
  bool hidden = Hidden(cfg, path.substr(path.rfind('/') + 1));
  for (const std::string& part : Split(name, '/')) hidden = hidden || Hidden(cfg, part);
  if (hidden) return Error(request, 404, "Not found");

  struct stat st = {};
  if (stat(path.c_str(), &st) != 0) return Error(request, 404, "Not found");
  if (!S_ISDIR(st.st_mode)) return FileAnswer(request, cfg, path);
  if (uri.back() != '/') {
    std::string location = std::string(uri) + "/";
    if (request.HasQuery()) location += "?" + std::string(request.Query());
    return Fixed(301, {{"Location", location},
                       {"Content-Length", "0"},
                       {"Connection", ConnectionValue(request)}});
  }
  for (const std::string& index : cfg.index_files) {
    struct stat ist = {};
    const std::string index_path = path + "/" + index;
    if (stat(index_path.c_str(), &ist) == 0 && S_ISREG(ist.st_mode)) {
      return FileAnswer(request, cfg, index_path);
    }
  }
  if (!cfg.listing) return Error(request, 403, "Directory listing denied");
  return Listing(request, cfg, base, name, path);
}

ZqTransfer zqfs_transfer(const ZqChunkIo& io, int64_t first, int64_t last) {
  if (ChunkPlan(first, last).OneRead()) return TransferOne(io, first, last);
  ReadAhead transfer(io, first, last);
  return transfer.Run();
}
