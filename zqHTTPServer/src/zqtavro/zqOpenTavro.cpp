#include "zqtavro/zqOpenTavro.h"

#include <sys/types.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/zqCsi.h"
#include "csi.h"
#include "zqBlacklistHandler.h"
#include "zqCtrlD.h"
#include "zqcommon/zqChild.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"
#include "zqcontrol/zqCameraCommands.h"
#include "zqcontrol/zqSystemCommands.h"
#include "zqcontrolapi/zqStorage.h"
#include "zqmedialist/zqMediaList.h"
#include "zqmediametadata/zqMediaMetadata.h"
#include "zqopenapi/zqMediaPath.h"
#include "zqopenapi/zqOpenApiAnswers.h"
#include "zqopenapi/zqOpenApiEndpoints.h"
#include "zqopenapi/zqOpenApiQuery.h"
#include "zqpresets/zqPresets.h"
#include "zqturbo/zqTurbo.h"
#include "zqwebcamroute/zqWebcamRoute.h"

namespace {

constexpr int kDefaultModel = 57;
// Camera status 142, written as -114: the address of the client that started streaming.
constexpr int32_t kCsiStreamClient = -114;
constexpr size_t kCameraStateSize = 394;
constexpr size_t kZoomUsableOffset = 241;
constexpr size_t kDateTimeSize = 10;
// Longest value read from a date and time query.
constexpr size_t kParamMax = 64;

// What the endpoints share, made at the first request.
struct OpenApi {
  int model = kDefaultModel;
  BlacklistHandler filter;
  // The streaming helper this daemon started, 0 for none.
  pid_t stream_pid GUARDED_BY(g_openApiMutex) = 0;
};

// Made by the first request (Shared), read again by the stop at exit.
std::atomic<OpenApi*> g_api{nullptr};

OpenApi& Shared() {
  static std::once_flag once;
  static OpenApi* api = nullptr;
  std::call_once(once, [] {
    api = new OpenApi;  // lives as long as the process; never destroyed under a request
    uint8_t model = 0;
    if (zqc_state_get_model_number(&model) == 0) {
      api->model = model;
    } else {
      ZQ_LOG(ZQ_LOG_ERROR, "Failed to get model_number, using default:%d", kDefaultModel);
    }
    api->filter.storeCameraSettings(getCameraOptions(api->model));
    api->filter.storeCameraOptions(getOptionIds(api->model));
    api->filter.storeCameraFilters(getCameraFilters(api->model));
    g_api.store(api);
  });
  return *api;
}

// One request as the endpoints see it.
struct Call {
  ZqRequest& request;
  std::string_view path;  // relative to "/tavro/"
  const char* query;      // null when the URI has no "?"
  OpenApi& api;
};

using Endpoint = std::optional<ZqAnswer> (*)(Call& call);  // nullopt: a path it does not serve

ZqAnswer Empty(int status) { return ZqAnswer::EmptyJson(status); }
// A status with no body at all.
ZqAnswer Bare(int status) { return ZqAnswer::Json(status, ""); }

// The control handlers assume the control API's locks: an Open API request that calls them
// holds both, in the control API's order, so that it never runs beside a control request.
using ControlLocks = ZqControlLocks;

// A control handler's JSON body (up to the response buffer), and its status.
int32_t RunHandler(int32_t (*handler)(const char*, char*, uint16_t), const char* params,
                   std::string* body) {
  std::array<char, kZqoaResponseBufferSize> buffer = {};
  const int32_t status = handler(params, buffer.data(), buffer.size());
  if (body != nullptr) body->assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
  return status;
}

// 200 on 0, 400 on an invalid parameter, 500 otherwise.
int ResultStatus(int32_t result) {
  if (result == 0) return 200;
  return result == ZQ_ERR_INVALID_PARAM ? 400 : 500;
}

std::optional<ZqAnswer> State(Call& c) {
  if (c.path != "camera/state") return std::nullopt;
  if (c.query != nullptr) return Empty(400);
  ControlLocks locks;
  std::string body;
  const int32_t result = RunHandler(handle_settings_status, nullptr, &body);
  return ZqAnswer::Json(result == 0 ? 200 : 500, std::move(body));
}

// Every path that reaches it ("camera/setting", "camera/setting_x", ...).
std::optional<ZqAnswer> Setting(Call& c) {
  ControlLocks locks;
  all_status_settings_t record;
  memset(&record, 0, sizeof record);
  const int32_t got =
      zqcontrol_send_command_param_response(ZQCONTROL_STATUS, nullptr, 0, &record, sizeof record);
  if (got != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to get settings/statues");
    if (got == ZQ_ERR_NAK_OFF) return ZqAnswer::Json(200, kZqoaShutdownPendingBody);
    return Bare(500);
  }
  set_csi_analytics_source_wifi();
  uint32_t setting = 0;
  uint32_t option = 0;
  if (!zqoa_scan_setting(c.query, &setting, &option)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to read in params:%s, path:%.*s", c.query ? c.query : "(null)",
           static_cast<int>(c.path.size()), c.path.data());
    return Empty(400);
  }
  update_camera_settings(&record, c.api.model, c.api.filter.getSettingsState());
  update_camera_status(&record, c.api.model, c.api.filter.getStatusesState());
  const std::unique_ptr<BlacklistResponse> verdict(c.api.filter.isBlacklisted(
      static_cast<int32_t>(setting), static_cast<int32_t>(option), false));
  const int32_t code = verdict->getErrCode();
  if (code == OPEN_TAVRO_SETTING_OK) {
    if (send_setting(static_cast<int32_t>(setting), static_cast<int32_t>(option)) == 0) {
      return Empty(200);
    }
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to set setting id:%u, option:%u", setting, option);
    return Bare(500);
  }
  if (code < OPEN_TAVRO_SETTING_BLOCKED || code > OPEN_TAVRO_OPTION_UNSUPPORTED) {
    ZQ_LOG(ZQ_LOG_ERROR, "Unknown OpenTavroSettingResponseErr:%d returned", code);
  }
  std::vector<ZqoaOption> options;
  for (const std::shared_ptr<BHOption>& o : verdict->getOptions()) {
    if (o != nullptr) options.push_back({o->getId(), o->getName(), o->isValid()});
  }
  ZqoaAnswer refusal = zqoa_setting_refusal(code, setting, option, options);
  return ZqAnswer::Json(refusal.status, std::move(refusal.body));
}

