// What the Open API reads from clients and from the control service, before any handler runs.
// The first byte chooses the input:
//   0: a media request. The second byte picks the action, the third says which of the query
//      and the path variable are absent (bits 0 and 1); the rest is the query, a line end,
//      then the path variable. What the plan lets through must be what the grammar promises.
//   1: a preset status reply of the control service. A reply that converts must be JSON that
//      maps back onto the message and converts again to the same text; one that does not
//      gets the two bytes "{}".
//   2: a query of the fixed forms (settings, ids, percent).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "opentavro/preset_status.pb.h"
#include "zqopenapi/zqMediaPath.h"
#include "zqopenapi/zqOpenApiQuery.h"
#include "zqproto/zqProtoJson.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

constexpr ZqMediaAction kActions[] = {
    ZqMediaAction::kNone,      ZqMediaAction::kList,       ZqMediaAction::kTurbo,
    ZqMediaAction::kTagMoment, ZqMediaAction::kTagFile,    ZqMediaAction::kTagRemove,
    ZqMediaAction::kDelete,    ZqMediaAction::kTelemetry,  ZqMediaAction::kInfo,
    ZqMediaAction::kZqmf,      ZqMediaAction::kScreennail, ZqMediaAction::kThumbnail,
    ZqMediaAction::kMetadata};

// Every valid media name has the same shape: "path=", a 3-digit folder, "TAVRO/", eight
// letters or digits, a dot and a 3-character extension.
bool ShapedLikeAName(std::string_view q) {
  if (q.size() != 26 || q.substr(0, 5) != "path=" || q.substr(8, 6) != "TAVRO/" || q[22] != '.')
    return false;
  for (size_t i = 5; i < q.size(); ++i) {
    const char c = q[i];
    if (i == 13 || i == 22) continue;
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) return false;
  }
  return true;
}

void MediaRequest(const uint8_t* data, size_t size) {
  if (size < 2) return;
  const ZqMediaAction action = kActions[data[0] % std::size(kActions)];
  const uint8_t absent = data[1];
  const std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
  const size_t cut = rest.find('\n');
  // Both texts stop at a NUL, as the server's would.
  const std::string query = rest.substr(0, cut).c_str();
  const std::string path_var = cut == std::string::npos ? "" : rest.substr(cut + 1).c_str();
  const char* q = (absent & 1) ? nullptr : query.c_str();
  const char* p = (absent & 2) ? nullptr : path_var.c_str();

  const char* log = nullptr;
  if (zqoa_media_query_valid(query, &log)) Check(ShapedLikeAName(query));

  const ZqMediaPlan plan = zqoa_media_plan(action, q, p);
  Check(plan.status == 0 || plan.status == 400);
  if (plan.status != 0) return;
  switch (action) {
    case ZqMediaAction::kNone:
      Check(false);
      break;
    case ZqMediaAction::kList:
    case ZqMediaAction::kTagMoment:
      Check(q == nullptr);
      break;
    case ZqMediaAction::kDelete:
      Check(q != nullptr && ShapedLikeAName(query) && p != nullptr && plan.delete_path == p);
      break;
    case ZqMediaAction::kTagFile:
    case ZqMediaAction::kTagRemove: {
      Check(q != nullptr);
      // The record: the operation, a NUL-terminated name of the valid shape, the offset.
      Check(plan.tag[0] == (action == ZqMediaAction::kTagFile ? 1 : 0));
      Check(plan.tag[1] == 0 && plan.tag[2] == 0 && plan.tag[3] == 0);
      const char* name = reinterpret_cast<const char*>(plan.tag.data() + 4);
      Check(memchr(name, 0, kZqTagRecordSize - 8) != nullptr);
      Check(ShapedLikeAName(std::string("path=") + name));
      break;
    }
    case ZqMediaAction::kTurbo:
      break;
    default:
      // Metadata: only a whole valid query goes on, and the hand-off never carries "..".
      Check(q != nullptr && ShapedLikeAName(query));
      Check(plan.extra.find("..") == std::string::npos);
      Check(plan.extra.empty() || plan.extra.rfind("&p=", 0) == 0 ||
            plan.extra.rfind("&t=", 0) == 0);
      break;
  }
}

void PresetStatus(const uint8_t* data, size_t size) {
  const ZqProtoJsonAnswer answer = zqproto_preset_status_json(data, size);
  if (answer.status != 200) {
    Check(answer.status == 500 && answer.body == "{}");
    return;
  }
  Check(nlohmann::json::accept(answer.body));
  open_tavro::NotifyPresetStatus prototype;
  std::string bytes, error;
  Check(zqproto_json_to_binary(answer.body, kZqPresetStatusTypeUrl, prototype, &bytes, &error));
  const ZqProtoJsonAnswer again = zqproto_preset_status_json(bytes.data(), bytes.size());
  Check(again.status == 200 && again.body == answer.body);
}

void FixedQuery(const uint8_t* data, size_t size) {
  const std::string text = std::string(reinterpret_cast<const char*>(data), size).c_str();
  uint32_t setting = 0, option = 0;
  if (zqoa_scan_setting(text.c_str(), &setting, &option)) {
    Check(text.rfind("setting=", 0) == 0 || text.rfind("option=", 0) == 0);
  }
  uint32_t id[1] = {0};
  if (zqoa_scan(text, "id=%hu", id, 1)) Check(id[0] <= 0xffff);
  uint32_t pair[2] = {0, 0};
  zqoa_scan(text, "percent=%u&x=%u", pair, 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  switch (data[0] % 3) {
    case 0:
      MediaRequest(data + 1, size - 1);
      break;
    case 1:
      PresetStatus(data + 1, size - 1);
      break;
    default:
      FixedQuery(data + 1, size - 1);
      break;
  }
  return 0;
}
