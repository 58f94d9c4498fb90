#include "core/zqBusy.h"

#include "core/zqCsi.h"

bool zq_busy(const ZqBusyInputs& in) {
  if (in.recording == 1) return true;
  if (in.transfer == 2) return true;
  if (in.offload == 1) return true;
  return in.paused == 1 && (in.activity == 1 || in.activity == 2);
}

bool should_stop_download() {
  ZqBusyInputs in = {};
  in.recording = zq_csi_value(CSI_RECORDING, 0);
  in.paused = zq_csi_value(CSI_ST_PAUSED, 0);
  in.offload = zq_csi_value(CSI_OFFLOAD_STATE, 0);
  in.transfer = zq_csi_value(CSI_TRANSFER_STATE, 0);
  in.activity = zq_csi_value(CSI_ST_ACTIVITY, 0);
  return zq_busy(in);
}
