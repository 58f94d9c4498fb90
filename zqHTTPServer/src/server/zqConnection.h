// What the daemon keeps per client connection (the server's connection user data).
#ifndef ZQ_ZQHTTPSERVER_SRC_SERVER_ZQCONNECTION_H_
#define ZQ_ZQHTTPSERVER_SRC_SERVER_ZQCONNECTION_H_

#include <cstdint>

struct mg_connection;

struct ZqConnData {
  uint32_t source_class = 9;  // set once, before the first request; 9 = unknown
  bool classified = false;
  bool in_request = false;  // between the start and the end of a request
};

// The connection's data, or nullptr when the server did not set it up (not our server).
ZqConnData* zq_conn_data(const mg_connection* conn);

#endif  // ZQ_ZQHTTPSERVER_SRC_SERVER_ZQCONNECTION_H_
