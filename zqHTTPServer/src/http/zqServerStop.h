// Stopping a CivetWeb server promptly.
#ifndef ZQ_ZQHTTPSERVER_SRC_HTTP_ZQSERVERSTOP_H_
#define ZQ_ZQHTTPSERVER_SRC_HTTP_ZQSERVERSTOP_H_

struct mg_context;

// mg_stop(ctx), without the library's wait for its accept loop to notice: that loop polls the
// listening sockets two seconds at a time, so while mg_stop waits, a helper thread connects to
// a listening port now and then to wake it. Running requests still finish.
void zq_server_stop(mg_context* ctx);

#endif  // ZQ_ZQHTTPSERVER_SRC_HTTP_ZQSERVERSTOP_H_
