#include "server/zqConnection.h"

#include <civetweb.h>

ZqConnData* zq_conn_data(const mg_connection* conn) {
  return static_cast<ZqConnData*>(mg_get_user_connection_data(conn));
}
