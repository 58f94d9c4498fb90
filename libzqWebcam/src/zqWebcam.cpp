#include "zqwebcam/zqWebcam.h"

#include <fcntl.h>
#include <mqueue.h>

#include <cerrno>
#include <cstring>

#include "csi.h"
#include "zqcommon/zqByteOrder.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqMbox.h"
#include "zqcommon/zqPaths.h"
#include "zqcontrolapi/zqQuery.h"

namespace {

constexpr long kReplyCount = 5;
constexpr long kReplySize = 8;
// The queue's permission argument is the decimal number 664 (octal 1230), as the camera's
// webcam process expects of it; the creator's own read-only descriptor is unaffected, and the
// webcam process (the same user) may write.
constexpr mode_t kReplyMode = 664;

// The reply queue of one exchange: created at construction, closed and unlinked at
// destruction, whatever path the exchange takes.
class ReplyQueue {
 public:
  ReplyQueue() : name_(zq_mq_name(kZqWebcamReplyQueue)) {
    struct mq_attr attr = {};
    attr.mq_flags = 0;
    attr.mq_maxmsg = kReplyCount;
    attr.mq_msgsize = kReplySize;
    mqd_ = mq_open(name_.c_str(), O_CREAT | O_RDONLY | O_NONBLOCK | O_CLOEXEC, kReplyMode, &attr);
    if (mqd_ == static_cast<mqd_t>(-1)) {
      ZQ_LOG(ZQ_LOG_ERROR, "webcam: cannot create %s: %s", kZqWebcamReplyQueue, strerror(errno));
    }
  }
  ~ReplyQueue() {
    if (mqd_ == static_cast<mqd_t>(-1)) return;
    mq_close(mqd_);
    mq_unlink(name_.c_str());
  }
  ReplyQueue(const ReplyQueue&) = delete;
  ReplyQueue& operator=(const ReplyQueue&) = delete;

  bool valid() const { return mqd_ != static_cast<mqd_t>(-1); }

  // Replies left from an exchange that ended before its answer came (a queue another process
  // of the same root did not remove) are not this command's.
  void Drain() {
    char buf[kReplySize];
    for (int i = 0; i < kReplyCount; ++i) {
      if (mq_receive(mqd_, buf, sizeof buf, nullptr) < 0) break;
    }
  }

  bool Receive(ZqWebcamReply* reply) {
    uint8_t buf[kReplySize];
    const ssize_t n = zqMbox_receive_within(mqd_, buf, sizeof buf, zq_scaled_ms(kZqWebcamReplyMs));
    if (n < 0) return false;
    if (!zq_webcam_reply_parse(std::span(buf, static_cast<size_t>(n)), reply)) {
      ZQ_LOG(ZQ_LOG_ERROR, "webcam: reply of %d bytes dropped", static_cast<int>(n));
      return false;
    }
    return true;
  }

 private:
  std::string name_;
  mqd_t mqd_;
};

// A decimal query value, as the form reader gives it: nothing when absent or not a number.
std::optional<uint32_t> QueryNumber(const char* query, const char* key, bool* present) {
  std::string text;
  *present = zq_query_get_decoded(query, key, &text);
  uint32_t v = 0;
  if (!*present || !zq_parse_u32(text, &v)) return std::nullopt;
  return v;
}

ZqWebcamReply NoReply() { return {}; }

}  // namespace

std::optional<ZqWebcamOp> zq_webcam_legacy_op(std::string_view name) {
  struct Name {
    std::string_view text;
    ZqWebcamOp op;
  };
  static constexpr Name kNames[] = {
      {"START", ZqWebcamOp::kStart},
      {"STARTLTP", ZqWebcamOp::kStartLtp},
      {"STOP", ZqWebcamOp::kStop},
      {"PREVIEW", ZqWebcamOp::kPreview},
      {"PREVIEWLTP", ZqWebcamOp::kPreviewLtp},
      {"STATUS", ZqWebcamOp::kStatus},
      {"SETTINGS", ZqWebcamOp::kSettings},
      {"VERSION", ZqWebcamOp::kVersion},
      {"EXIT", ZqWebcamOp::kExit},
  };
  for (const Name& n : kNames) {
    if (n.text == name) return n.op;
  }
  return std::nullopt;
}

bool zq_webcam_res_bits(uint32_t res, uint32_t* bits) {
  switch (res) {
    case 7:
    case 720:
      *bits = 0x20;
      return true;
    case 12:
    case 1080:
      *bits = 0x10;
      return true;
    default:
      return false;
  }
}

uint32_t zq_webcam_fov_bits(uint32_t fov) {
  switch (fov) {
    case 0:
      return 0x100;
    case 2:
      return 0x300;
    case 3:
      return 0x400;
    case 4:
      return 0x200;
    default:
      return 0;
  }
}