ZqAnswer FromPreset(ZqPresetAnswer&& a) {
  return ZqAnswer::Bytes(a.status, a.content_type, std::move(a.body));
}

std::optional<ZqAnswer> Presets(Call& c) {
  if (c.path == "camera/presets/get") {
    if (c.query != nullptr) return Empty(400);
    ControlLocks locks;
    return FromPreset(handle_preset_get_presets(true));
  }
  uint32_t id = 0;
  if (c.path == "camera/presets/load") {
    if (c.query == nullptr || !zqoa_scan(c.query, "id=%u", &id, 1)) return Empty(400);
    ControlLocks locks;
    return FromPreset(handle_preset_load(id, true));
  }
  if (c.path != "camera/presets/set_group") return std::nullopt;
  if (c.query != nullptr && zqoa_scan(c.query, "id=%hu", &id, 1)) {
    ControlLocks locks;
    set_csi_analytics_source_wifi();
    if (getUIModeGroups(c.api.model).contains(id)) {
      const uint16_t group = static_cast<uint16_t>(id);
      uint8_t param[2] = {static_cast<uint8_t>(group), static_cast<uint8_t>(group >> 8)};
      if (zqcontrol_send_command_param_response(ZQCONTROL_SET_MODE, param, sizeof param, nullptr,
                                                0) == 0) {
        return Empty(200);
      }
    }
  }
  ZQ_LOG(ZQ_LOG_ERROR, "Path:%.*s is not set correctly, pParams:%s",
         static_cast<int>(c.path.size()), c.path.data(), c.query ? c.query : "(null)");
  return Empty(400);
}

