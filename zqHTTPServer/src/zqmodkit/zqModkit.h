// "/modkit" and "/zq/zqModkit": the legacy command relay to the network service.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQMODKIT_ZQMODKIT_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQMODKIT_ZQMODKIT_H_

struct mg_connection;

// Relays the command to DST "/to_zqnet" (see zqRelay.h). Returns 1.
int zqModkitHandler(mg_connection* conn, void* cbdata);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQMODKIT_ZQMODKIT_H_
