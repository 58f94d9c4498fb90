#include "core/zqFileSender.h"

#include <civetweb.h>
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
#include "core/zqClients.h"
#include "core/zqHttpRange.h"
#include "core/zqLocks.h"
#include "http/zqConnection.h"
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

struct Rewrite {
  std::string prefix;
  std::string dir;
};

// The server options the sender follows, read from the running server.
struct Config {
  std::string root;
  std::vector<Rewrite> rewrites;
  std::string hide;
  std::vector<std::pair<std::string, std::string>> extra_mime;
  bool listing = false;
  std::vector<std::string> index_files;
  std::string max_age = "3600";
};

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

std::string Option(const mg_connection* conn, const char* name) {
  const char* v = mg_get_option(mg_get_context(conn), name);
  return v != nullptr ? v : "";
}

Config ReadConfig(const mg_connection* conn) {
  Config c;
  c.root = Option(conn, "document_root");
  for (const std::string& pair : Split(Option(conn, "url_rewrite_patterns"), ',')) {
    size_t eq = pair.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    c.rewrites.push_back({pair.substr(0, eq), pair.substr(eq + 1)});
  }
  c.hide = Option(conn, "hide_files_patterns");
  for (const std::string& pair : Split(Option(conn, "extra_mime_types"), ',')) {
    size_t eq = pair.find('=');
    if (eq != std::string::npos) c.extra_mime.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
  }
  c.listing = Option(conn, "enable_directory_listing") == "yes";
  c.index_files = Split(Option(conn, "index_files"), ',');
  std::string age = Option(conn, "static_file_max_age");
  if (!age.empty()) c.max_age = age;
  return c;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  if (suffix.size() > s.size()) return false;
  return strncasecmp(s.data() + s.size() - suffix.size(), suffix.data(), suffix.size()) == 0;
}

std::string MimeType(const Config& c, const std::string& path) {
  for (const auto& [ext, type] : c.extra_mime) {
    if (EndsWithNoCase(path, ext)) return type;
  }
  return mg_get_builtin_mime_type(path.c_str());
}

// A name (one path component) is hidden when it ends in a suffix of the hide option, in any
// case. The daemon's option lists them as "*" + suffix, several separated by "|" ("*.thm"
// hides "ZQ010001.THM" but not "x.thm.bak"); other forms hide nothing.
bool Hidden(const Config& c, std::string_view name) {
  std::string_view rest = c.hide;
  while (!rest.empty()) {
    const size_t bar = rest.find('|');
    const std::string_view alt = rest.substr(0, bar);
    rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    if (alt.size() > 1 && alt[0] == '*' && EndsWithNoCase(name, alt.substr(1))) return true;
  }
  return false;
}

std::string HttpDate(time_t t) {
  char buf[64];
  struct tm tm_utc = {};
  gmtime_r(&t, &tm_utc);
  strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm_utc);
  return buf;
}

// The value the server uses to decide keep-alive, so the header agrees with what happens.
const char* ConnectionValue(const mg_connection* conn) {
  return zq_conn_keep_alive(conn) ? "keep-alive" : "close";
}

bool IsHead(const mg_connection* conn) {
  return strcmp(mg_get_request_info(conn)->request_method, "HEAD") == 0;
}

