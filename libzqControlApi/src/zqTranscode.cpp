#include "zqcontrolapi/zqTranscode.h"

#include <algorithm>

#include "zqCtrlD.h"
#include "zqcommon/zqContainment.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcontrolapi/zqCommand.h"
#include "zqcontrolapi/zqQuery.h"
#include "zqcontrolapi/zqRecord.h"

namespace {

constexpr uint32_t kCommandHistory = 44;
constexpr uint32_t kCommandPhotoToVideo = 45;
constexpr uint32_t kCommandVideoToVideo = 46;
constexpr uint32_t kCommandStatus = 49;
constexpr uint32_t kCommandCancel = 50;

// The field that both requests carry as 1.
constexpr uint32_t kPreset = 1;

// Record fields.
constexpr size_t kSource = 0;
constexpr size_t kId = 264;
constexpr size_t kStatus = 272;
constexpr size_t kFailure = 276;
constexpr size_t kEstimate = 280;
constexpr size_t kCompletion = 284;
constexpr size_t kOutput = 288;

enum class Need : uint8_t { kOptional, kRequired };

// An unsigned parameter. `missing` and `bad` are the log lines (bad takes the text); an
// optional parameter that is absent leaves `*out` alone.
bool ReadU32(const char* query, const char* key, Need need, uint32_t* out, const char* missing,
             const char* bad) {
  std::string raw;
  switch (zq_query_find(query, key, &raw)) {
    case ZqQueryValue::kRepeated:
      return false;
    case ZqQueryValue::kAbsent:
      if (need == Need::kOptional) return true;
      ZQ_LOG(ZQ_LOG_ERROR, "%s", missing);
      return false;
    case ZqQueryValue::kFound:
      break;
  }
  if (zq_parse_u32(raw, out)) return true;
  ZQ_LOG(ZQ_LOG_ERROR, bad, raw.c_str());
  return false;
}

// "source=": decoded, inside the card by the containment rule, at most 256 characters; sent
// with "\" separators.
bool ReadSource(const char* query, std::string* source) {
  std::string s;
  if (!zq_query_get_decoded(query, "source=", &s)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Missing source= parameter");
    return false;
  }
  if (s.size() > kZqTranscodeSourceMax) {
    ZQ_LOG(ZQ_LOG_ERROR, "Transcode filename > %d", static_cast<int>(kZqTranscodeSourceMax));
    return false;
  }
  if (s.empty() || !zq_contain_name_ok(s)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid source= parameter");
    return false;
  }
  std::replace(s.begin(), s.end(), '/', '\\');
  *source = std::move(s);
  return true;
}

void PutSource(ZqRecordWriter& w, const std::string& source) {
  w.PutBytes(kSource, std::span(reinterpret_cast<const uint8_t*>(source.data()),
                                std::min(source.size(), kZqTranscodeSourceMax)));
}

// Sends a transcode request and reads the one record of its reply.
int32_t Request(uint32_t command, std::span<const uint8_t> request, std::string* body,
                bool* refused) {
  uint8_t reply[kZqTranscodeRecordSize] = {};
  *refused = false;
  zq_mark_source_wifi();
  const int32_t status = zqcontrol_send_command_param_response(
      command, request.data(), static_cast<uint32_t>(request.size()), reply, sizeof reply);
  if (status != ZQ_OK) {
    *refused = true;
    return status;
  }
  ZqTranscodeRecord record;
  zq_transcode_record_parse(reply, &record);
  *body = zq_transcode_status_body(record);
  return ZQ_OK;
}

}  // namespace

