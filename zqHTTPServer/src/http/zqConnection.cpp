#include "http/zqConnection.h"

#include <civetweb.h>

#include <cstring>
#include <string>

ZqConnData* zq_conn_data(const mg_connection* conn) {
  return static_cast<ZqConnData*>(mg_get_user_connection_data(conn));
}

void zq_conn_begin_answer(ZqConnData* data, bool head_only) {
  data->head_only = head_only;
  data->head_end = 0;
}

size_t zq_conn_head_part(ZqConnData* data, const char* bytes, size_t n) {
  if (data == nullptr || !data->head_only) return n;
  size_t pass = 0;
  // The head ends with the first CR LF CR LF; head_end counts how much of it was seen.
  while (pass < n && data->head_end < 4) {
    const char want = data->head_end % 2 == 0 ? '\r' : '\n';
    if (bytes[pass] == want) {
      ++data->head_end;
    } else {
      data->head_end = bytes[pass] == '\r' ? 1 : 0;
    }
    ++pass;
  }
  return pass;
}

bool zq_conn_has_body(const mg_connection* conn) {
  return mg_get_request_info(conn)->content_length > 0 ||
         mg_get_header(conn, "Transfer-Encoding") != nullptr;
}

bool zq_conn_keep_alive(const mg_connection* conn) {
  const mg_request_info* ri = mg_get_request_info(conn);
  if (zq_conn_has_body(conn)) return false;
  const char* h = mg_get_header(conn, "Connection");
  if (h != nullptr) return strcasestr(h, "keep-alive") != nullptr;
  return ri->http_version != nullptr && strcmp(ri->http_version, "1.1") == 0;
}

bool zq_conn_head_only(const mg_connection* conn) {
  const ZqConnData* data = zq_conn_data(conn);
  return data != nullptr && data->head_only;
}

int zq_conn_write(mg_connection* conn, const void* bytes, size_t n) {
  const size_t pass = zq_conn_head_part(zq_conn_data(conn), static_cast<const char*>(bytes), n);
  if (pass == 0) return static_cast<int>(n);
  const int sent = mg_write(conn, bytes, pass);
  return sent == static_cast<int>(pass) ? static_cast<int>(n) : sent;
}