void SendError(mg_connection* conn, int status, const char* text) {
  mg_send_http_error(conn, status, "%s", text);
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

// Reads and sends [first, last] of the open file, printing the progress lines. Returns false
// when the transfer had to be cut (busy camera, read or write failure).
bool SendBody(mg_connection* conn, UniqueFd& fd, bool direct, const std::string& path,
              const char* uri, int64_t size, int64_t first, int64_t last) {
  const int64_t span = size - first;
  int last_percent = -1;
  ZqChunkIo io;
  io.read = [&fd, &direct, &path](char* buf, size_t n, int64_t offset) -> long {
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
  io.write = [conn](const char* bytes, size_t n) {
    return zq_conn_write(conn, bytes, n) == static_cast<int>(n);
  };
  io.busy = [] { return should_stop_download(); };
  io.sent = [&](int64_t pos) {
    const int64_t remaining = last + 1 - pos;  // still to send
    const int percent = span == 0 ? 100 : static_cast<int>(100 * (span - remaining) / span);
    if (percent == last_percent) return;
    printf("\nUploading %s: %i%%, %" PRId64 "/%" PRIu64 " bytes, start offset:%" PRId64 "\n", uri,
           percent, pos, static_cast<uint64_t>(size), first);
    fflush(stdout);
    last_percent = percent;
  };
  const ZqTransfer end = zqfs_transfer(io, first, last);
  if (end == ZqTransfer::kBusy) ZQ_LOG(ZQ_LOG_WARN, "download of %s stopped: camera busy", uri);
  return end == ZqTransfer::kDone;
}

void SendFile(mg_connection* conn, const Config& cfg, const std::string& path, const char* mime) {
  const mg_request_info* ri = mg_get_request_info(conn);
  const char* uri = ri->local_uri != nullptr ? ri->local_uri : "";

  bool direct = true;
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC));
  if (!fd.valid() && errno == EINVAL) {
    direct = false;  // e.g. tmpfs
    fd.reset(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  }
  struct stat st = {};
  if (!fd.valid() || fstat(fd.get(), &st) != 0) {
    SendError(conn, errno == EACCES ? 403 : 404, "File not found");
    return;
  }
  if (!S_ISREG(st.st_mode)) {
    SendError(conn, 403, "Not a regular file");
    return;
  }
  if (should_stop_download()) {
    SendError(conn, 503, kZqBusyText);
    return;
  }

  const int64_t size = st.st_size;
  char etag[64];
  snprintf(etag, sizeof etag, "\"%lx.%" PRId64 "\"", static_cast<unsigned long>(st.st_mtime), size);
  const std::string modified = HttpDate(st.st_mtime);
  const std::string now = HttpDate(time(nullptr));
  const char* connection = ConnectionValue(conn);

  // Conditional requests: an unchanged file is answered 304 without a body.
  const char* inm = mg_get_header(conn, "If-None-Match");
  const char* ims = mg_get_header(conn, "If-Modified-Since");
  bool not_modified = false;
  if (inm != nullptr) {
    not_modified = strstr(inm, etag) != nullptr || strcmp(inm, "*") == 0;
  } else if (ims != nullptr) {
    not_modified = strcmp(ims, modified.c_str()) == 0;
  }
  if (not_modified) {
    zq_conn_printf(conn,
                   "HTTP/1.1 304 Not Modified\r\nDate: %s\r\nLast-Modified: %s\r\nEtag: %s\r\n"
                   "Connection: %s\r\n\r\n",
                   now.c_str(), modified.c_str(), etag, connection);
    return;
  }

  ZqByteRange range = {0, size - 1};
  ZqRangeResult rr = zq_parse_range(mg_get_header(conn, "Range"), size, &range);
  const char* if_range = mg_get_header(conn, "If-Range");
  if (rr != ZqRangeResult::kNone && if_range != nullptr && strcmp(if_range, etag) != 0 &&
      strcmp(if_range, modified.c_str()) != 0) {
    rr = ZqRangeResult::kNone;  // the client's copy is stale: it gets the whole file
    range = {0, size - 1};
  }
  if (rr == ZqRangeResult::kUnsatisfiable) {
    zq_conn_printf(
        conn,
        "HTTP/1.1 416 Range Not Satisfiable\r\nDate: %s\r\nContent-Range: bytes */%" PRId64
        "\r\nContent-Length: 0\r\nConnection: %s\r\n\r\n",
        now.c_str(), size, connection);
    return;
  }

  const std::string type = mime != nullptr ? mime : MimeType(cfg, path);
  const int64_t length = size == 0 ? 0 : range.last - range.first + 1;
  std::string head =
      rr == ZqRangeResult::kOk ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
  head += "Date: " + now + "\r\nLast-Modified: " + modified + "\r\nEtag: " + etag +
          "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(length) +
          "\r\nAccept-Ranges: bytes\r\nCache-Control: max-age=" + cfg.max_age + "\r\n";
  if (rr == ZqRangeResult::kOk) {
    head += "Content-Range: bytes " + std::to_string(range.first) + "-" +
            std::to_string(range.last) + "/" + std::to_string(size) + "\r\n";
  }
  head += std::string("Connection: ") + connection + "\r\n\r\n";
  if (zq_conn_write(conn, head.data(), head.size()) != static_cast<int>(head.size())) return;
  if (IsHead(conn) || length == 0) return;

  if (!SendBody(conn, fd, direct, path, uri, size, range.first, range.last)) {
    zq_conn_abort(conn);
  }
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
void SendListing(mg_connection* conn, const Config& cfg, const std::string& tree,
                 const std::string& name, const std::string& dir, const char* uri) {
  struct Entry {
    std::string name;
    bool is_dir;
    int64_t size;
    time_t mtime;
  };
  std::vector<Entry> entries;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) {
    SendError(conn, 403, "Cannot list directory");
    return;
  }
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

  const std::string title = zq_html_escape(uri);
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

  std::string head = "HTTP/1.1 200 OK\r\nDate: " + HttpDate(time(nullptr)) +
                     "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                     std::to_string(html.size()) +
                     "\r\nCache-Control: no-cache, no-store, must-revalidate, private, "
                     "max-age=0\r\nConnection: " +
                     ConnectionValue(conn) + "\r\n\r\n";
  if (!IsHead(conn)) head += html;
  zq_conn_write(conn, head.data(), head.size());
}

void Redirect(mg_connection* conn, const std::string& location) {
  zq_conn_printf(conn,
                 "HTTP/1.1 301 Moved Permanently\r\nLocation: %s\r\nContent-Length: 0\r\n"
                 "Connection: %s\r\n\r\n",
                 location.c_str(), ConnectionValue(conn));
}

}  // namespace