int32_t zq_transcode_video_parse(const char* query, ZqTranscodeVideo* out) {
  ZqTranscodeVideo v;
  const bool ok =
      ReadSource(query, &v.source) &&
      ReadU32(query, "lrv=", Need::kOptional, &v.lrv, "", "Failed to parse LRV parameter %s") &&
      ReadU32(query, "idr=", Need::kOptional, &v.idr, "", "Failed to parse idr parameter %s") &&
      ReadU32(query, "gop_m=", Need::kOptional, &v.gop_m, "",
              "Failed to parse gop_m parameter %s") &&
      ReadU32(query, "gop_n=", Need::kOptional, &v.gop_n, "",
              "Failed to parse gop_n parameter %s") &&
      ReadU32(query, "bitrate=", Need::kOptional, &v.bitrate, "",
              "Failed to parse bitrate parameter %s") &&
      ReadU32(query, "res=", Need::kRequired, &v.res, "Missing res= parameter",
              "Failed to parse res parameter %s") &&
      ReadU32(query, "fps_divisor=", Need::kRequired, &v.fps_divisor,
              "Missing fps_divisor= parameter", "Failed to parse fps_divisor parameter %s") &&
      ReadU32(query, "in_ms=", Need::kRequired, &v.in_ms, "Missing in_ms= parameter",
              "Failed to parse in_ms parameter %s") &&
      ReadU32(query, "out_ms=", Need::kRequired, &v.out_ms, "Missing out_ms= parameter",
              "Failed to parse out_ms parameter %s");
  if (!ok) return ZQ_ERR_INVALID_PARAM;
  *out = std::move(v);
  return ZQ_OK;
}

std::array<uint8_t, kZqTranscodeVideoSize> zq_transcode_video_bytes(const ZqTranscodeVideo& v) {
  std::array<uint8_t, kZqTranscodeVideoSize> bytes;
  ZqRecordWriter w(bytes);
  PutSource(w, v.source);
  const uint32_t fields[] = {v.lrv,    kPreset, v.res,   v.fps_divisor, v.in_ms,
                             v.out_ms, v.idr,   v.gop_m, v.gop_n,       v.bitrate};
  for (size_t i = 0; i < std::size(fields); ++i) w.Put(264 + 4 * i, fields[i], 4);
  return bytes;
}

int32_t zq_transcode_photo_parse(const char* query, ZqTranscodePhoto* out) {
  ZqTranscodePhoto p;
  const bool ok = ReadSource(query, &p.source) &&
                  ReadU32(query, "sc=", Need::kOptional, &p.sequence_count, "",
                          "Failed to parse sequence_count parameter %s") &&
                  ReadU32(query, "res=", Need::kRequired, &p.res, "Missing res= parameter",
                          "Failed to parse res parameter %s");
  if (!ok) return ZQ_ERR_INVALID_PARAM;
  *out = std::move(p);
  return ZQ_OK;
}

std::array<uint8_t, kZqTranscodePhotoSize> zq_transcode_photo_bytes(const ZqTranscodePhoto& p) {
  std::array<uint8_t, kZqTranscodePhotoSize> bytes;
  ZqRecordWriter w(bytes);
  PutSource(w, p.source);
  w.Put(260, kPreset, 4);
  w.Put(264, p.sequence_count, 4);
  w.Put(268, p.res, 4);
  return bytes;
}

bool zq_transcode_record_parse(std::span<const uint8_t> bytes, ZqTranscodeRecord* record) {
  if (bytes.size() < kZqTranscodeRecordSize) return false;
  ZqRecordReader r(bytes.first(kZqTranscodeRecordSize));
  ZqTranscodeRecord out;
  out.source = r.Text(kSource, kZqTranscodeSourceMax);
  std::replace(out.source.begin(), out.source.end(), '\\', '/');
  out.id = r.I64(kId);
  out.status = r.I32(kStatus);
  out.failure_reason = r.I32(kFailure);
  out.estimate = r.U32(kEstimate);
  out.completion = r.U32(kCompletion);
  out.output = r.Text(kOutput, kZqTranscodeRecordSize - kOutput);
  *record = std::move(out);
  return true;
}

void serialize_transcode_status(std::string& stream, const ZqTranscodeRecord& record) {
  stream += "{\"id\":" + std::to_string(record.id) + ",\"source\":\"";
  stream += zq_json_escape(record.source);
  stream += "\",\"status\":" + std::to_string(record.status) +
            ",\"failure_reason\":" + std::to_string(record.failure_reason) +
            ",\"estimate\":" + std::to_string(record.estimate) +
            ",\"completion\":" + std::to_string(record.completion) + ",\"output\":\"";
  stream += zq_json_escape(record.output);
  stream += "\"}";
}