bool zq_webcam_start_word(const char* query, bool ltp, uint32_t* word) {
  uint32_t bits = ltp ? kZqWebcamStartLtp : kZqWebcamStart;
  bool present = false;
  const std::optional<uint32_t> res = QueryNumber(query, "res=", &present);
  if (present) {
    uint32_t res_bits = 0;
    if (!res || !zq_webcam_res_bits(*res, &res_bits)) return false;
    bits |= res_bits;
  }
  const std::optional<uint32_t> fov = QueryNumber(query, "fov=", &present);
  if (fov) bits |= zq_webcam_fov_bits(*fov);
  *word = bits;
  return true;
}

bool zq_webcam_reply_parse(std::span<const uint8_t> bytes, ZqWebcamReply* reply) {
  if (bytes.size() != kReplySize) return false;
  reply->status = static_cast<int32_t>(zq_load_le32(bytes.data()));
  reply->error = static_cast<int32_t>(zq_load_le32(bytes.data() + 4));
  return true;
}

std::string zq_webcam_status_body(int32_t status, int32_t error) {
  return "{\n\t\"status\": " + std::to_string(status) + ",\n\t\"error\": " + std::to_string(error) +
         "\n}\n\n";
}

ZqWebcamAnswer zq_webcam_status_answer(const ZqWebcamReply& reply) {
  return {reply.error != 0 ? 500 : 200, zq_webcam_status_body(reply.status, reply.error)};
}

ZqWebcamAnswer zq_webcam_version() {
  return {200,
          "{\n\t\"version\": 4,\n\t\"usb_3_1_compatible\": true,\n\t\"orbex_lens_support\": "
          "false\n}\n\n"};
}

ZqWebcamReply zq_webcam_exchange(const ZqWebcamLock&, uint32_t word,
                                 const ZqWebcamStatusWrite& write) {
  ReplyQueue queue;
  if (!queue.valid()) return NoReply();
  queue.Drain();
  uint8_t bytes[4];
  zq_store_le32(bytes, word);
  const int32_t status = write(csi_id(kZqWebcamCommandStatusId), bytes, sizeof bytes);
  if (status != ZQ_OK) {
    // Nothing reached the webcam process: no answer will come.
    ZQ_LOG(ZQ_LOG_ERROR, "webcam: writing command 0x%x failed, %d", static_cast<unsigned>(word),
           status);
    return NoReply();
  }
  ZqWebcamReply reply;
  if (!queue.Receive(&reply)) {
    ZQ_LOG(ZQ_LOG_ERROR, "webcam: no reply to command 0x%x", static_cast<unsigned>(word));
    return NoReply();
  }
  return reply;
}

namespace {

void WriteClient(std::string_view client, const ZqWebcamStatusWrite& write) {
  if (client.empty()) return;
  const int32_t status =
      write(csi_id(kZqWebcamClientStatusId), client.data(), static_cast<uint32_t>(client.size()));
  if (status != ZQ_OK)
    ZQ_LOG(ZQ_LOG_ERROR, "webcam: writing the client address failed, %d", status);
}

}  // namespace

ZqWebcamAnswer zq_webcam_start(const ZqWebcamLock& lock, const char* query, std::string_view client,
                               bool ltp, const ZqWebcamStatusWrite& write) {
  uint32_t word = 0;
  if (!zq_webcam_start_word(query, ltp, &word)) {
    return {403, zq_webcam_status_body(-1, kZqWebcamErrBadParam)};
  }
  WriteClient(client, write);
  return zq_webcam_status_answer(zq_webcam_exchange(lock, word, write));
}

ZqWebcamAnswer zq_webcam_preview(const ZqWebcamLock& lock, std::string_view client, bool ltp,
                                 const ZqWebcamStatusWrite& write) {
  WriteClient(client, write);
  const uint32_t word = ltp ? kZqWebcamPreviewLtp : kZqWebcamPreview;
  return zq_webcam_status_answer(zq_webcam_exchange(lock, word, write));
}

ZqWebcamAnswer zq_webcam_simple(const ZqWebcamLock& lock, ZqWebcamCommand command,
                                const ZqWebcamStatusWrite& write) {
  return zq_webcam_status_answer(zq_webcam_exchange(lock, command, write));
}

