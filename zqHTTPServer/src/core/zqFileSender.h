// The daemon's own file sender, the handler of every request no route takes: files from the
// document root and the URL rewrite targets (the card's media paths). It decides the answer;
// the HTTP layer's writer (http/zqWriter.h) writes it.
//
// What it adds to ordinary static serving:
//  - the camera busy test runs once the file is open and before the answer is made (refused
//    with 503 and kZqBusyText), and again before every chunk (the transfer is cut, and the
//    connection with it, when the camera becomes busy);
//  - files are read with O_DIRECT (no page cache; plain reads where the filesystem refuses
//    it) in chunks of at most 640 KiB into aligned buffers;
//  - each chunk's read from the card happens under one process-wide mutex, so the card sees
//    one reader at a time and concurrent downloads interleave chunk by chunk; the write to
//    the client happens outside it, so a slow or stalled client delays only itself;
//  - a body of more than one chunk is read ahead by a thread of the transfer's own, so that
//    reading the next chunk from the card overlaps sending this one (zqfs_transfer);
//  - progress lines on standard output.
// It keeps what clients of a stock server rely on: HEAD, single byte ranges (206,
// Content-Range, resumed downloads, If-Range), Last-Modified/ETag with 304, MIME types with
// the configured extras, directory listings, hidden files, URL rewrites, and no access
// outside the served trees ("..", symlinks leading out).
#ifndef ZQ_ZQHTTPSERVER_SRC_CORE_ZQFILESENDER_H_
#define ZQ_ZQHTTPSERVER_SRC_CORE_ZQFILESENDER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "http/zqAnswer.h"
#include "http/zqRequest.h"

inline constexpr char kZqBusyText[] =
    "File temporarily unavailable while recording or download paused";

// Largest chunk read and written at once (a multiple of the O_DIRECT block size).
inline constexpr size_t kZqFileChunk = 655360;

// A URL rewrite: paths below `prefix` ("/videos/DCIM") are served from the folder `dir`.
struct ZqFileRewrite {
  std::string prefix;
  std::string dir;
};

// The server options the sender follows, read once when the server starts.
struct ZqFileConfig {
  std::string root;                     // document_root ("": only the rewrites are served)
  std::vector<ZqFileRewrite> rewrites;  // url_rewrite_patterns, in order
  std::string hide;                     // hide_files_patterns ("*.thm|*.tmp")
  std::vector<std::pair<std::string, std::string>> extra_mime;  // extra_mime_types
  bool listing = false;                                         // enable_directory_listing is "yes"
  std::vector<std::string> index_files;                         // index_files, in order
  std::string max_age = "3600";                                 // static_file_max_age
};

// The sender's settings from the server's options: `option(name)` gives an option's value as
// the server runs with it ("" when unset).
ZqFileConfig zqfs_config(const std::function<std::string(const char* name)>& option);

// Answers a request that no route handler takes, from the document root or a rewrite target:
// a file (200, or 206 for a range; 304 when the client's copy is current, 416 for a range
// beyond its end), a redirect to the directory's "/" form, an index file or a listing, or the
// server's error page. Only GET and HEAD are served (405 otherwise). A file's body is a sized
// answer whose producer is the transfer below; the file stays open until the answer is gone.
ZqAnswer zqfs_answer(ZqRequest& request, const ZqFileConfig& config);

// One transfer's reads, writes and checks, apart from the connection: the sender's own, or a
// test's.
struct ZqChunkIo {
  // Reads up to `n` bytes of the file at `offset` into `buf` (aligned for O_DIRECT, `offset`
  // and `n` too): the count read, 0 at the end of the file, negative on failure. Called
  // from the transfer's reader thread, one call at a time.
  std::function<long(char* buf, size_t n, int64_t offset)> read;
  // Sends `n` bytes to the client; false when it did not take them all. Called from the
  // thread that called zqfs_transfer.
  std::function<bool(const char* bytes, size_t n)> write;
  // The camera busy test: true when the transfer must stop. Called from the writing thread
  // once for every chunk: before the first is read, and before each later one is sent (as
  // soon as the one before it went out).
  std::function<bool()> busy;
  // A chunk went out: `pos` is the file position it reached. From the writing thread.
  std::function<void(int64_t pos)> sent;
};

enum class ZqTransfer {
  kDone,         // every byte of the range was sent
  kBusy,         // the camera became busy: cut before the next chunk
  kReadFailed,   // a read failed, or the file ended before the range did
  kWriteFailed,  // the client did not take a chunk (gone, or stalled past the time limit)
  kNoMemory,     // no chunk buffer could be had
};

// Sends bytes [first, last] of a file (first <= last) through `io`, in chunks of at most
// kZqFileChunk bytes read at offsets aligned for O_DIRECT. A range that fits in one chunk is
// read and sent by the calling thread alone. A longer one gets two chunk buffers and a reader
// thread that reads chunk N+1 into one while chunk N is sent from the other, so the transfer
// takes about the longer of reading and sending rather than their sum; the reader never runs
// more than one chunk ahead. What was read before a failed or short read is sent. When this
// returns, the reader thread has ended and the buffers are freed, whatever the outcome.
ZqTransfer zqfs_transfer(const ZqChunkIo& io, int64_t first, int64_t last);

#endif  // ZQ_ZQHTTPSERVER_SRC_CORE_ZQFILESENDER_H_
