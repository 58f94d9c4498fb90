// The clients the server's workers hold, and the limits that keep slow or hostile clients
// from holding them all.
//
// The server runs one worker thread per connection it serves; a connection holds its worker
// from the moment the worker takes it up until it is closed, whether it sends anything or
// not. So:
//  - One address may hold at most `per_address` workers at once. When a worker takes up a
//    connection from an address that already holds its share, the oldest of that address's
//    connections that is idle (waiting `idle_ms` or more for a request, with nothing of an
//    answer left to send) is cut to make room; when none is, the new connection is answered
//    503 and cut. The loopback address is exempt: it is the camera itself and the USB
//    tunnel, behind which any number of clients share it.
//    (The library tells a connection's address only once its worker reads from it, so the
//    decision comes a moment after the connection hook, from the watchdog.)
//  - A request head must arrive whole within `head_ms` of the worker taking the connection
//    up, or of the end of the library's keep-alive wait after an answer (`keep_alive_ms`,
//    which ends a connection on which no byte came): a client that sends nothing, or dribbles
//    its head, is cut. While every worker is held, the head is due within `idle_ms`:
//    a connection that waited for a worker has its head there by the time it gets one,
//    unless its client sends none. And while every worker is held and the library has
//    accepted connections that wait for one, kept-alive connections that have waited
//    `yield_ms` or more for their next request make room, the longest-waiting first, one for
//    each connection queued: a new client then waits about `yield_ms` rather than until a
//    kept-alive client pauses for `idle_ms` or ends its connection.
//  - A connection being closed gets `drain_ms` for the client to stop sending (the library
//    reads and discards what arrives until the client stops); a client that keeps sending,
//    a request body it never ends for instance, is cut.
// Cutting resets the connection, so the worker it held returns at once. Writes to a client
// that reads slowly are not limited here: a slow reader costs only its own worker, and the
// library's request_timeout_ms ends a write that makes no progress at all.
//
// Every cut and refusal is logged: time-outs with the line "conn %d: connection timed out /
// abandoned" (INFO), refusals and cuts for an address's share at ERROR, at most one line a
// second.
//
// The library's callbacks drive the registry (all from the worker holding the connection);
// a watchdog thread enforces the times. Thread safe.
#ifndef ZQ_ZQHTTPSERVER_SRC_CORE_ZQCLIENTS_H_
#define ZQ_ZQHTTPSERVER_SRC_CORE_ZQCLIENTS_H_

#include "http/zqAnswer.h"

struct mg_connection;
struct ZqConnData;

struct ZqClientLimits {
  int workers = 8;            // the server's worker threads
  int per_address = 6;        // workers one client address may hold at once
  long head_ms = 5000;        // for a whole request head
  long idle_ms = 250;         // a connection waiting this long without a request is idle
  long yield_ms = 20;         // a kept-alive one waiting this long yields to a queued client
  long keep_alive_ms = 1000;  // the library's wait for the first byte of the next request
  long drain_ms = 2000;       // for a closing client to stop sending
};

// The daemon's limits for a server with `workers` worker threads and the library's keep-alive
// wait: every other address keeps at least two of the workers, and the daemon's own times are
// scaled by ZQ_TIME_SCALE (idle_ms only lengthened, never shortened).
ZqClientLimits zq_clients_limits(int workers, long keep_alive_ms);

// The answer of a connection refused for its address's share: 503 with "Retry-After: 1", and
// the connection closed.
ZqAnswer zq_clients_refusal();

// Starts and stops the watchdog; stop it before the server stops (it looks at the server's
// connections).
void zq_clients_start(const ZqClientLimits& limits);
void zq_clients_stop();

// A worker took up `conn` (the library's init_connection). Registers it with `data`, which
// the registry owns from now on (freed by zq_clients_closed); the address's share is applied
// as soon as the address is known.
void zq_clients_admit(const mg_connection* conn, ZqConnData* data);

// A request head arrived whole (begin_request) / its answer is done (end_request).
void zq_clients_request_started(const mg_connection* conn);
void zq_clients_request_ended(const mg_connection* conn);

// The library is closing the connection (connection_close) / has closed it
// (connection_closed; the connection's data is freed).
void zq_clients_closing(const mg_connection* conn);
void zq_clients_closed(const mg_connection* conn);

// True when the daemon cut the connection (a time-out, or its address's share): whatever the
// library then reports about it needs no answer and no further log line.
bool zq_clients_cut(const mg_connection* conn);

// Ends the client's connection at once, without discarding what was already written: a
// client that has the head of an answer sees it cut short rather than waiting for the rest.
// Works for connections of any server, registered or not.
void zq_conn_abort(const mg_connection* conn);

#endif  // ZQ_ZQHTTPSERVER_SRC_CORE_ZQCLIENTS_H_
