#include "zqturbo/zqTurbo.h"

#include <civetweb.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "csi.h"
#include "server/zqConnection.h"
#include "server/zqCsi.h"
#include "server/zqResponse.h"
#include "zqcommon/zqLog.h"

int zqTurboHandler(mg_connection* conn, void* /*cbdata*/) {
  const mg_request_info* ri = mg_get_request_info(conn);
  const char* query = ri->query_string;
  // The first "p=" anywhere in the query counts, and its value must end the query.
  const char* p = query != nullptr ? strstr(query, "p=") : nullptr;
  if (p == nullptr) {
    ZQ_LOG(ZQ_LOG_ERROR, "missing required parameters!\n");
    http_response_bad_request(conn);
    return 1;
  }
  const char* value = p + 2;
  if (strcmp(value, "1") != 0 && strcmp(value, "0") != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "invalid mode! %s\n", value);
    http_response_bad_request(conn);
    return 1;
  }

  const uint8_t boost = value[0] == '1' ? 1 : 0;
  int32_t err;
  {
    std::lock_guard<std::mutex> lock(g_CSIMutex);
    err = csi_set(CSI_LINUX_CORE_BOOST, &boost, sizeof boost);
  }
  if (err != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "CSI_LINUX_CORE_BOOST, csi set err (%d)\n", err);
    http_response_internal_error(conn, ri->local_uri, query, kHttp500, err, "csi_set error",
                                 "zqTurboHandler", 92);
    return 1;
  }

  char body[32];
  int n = snprintf(body, sizeof body, "{\"turbo\":\"%d\"}\n\n", boost);
  char head[128];
  int h = snprintf(head, sizeof head, "HTTP/1.1 %sContent-Type: %s\r\nContent-Length: %d\r\n\r\n",
                   kHttp200, kMimeJson, n);
  std::string answer(head, static_cast<size_t>(h));
  answer.append(body, static_cast<size_t>(n));
  zq_conn_write(conn, answer.data(), answer.size());
  return 1;
}
