// What the daemon keeps per client connection (the server's connection user data), and the
// one way the daemon writes to a connection.
//
// Every byte of an answer goes out through zq_conn_write, called by the writer of answers
// (http/zqConnAnswer.h): for a HEAD request it passes the head, up to the blank line that
// ends it, and drops the body, so that no HEAD answer carries a body. The writer asks
// zq_conn_head_only and does not make a body at all.
#ifndef ZQ_ZQHTTPSERVER_SRC_HTTP_ZQCONNECTION_H_
#define ZQ_ZQHTTPSERVER_SRC_HTTP_ZQCONNECTION_H_

#include <cstddef>
#include <cstdint>
#include <string>

struct mg_connection;

struct ZqConnData {
  uint32_t source_class = 9;  // set once, before the first request; 9 = unknown
  bool classified = false;
  int worker = -1;  // index of the worker thread that holds the connection

  // The request in progress.
  bool in_request = false;  // between the start and the end of a request
  int requests = 0;         // requests started on this connection
  bool error_sent = false;  // an error page went out since the last request ended
  bool head_only = false;   // a HEAD request: its answer's body is dropped
  uint8_t head_end = 0;     // bytes of the blank line ending the head seen so far (4: all)

  // The client (core/zqClients): its address and the daemon's own descriptor of its socket
  // (-1 when it could not be found). Guarded by the clients' registry.
  std::string address;
  int fd = -1;
};

// The connection's data, or nullptr when the server did not set it up (not our server).
ZqConnData* zq_conn_data(const mg_connection* conn);

// Starts the answer of a new request: `head_only` for HEAD.
void zq_conn_begin_answer(ZqConnData* data, bool head_only);

// How many of the `n` bytes at `bytes`, the next ones of the answer, go to the client: all of
// them, except for a HEAD request, whose answer stops at the blank line ending the head.
size_t zq_conn_head_part(ZqConnData* data, const char* bytes, size_t n);

// True when the current request comes with a body.
bool zq_conn_has_body(const mg_connection* conn);

// True when the connection stays open after the current request: its client asks for that
// (its Connection header, or HTTP/1.1 without one) and the request has no body. (The server
// closes a connection after a request with a body rather than reading what the handler left
// unread: a client could make that last forever.)
bool zq_conn_keep_alive(const mg_connection* conn);

// True when the current request is a HEAD: its answer's body would be dropped.
bool zq_conn_head_only(const mg_connection* conn);

// Writes the next `n` bytes of the answer. Returns `n` when they were delivered or dropped
// (the body of a HEAD answer), else what the library's write returned (fewer, or negative).
int zq_conn_write(mg_connection* conn, const void* bytes, size_t n);

#endif  // ZQ_ZQHTTPSERVER_SRC_HTTP_ZQCONNECTION_H_