std::string zq_transcode_status_body(const ZqTranscodeRecord& record) {
  std::string out = "\n{\"status\":";
  serialize_transcode_status(out, record);
  out += "}\n";
  return out;
}

std::string zq_transcode_history_body(std::span<const ZqTranscodeRecord> records) {
  std::string out = "\n{\"history\":[";
  bool first = true;
  for (const ZqTranscodeRecord& r : records) {
    if (r.source.empty()) continue;
    if (!first) out += ",";
    serialize_transcode_status(out, r);
    first = false;
  }
  out += "]}\n";
  return out;
}

int32_t zq_transcode_video_to_video(const char* query, std::string* body, bool* refused) {
  *refused = false;
  ZqTranscodeVideo v;
  if (zq_transcode_video_parse(query, &v) != ZQ_OK) return ZQ_ERR_INVALID_PARAM;
  ZQ_LOG(ZQ_LOG_DEBUG, "Sending Transcode video_to_video command for file %s", v.source.c_str());
  ZQ_LOG(ZQ_LOG_DEBUG, "lrv:%d res:%d fps_div:%d in_ms:%d out_ms:%d", static_cast<int>(v.lrv),
         static_cast<int>(v.res), static_cast<int>(v.fps_divisor), static_cast<int>(v.in_ms),
         static_cast<int>(v.out_ms));
  return Request(kCommandVideoToVideo, zq_transcode_video_bytes(v), body, refused);
}

int32_t zq_transcode_photo_to_video(const char* query, std::string* body, bool* refused) {
  *refused = false;
  ZqTranscodePhoto p;
  if (zq_transcode_photo_parse(query, &p) != ZQ_OK) return ZQ_ERR_INVALID_PARAM;
  ZQ_LOG(ZQ_LOG_DEBUG, "Sending Transcode photo_to_video for file %s", p.source.c_str());
  ZQ_LOG(ZQ_LOG_DEBUG, "sequence_count:%d res:%d", static_cast<int>(p.sequence_count),
         static_cast<int>(p.res));
  return Request(kCommandPhotoToVideo, zq_transcode_photo_bytes(p), body, refused);
}

int32_t zq_transcode_status(const char* query, bool cancel, std::string* body) {
  std::string raw;
  int64_t id = 0;
  if (!zq_query_get(query, "id=", &raw) || !zq_parse_i64(raw, &id)) return ZQ_ERR_INVALID_PARAM;
  if (cancel) {
    ZQ_LOG(ZQ_LOG_DEBUG, "Sending Transcode cancel command for id:%lld",
           static_cast<long long>(id));
  } else {
    ZQ_LOG(ZQ_LOG_DEBUG, "Sending Transcode status command for id:%lld",
           static_cast<long long>(id));
  }
  uint8_t request[8];
  ZqRecordWriter(request).Put(0, static_cast<uint64_t>(id), 8);
  uint8_t reply[kZqTranscodeRecordSize] = {};
  zq_mark_source_wifi();
  const int32_t status = zqcontrol_send_command_param_response(
      cancel ? kCommandCancel : kCommandStatus, request, sizeof request, reply, sizeof reply);
  if (status != ZQ_OK) return status;
  ZqTranscodeRecord record;
  zq_transcode_record_parse(reply, &record);
  *body = zq_transcode_status_body(record);
  return ZQ_OK;
}

int32_t zq_transcode_history(std::string* body) {
  uint8_t reply[2 * kZqTranscodeRecordSize] = {};
  zq_mark_source_wifi();
  const int32_t status =
      zqcontrol_send_command_param_response(kCommandHistory, nullptr, 0, reply, sizeof reply);
  if (status != ZQ_OK) return status;
  ZqTranscodeRecord records[2];
  for (int i = 0; i < 2; ++i) {
    zq_transcode_record_parse(std::span(reply).subspan(i * kZqTranscodeRecordSize), &records[i]);
  }
  *body = zq_transcode_history_body(records);
  return ZQ_OK;
}