std::optional<ZqAnswer> Stream(Call& c) REQUIRES(g_openApiMutex) {
  pid_t& pid = c.api.stream_pid;
  if (c.path == "camera/stream/start") {
    const std::string helper = zq_path(kZqStreamHelperPath);
    // A helper this daemon started and has not seen end is running, whatever /proc says.
    if (pid != 0 && zq_child_reap(pid)) pid = 0;
    if (pid != 0 || zq_program_running(helper)) return Empty(409);
    const std::string client(c.request.Client());
    {
      ZqLock csi(g_CSIMutex);
      const int32_t err =
          csi_set(kCsiStreamClient, client.c_str(), static_cast<uint32_t>(client.size() + 1));
      if (err != 0) ZQ_LOG(ZQ_LOG_ERROR, "csi_set %d failed - status %d", kCsiStreamClient, err);
    }
    const pid_t child = zq_child_spawn(helper, {"zqStreamVerse", "-m", "1"});
    if (child < 0) return Empty(500);
    pid = child;
    return Empty(200);
  }
  if (c.path != "camera/stream/stop") return std::nullopt;
  if (c.query != nullptr) return Empty(400);
  if (pid != 0 && zq_child_stop(pid)) pid = 0;
  return Empty(200);
}

std::optional<ZqAnswer> Version(Call& c) {
  if (c.path != "version") return std::nullopt;
  if (c.query != nullptr) return Empty(400);
  const char* version = getOpenTavroVersion(c.api.model);
  ZqoaAnswer a = zqoa_version_body(version);
  if (a.status != 200) ZQ_LOG(ZQ_LOG_ERROR, "Failed to store openTavro version: %s", version);
  return ZqAnswer::Json(a.status, std::move(a.body));
}

std::optional<ZqAnswer> DigitalZoom(Call& c) {
  if (c.path != "camera/digital_zoom") return std::nullopt;
  uint32_t percent = 0;
  if (c.query == nullptr || !zqoa_scan(c.query, "percent=%u", &percent, 1)) return Empty(400);
  ControlLocks locks;
  std::array<uint8_t, kCameraStateSize> state = {};
  const int32_t err = zqcontrol_send_command_param_response(ZQCONTROL_CAMERA_STATE, nullptr, 0,
                                                            state.data(), state.size());
  if (err != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqcontrol_send_command_param_response error, %d", err);
    return Empty(500);
  }
  if (static_cast<int8_t>(state[kZoomUsableOffset]) != 1) return Empty(400);
  return Empty(ResultStatus(send_digital_zoom(percent)));
}

std::optional<ZqAnswer> KeepAlive(Call& c) {
  if (c.path != "camera/keep_alive") return std::nullopt;
  if (c.query != nullptr) return Empty(400);
  ControlLocks locks;
  if (send_setting(91, 66) == 0) return Empty(200);
  ZQ_LOG(ZQ_LOG_ERROR, "Failed to set setting for Keep Alive");
  return Empty(500);
}

std::optional<ZqAnswer> Control(Call& c) {
  const bool ui = c.path == "camera/control/set_ui_controller";
  if (!ui && c.path != "camera/control/wired_usb") return std::nullopt;
  ControlLocks locks;
  const int32_t result = RunHandler(
      ui ? handle_set_camera_control_status : handle_wired_usb_control, c.query, nullptr);
  if (!ui && result != 0 && result != ZQ_ERR_INVALID_PARAM) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to set wired usb, err:%d", result);
  }
  return Empty(ResultStatus(result));
}

std::optional<ZqAnswer> Shutter(Call& c) {
  const bool start = c.path == "camera/shutter/start";
  if (!start && c.path != "camera/shutter/stop") return std::nullopt;
  ControlLocks locks;
  if (!start) {
    uint8_t busy = 1;
    if (zqcontrol_send_command_param_response(ZQCONTROL_BUSY, nullptr, 0, &busy, 1) == 0 &&
        busy == 0) {
      ZQ_LOG(ZQ_LOG_DEBUG, "Skipping stop shutter command because camera is not busy");
      return Empty(200);
    }
  }
  set_csi_analytics_source_wifi();
  if (c.query != nullptr) return Empty(400);
  const uint8_t on = start ? 1 : 0;
  return Empty(zqcontrol_send_command_param_response(ZQCONTROL_SHUTTER, &on, 1, nullptr, 0) == 0
                   ? 200
                   : 500);
}

// The value of `name` in the query, or null when absent.
const char* Param(const Call& c, std::string_view name, std::string* value) {
  if (c.query == nullptr) return nullptr;
  return zq_query_param(c.query, name, kParamMax, value) == ZqParam::kFound ? value->c_str()
                                                                            : nullptr;
}

