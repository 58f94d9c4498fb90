// The daemon's own file sender, used for every file the server sends: the document root, the
// URL rewrite targets (the card's media paths) and files that handlers send.
//
// What it adds to ordinary static serving:
//  - the camera busy test runs once the file is open and before its first byte (refused with
//    503 and kZqBusyText), and again before every chunk (the transfer is cut, and the
//    connection closed, when the camera becomes busy);
//  - files are read with O_DIRECT (no page cache; plain reads where the filesystem refuses
//    it) in chunks of at most 640 KiB into an aligned buffer;
//  - each chunk's read from the card happens under one process-wide mutex, so the card sees
//    one reader at a time and concurrent downloads interleave chunk by chunk; the write to
//    the client happens outside it, so a slow or stalled client delays only itself;
//  - progress lines on standard output.
// It keeps what clients of a stock server rely on: HEAD, single byte ranges (206,
// Content-Range, resumed downloads, If-Range), Last-Modified/ETag with 304, MIME types with
// the configured extras, directory listings, hidden files, URL rewrites, and no access
// outside the served trees ("..", symlinks leading out).
#ifndef ZQ_ZQHTTPSERVER_SRC_SERVER_ZQFILESENDER_H_
#define ZQ_ZQHTTPSERVER_SRC_SERVER_ZQFILESENDER_H_

#include <cstddef>

struct mg_connection;

inline constexpr char kZqBusyText[] =
    "File temporarily unavailable while recording or download paused";

// Largest chunk read and written at once (a multiple of the O_DIRECT block size).
inline constexpr size_t kZqFileChunk = 655360;

// Answers a request that no route handler takes, from the document root or a rewrite target:
// a file, a redirect to the directory's "/" form, an index file or a listing, or an error.
// Only GET and HEAD are served (405 otherwise). Always answers.
void zqfs_serve_request(mg_connection* conn);

// Answers the current request with the file at `path` (a filesystem path the caller has
// checked), typed `mime`, or by its name when `mime` is nullptr.
void zqfs_send_file(mg_connection* conn, const char* path, const char* mime);

#endif  // ZQ_ZQHTTPSERVER_SRC_SERVER_ZQFILESENDER_H_
