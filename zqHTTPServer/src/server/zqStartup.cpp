#include "server/zqStartup.h"

#include "zqCtrlD.h"
#include "zqcommon/zqLog.h"

uint32_t zq_log_level_for_flags(uint32_t flags) {
  return (flags & 0x800) != 0 ? ZQ_LOG_DEBUG : ZQ_LOG_ERROR;
}

int32_t get_memory_support(uint32_t* out) {
  uint8_t model = 57;  // a failed query leaves a model without extended memory
  int32_t status = zqc_state_get_model_number(&model);
  *out = (status == 0 && (model == 58 || model == 60 || model == 61)) ? 1 : 0;
  return status;
}

int zq_worker_threads(uint32_t extended_memory) { return extended_memory == 1 ? 8 : 5; }