std::optional<ZqAnswer> SetDateTime(Call& c) {
  if (c.path != "camera/set_date_time") return std::nullopt;
  std::string date, time, tzone, dst;
  const char* d = Param(c, "date", &date);
  const char* t = Param(c, "time", &time);
  if (d == nullptr || t == nullptr) {
    ZQ_LOG(ZQ_LOG_ERROR, "Failed to read in date or time parameter");
    return ZqAnswer::Json(400, kZqoaMissingDateTimeBody);
  }
  std::string param;
  if (!zqoa_date_time_param(d, t, Param(c, "tzone", &tzone), Param(c, "dst", &dst), &param)) {
    return ZqAnswer::Json(400, kZqoaInvalidDateTimeBody);
  }
  ZQ_LOG(ZQ_LOG_DEBUG, "set date time string %s", param.c_str());
  ControlLocks locks;
  if (RunHandler(handle_date_time_dst, param.c_str(), nullptr) == 0) {
    return ZqAnswer::Json(200, "{}");
  }
  return ZqAnswer::Json(400, kZqoaInvalidDateTimeBody);
}

std::optional<ZqAnswer> GetDateTime(Call& c) {
  if (c.path != "camera/get_date_time") return std::nullopt;
  if (c.query != nullptr) return ZqAnswer::Json(400, kZqoaNoParametersBody);
  ControlLocks locks;
  std::array<uint8_t, kDateTimeSize> record = {};
  if (zqcontrol_send_command_param_response(ZQCONTROL_GET_DATE_TIME, nullptr, 0, record.data(),
                                            record.size()) != 0) {
    return ZqAnswer::Json(500, "{}");
  }
  return ZqAnswer::Json(200, zqoa_date_time_body(record.data()));
}

// "media/...": the media list and turbo endpoints take the request as it is; tags and deletes
// become storage commands; the metadata family (telemetry, info, zqmf, screennail, thumbnail,
// metadata) goes to the metadata route with the parameters its plan adds to the query.
std::optional<ZqAnswer> Media(Call& c) {
  const ZqMediaAction action = zqoa_media_action(c.path);
  if (action == ZqMediaAction::kNone) return std::nullopt;
  // The "path" variable, decoded; null when absent or longer than the 255 bytes any use takes.
  std::string path_value;
  const bool has_path =
      c.query != nullptr && c.request.Param("path", 255, &path_value) == ZqParam::kFound;
  const ZqMediaPlan plan =
      zqoa_media_plan(action, c.query, has_path ? path_value.c_str() : nullptr);
  if (plan.status != 0) {
    if (!plan.log.empty()) ZQ_LOG(ZQ_LOG_ERROR, "%s", plan.log.c_str());
    return Empty(plan.status);
  }
  switch (action) {
    case ZqMediaAction::kList:
      return zqMediaList(c.request);
    case ZqMediaAction::kTurbo:
      return zqTurbo(c.request);
    case ZqMediaAction::kTagMoment: {
      ControlLocks locks;
      return Empty(
          zqoa_media_result_status(action, RunHandler(handle_tag_recording, nullptr, nullptr)));
    }
    case ZqMediaAction::kTagFile:
    case ZqMediaAction::kTagRemove: {
      ControlLocks locks;
      return Empty(zqoa_media_result_status(
          action, send_tag_playback(plan.tag.data(), static_cast<uint32_t>(plan.tag.size()))));
    }
    case ZqMediaAction::kDelete: {
      ControlLocks locks;
      return Empty(zqoa_media_result_status(action, send_delete_file(plan.delete_path.c_str())));
    }
    case ZqMediaAction::kTelemetry:
    case ZqMediaAction::kInfo:
    case ZqMediaAction::kZqmf:
    case ZqMediaAction::kScreennail:
    case ZqMediaAction::kThumbnail:
    case ZqMediaAction::kMetadata:
      return zqmediametadata_answer(c.request, plan.extra);
    case ZqMediaAction::kNone:
      break;
  }
  return std::nullopt;
}