void zqfs_serve_request(mg_connection* conn) {
  const mg_request_info* ri = mg_get_request_info(conn);
  if (strcmp(ri->request_method, "GET") != 0 && strcmp(ri->request_method, "HEAD") != 0) {
    SendError(conn, 405, "Method not allowed");
    return;
  }
  // The path as the client sent it (decoded, but before the server removed dot segments): a
  // request that tried to climb is refused outright, not quietly mapped somewhere else.
  const char* uri = ri->local_uri;
  const char* sent = ri->local_uri_raw != nullptr ? ri->local_uri_raw : "";
  if (uri == nullptr || uri[0] != '/' || sent[0] != '/' || !zq_contain_name_ok(sent + 1)) {
    SendError(conn, 400, "Bad request");
    return;
  }

  const Config cfg = ReadConfig(conn);
  std::string base = cfg.root;
  std::string_view rest = uri;
  for (const Rewrite& r : cfg.rewrites) {
    const size_t n = r.prefix.size();
    if (strncmp(uri, r.prefix.c_str(), n) == 0 && (uri[n] == '/' || uri[n] == '\0')) {
      base = r.dir;
      rest = std::string_view(uri + n);
      break;
    }
  }
  if (base.empty()) {
    SendError(conn, 404, "Not found");
    return;
  }

  // The target with every link resolved: a link that leads out of the tree is refused. A
  // hidden name is not found, whether the client names it or a link leads to it.
  const std::string name(rest.empty() ? rest : rest.substr(1));
  ZqContainedPath found;
  switch (zq_contain_resolve(base, name, &found)) {
    case ZqContain::kBadName:
      SendError(conn, 400, "Bad request");
      return;
    case ZqContain::kOutside:
      SendError(conn, 403, "Access outside the served tree");
      return;
    case ZqContain::kMissing:
      SendError(conn, 404, "Not found");
      return;
    case ZqContain::kInside:
      break;
  }
  const std::string& path = found.target;
  bool hidden = Hidden(cfg, path.substr(path.rfind('/') + 1));
  for (const std::string& part : Split(name, '/')) hidden = hidden || Hidden(cfg, part);
  if (hidden) {
    SendError(conn, 404, "Not found");
    return;
  }

  struct stat st = {};
  if (stat(path.c_str(), &st) != 0) {
    SendError(conn, 404, "Not found");
    return;
  }
  if (!S_ISDIR(st.st_mode)) {
    SendFile(conn, cfg, path, nullptr);
    return;
  }
  if (uri[strlen(uri) - 1] != '/') {
    std::string location = std::string(uri) + "/";
    if (ri->query_string != nullptr) location += std::string("?") + ri->query_string;
    Redirect(conn, location);
    return;
  }
  for (const std::string& index : cfg.index_files) {
    struct stat ist = {};
    const std::string index_path = path + "/" + index;
    if (stat(index_path.c_str(), &ist) == 0 && S_ISREG(ist.st_mode)) {
      SendFile(conn, cfg, index_path, nullptr);
      return;
    }
  }
  if (!cfg.listing) {
    SendError(conn, 403, "Directory listing denied");
    return;
  }
  SendListing(conn, cfg, base, name, path, uri);
}

ZqTransfer zqfs_transfer(const ZqChunkIo& io, int64_t first, int64_t last) {
  if (ChunkPlan(first, last).OneRead()) return TransferOne(io, first, last);
  ReadAhead transfer(io, first, last);
  return transfer.Run();
}