ZqWebcamAnswer zq_webcam_settings(const ZqWebcamLock& lock, const char* query,
                                  const ZqWebcamStatusWrite& write,
                                  const ZqWebcamSendSetting& send_setting) {
  int32_t error = 0;
  bool present = false;
  const std::optional<uint32_t> bitrate = QueryNumber(query, "bitrate=", &present);
  if (present) {
    if (bitrate && *bitrate >= kZqWebcamBitrateMin && *bitrate <= kZqWebcamBitrateMax) {
      send_setting(kZqWebcamBitrateSetting, static_cast<int32_t>(*bitrate));
    } else {
      error = kZqWebcamErrBadParam;
    }
  }
  const std::optional<uint32_t> fov = QueryNumber(query, "fov=", &present);
  if (present) {
    auto set_fov = [&] {
      if (fov && *fov < kZqWebcamFovLimit) {
        send_setting(kZqWebcamFovSetting, static_cast<int32_t>(*fov));
      }
    };
    const ZqWebcamReply now = zq_webcam_exchange(lock, kZqWebcamStatus, write);
    if (now.error == 0 && now.status == 2) {
      // A field-of-view change while streaming needs a stream restart.
      zq_webcam_exchange(lock, kZqWebcamStop, write);
      set_fov();
      zq_webcam_exchange(lock, kZqWebcamStart, write);
    } else {
      set_fov();
    }
  }
  const ZqWebcamReply last = zq_webcam_exchange(lock, kZqWebcamStatus, write);
  return zq_webcam_status_answer({last.status, error});
}

bool zq_webcam_checked_query(std::string_view query, uint32_t* res, uint32_t* fov) {
  const size_t amp = query.find('&');
  if (amp == std::string_view::npos) return false;
  auto value = [](std::string_view pair, std::string_view key, uint32_t* out) {
    return pair.substr(0, key.size()) == key && zq_parse_u32(pair.substr(key.size()), out);
  };
  const std::string_view a = query.substr(0, amp);
  const std::string_view b = query.substr(amp + 1);
  return (value(a, "res=", res) && value(b, "fov=", fov)) ||
         (value(a, "fov=", fov) && value(b, "res=", res));
}

namespace {

void AppendBlock(std::string& out, const char* display, const std::vector<ZqWebcamOption>& opts) {
  out += "\n\t\t{\n\t\t\t\"display_name\": \"";
  out += display;
  out += "\",\n\t\t\t\"supported_options\": [";
  for (size_t i = 0; i < opts.size(); ++i) {
    out += "\n\t\t\t\t{\"display_name\": \"" + zq_json_escape(opts[i].name) +
           "\", \"id\": " + std::to_string(opts[i].id) + "}";
    if (i + 1 < opts.size()) out += ",";
  }
  // An empty option list still closes on its own line.
  out += "\n\t\t\t]\n\t\t}";
}

}  // namespace

std::string zq_webcam_unsupported_body(const std::vector<ZqWebcamOption>* res_options,
                                       const std::vector<ZqWebcamOption>* fov_options,
                                       size_t limit) {
  std::string out = "{\n\t\"status\": 0,\n\t\"error\": 6,\n\t\"supported_settings\": [";
  if (res_options != nullptr) AppendBlock(out, "Res", *res_options);
  if (res_options != nullptr && fov_options != nullptr) out += ",";
  if (fov_options != nullptr) AppendBlock(out, "FOV", *fov_options);
  out += "\n\t]\n}\n";
  if (out.size() >= limit) {
    ZQ_LOG(ZQ_LOG_ERROR, "Not enough room in buffer for response");
    return {};
  }
  return out;
}

ZqWebcamAnswer zq_webcam_checked_start(const ZqWebcamLock& lock, const char* query,
                                       std::string_view client, const ZqWebcamFilter* filter,
                                       const ZqWebcamStatusWrite& write) {
  auto short_body = [](int32_t error) {
    return "{\n\t\"status\": 0,\n\t\"error\": " + std::to_string(error) + "\n}\n";
  };
  if (filter == nullptr) {
    ZQ_LOG(ZQ_LOG_ERROR, "mHandler is NULL, unable to start webcam");
    return {500, short_body(kZqWebcamErrNoFilter)};
  }
  const std::string_view q = query != nullptr ? query : "";
  if (!q.empty()) {
    uint32_t res = 0;
    uint32_t fov = 0;
    if (!zq_webcam_checked_query(q, &res, &fov)) {
      ZQ_LOG(ZQ_LOG_ERROR, "Failed to read in params:%s, path:%s", query, "webcam/start");
      return {400, short_body(kZqWebcamErrBadParam)};
    }
    const bool res_ok = filter->supported(kZqWebcamResSetting, res);
    const bool fov_ok = filter->supported(kZqWebcamFovSetting, fov);
    if (!res_ok || !fov_ok) {
      std::vector<ZqWebcamOption> res_options;
      std::vector<ZqWebcamOption> fov_options;
      if (!res_ok) {
        ZQ_LOG(ZQ_LOG_ERROR, "Unsupported res:%u", res);
        res_options = filter->options(kZqWebcamResSetting);
      }
      if (!fov_ok) {
        ZQ_LOG(ZQ_LOG_ERROR, "Unsupported fov:%u", fov);
        fov_options = filter->options(kZqWebcamFovSetting);
      }
      std::string body = zq_webcam_unsupported_body(res_ok ? nullptr : &res_options,
                                                    fov_ok ? nullptr : &fov_options, 4096);
      if (body.empty()) return {500, "{}"};
      return {400, std::move(body)};
    }
  }
  return zq_webcam_start(lock, query, client, false, write);
}
