#include "zqcontrolapi/zqCommand.h"

#include <cstring>

#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqLog.h"

void zq_mark_source_wifi() {
  zqcontrol_set_caller_id(1);
  const uint8_t source = 1;
  const int32_t status = csi_set(kCsiAnalyticsSource, &source, sizeof source);
  if (status != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "csi_set CSI_ANALYTICS_SOURCE 0x%02X failed - status %d", source, status);
  }
}

int32_t zq_answer_into(std::string_view body, char* response, size_t size, ZqNoRoom log) {
  if (response != nullptr && body.size() < size) {
    memcpy(response, body.data(), body.size());
    response[body.size()] = '\0';
    return ZQ_OK;
  }
  if (log == ZqNoRoom::kTooLong) {
    ZQ_LOG(ZQ_LOG_ERROR, "Response structure not long enough to hold actual response of %d bytes",
           static_cast<int>(body.size()));
  } else {
    ZQ_LOG(ZQ_LOG_ERROR, "Not enough room in buffer for response\n");
  }
  return ZQ_ERR;
}
