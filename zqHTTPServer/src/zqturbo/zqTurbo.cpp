#include "zqturbo/zqTurbo.h"

#include <mutex>
#include <string>

#include "core/zqCsi.h"
#include "csi.h"
#include "http/zqResponse.h"
#include "zqcommon/zqLog.h"

ZqAnswer zqTurbo(ZqRequest& request) {
  const std::string query(request.Query());
  // The first "p=" anywhere in the query counts, and its value must end the query.
  const size_t p = query.find("p=");
  if (p == std::string::npos) {
    ZQ_LOG(ZQ_LOG_ERROR, "missing required parameters!\n");
    return ZqAnswer::EmptyJson(400);
  }
  const std::string value = query.substr(p + 2);
  if (value != "1" && value != "0") {
    ZQ_LOG(ZQ_LOG_ERROR, "invalid mode! %s\n", value.c_str());
    return ZqAnswer::EmptyJson(400);
  }
  const uint8_t boost = value[0] == '1' ? 1 : 0;
  int32_t err;
  {
    ZqLock lock(g_CSIMutex);
    err = csi_set(CSI_LINUX_CORE_BOOST, &boost, sizeof boost);
  }
  if (err != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "CSI_LINUX_CORE_BOOST, csi set err (%d)\n", err);
    const std::string uri(request.Uri());
    return ZqAnswer::Json(500, zq_internal_error_body(uri.c_str(), query.c_str(), err,
                                                      "csi_set error", "zqTurboHandler", 92));
  }
  return ZqAnswer::Json(200, std::string("{\"turbo\":\"") + (boost ? "1" : "0") + "\"}\n\n");
}