// "webcam/...": the webcam face of the Open API, its start checked against the model's settings
// (the options the model offers for the resolution and field-of-view settings).
std::optional<ZqAnswer> Webcam(Call& c) {
  constexpr std::string_view kPrefix = "webcam/";
  if (c.path.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  const int model = c.api.model;
  ZqWebcamFilter filter;
  filter.supported = [model](int32_t setting, uint32_t option) {
    const BHOptionIds ids = getOptionIds(model);
    const auto it = ids.find(setting);
    if (it == ids.end()) return false;
    for (int32_t id : it->second) {
      if (static_cast<uint32_t>(id) == option) return true;
    }
    return false;
  };
  filter.options = [model](int32_t setting) {
    std::vector<ZqWebcamOption> out;
    for (const BHSettingOptions& s : getCameraOptions(model)) {
      if (s.setting_id != setting) continue;
      for (const auto& [id, name] : s.options) out.push_back({static_cast<uint32_t>(id), name});
    }
    return out;
  };
  return zqwebcam_openapi(c.path.substr(kPrefix.size()), c.request, &filter);
}

// Analytics, under the control API's locks for the whole request. "camera/analytics/get"
// answers with the files themselves, or an empty body where the control interface would say
// there are none.
std::optional<ZqAnswer> Analytics(Call& c) {
  const bool get = c.path == "camera/analytics/get";
  const bool clear = c.path == "camera/analytics/clear";
  if (!get && !clear && c.path != "camera/analytics/set_client_info") return std::nullopt;
  ControlLocks locks;
  if (c.query != nullptr) return Empty(400);
  if (get) {
    std::vector<ZqAnalyticsFile> files;
    uint64_t total = 0;
    const int32_t status = zq_analytics_prepare(&files, &total);
    if (status == ZQ_OK && total > 0) return zqcontrol_analytics_stream(std::move(files), total);
    if (status == -1) {
      ZQ_LOG(ZQ_LOG_ERROR, "Failed to get the CSI, that checks if the camera is recording");
    } else if (status == ZQ_ERR_ACCESS_DENIED) {
      ZQ_LOG(ZQ_LOG_ERROR, "Unable to get analytics, since camera is recording");
      return Empty(403);
    } else {
      ZQ_LOG(ZQ_LOG_ERROR, "Request to get analytics failed with error:%d", status);
    }
    return Empty(500);
  }
  if (clear) {
    RunHandler(handle_command_analytics_clear, nullptr, nullptr);
    return Empty(200);
  }
  return Empty(RunHandler(handle_command_set_client_info, nullptr, nullptr) == 0 ? 200 : 500);
}

// In the order of kZqOpenApiEndpoints.
constexpr std::array<Endpoint, kZqOpenApiEndpoints.size()> kEndpoints = {
    State,       Setting,   Presets,   Stream,  Webcam,  Media,       Version,
    DigitalZoom, Analytics, KeepAlive, Control, Shutter, SetDateTime, GetDateTime,
};

}  // namespace

ZqAnswer zqOpenTavroHandler(ZqRequest& request) {
  OpenApi& api = Shared();
  ZqLock lock(g_openApiMutex);
  const std::string uri(request.Uri());
  const std::string query(request.Query());
  Call call{request, zqoa_path_from_uri(uri), request.HasQuery() ? query.c_str() : nullptr, api};
  const int index = zqoa_find_endpoint(kZqOpenApiEndpoints, call.path);
  if (index < 0) return Empty(404);
  const int32_t err = zqcontrol_interface_open();
  if (err != 0) ZQ_LOG(ZQ_LOG_ERROR, "Error[%d] opening the daemon interface", err);
  std::optional<ZqAnswer> answer = kEndpoints[static_cast<size_t>(index)](call);
  if (err == 0) zqcontrol_interface_close();
  return answer ? std::move(*answer) : Empty(404);
}

void zqOpenTavroStop() {
  OpenApi* api = g_api.load();
  if (api == nullptr) return;  // no request came: nothing was started
  ZqLock lock(g_openApiMutex);
  if (api->stream_pid == 0) return;
  if (zq_child_stop(api->stream_pid)) {
    api->stream_pid = 0;
  } else {
    ZQ_LOG(ZQ_LOG_ERROR, "streaming helper %d did not end", static_cast<int>(api->stream_pid));
  }
}
