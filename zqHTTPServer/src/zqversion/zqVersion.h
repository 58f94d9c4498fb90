// "/zq/version": the version of the embedded HTTP server's interface.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQVERSION_ZQVERSION_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQVERSION_ZQVERSION_H_

struct mg_connection;

// Answers the same JSON body on every call, whatever the query. Returns 1.
int zqVersionHandler(mg_connection* conn, void* cbdata);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQVERSION_ZQVERSION_H_
