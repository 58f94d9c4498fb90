#include "zqupdate/zqUpdateRoutes.h"

#include <cstdlib>
#include <optional>

#include "core/zqCsi.h"

namespace {

// The request's body as the firmware library reads it.
class RequestBody final : public zqfw::BodySource {
 public:
  explicit RequestBody(ZqRequest& request) : request_(request) {}
  ssize_t Read(char* buffer, size_t size) override {
    const long n = request_.Read(buffer, size);
    return n < 0 ? -1 : n;
  }

 private:
  ZqRequest& request_;
};

// Request words are short; a longer value is no known word and is answered as one.
constexpr size_t kMaxWord = 64;

std::string_view ContentType(const ZqRequest& request) {
  const char* type = request.Header("Content-Type");
  return type != nullptr ? type : "";
}

ZqAnswer MethodNotAllowed() {
  return ZqAnswer::Bytes(405, "text/plain; charset=utf-8", "Method Not Allowed\n")
      .Header("Allow", "GET, HEAD, POST");
}

zqfw::CsiStatusPort& CameraStatus() {
  static zqfw::CsiStatusPort port(&g_CSIMutex);
  return port;
}

}  // namespace

ZqAnswer zq_soft_update_serve(zqfw::SoftUpdate& upload, ZqRequest& request) {
  RequestBody body(request);
  zqfw::SoftUpdateRequest r;
  r.method = request.Method();
  std::string word;
  switch (request.Param("request", kMaxWord, &word)) {
    case ZqParam::kFound:
      r.request = word;
      break;
    case ZqParam::kTooLong:
      r.request = std::string();  // no known word: "Unknown request"
      break;
    case ZqParam::kMissing:
      break;
  }
  r.content_type = ContentType(request);
  r.body = &body;
  zqfw::SoftUpdateOutcome out = upload.Handle(r);
  switch (out.kind) {
    case zqfw::SoftUpdateOutcome::Kind::kHtml:
      return ZqAnswer::Bytes(200, "text/html", std::move(out.body));
    case zqfw::SoftUpdateOutcome::Kind::kMethodNotAllowed:
      return MethodNotAllowed();
    case zqfw::SoftUpdateOutcome::Kind::kJson:
      break;
  }
  return ZqAnswer::Json(200, std::move(out.body));
}

ZqAnswer zq_update_serve(zqfw::Updater& updater, ZqRequest& request,
                         const std::string& script_name) {
  RequestBody body(request);
  zqfw::UpdateRequest r;
  r.method = request.Method();
  r.query = request.Query();
  r.content_type = ContentType(request);
  r.body = &body;
  r.script_name = script_name;
  zqfw::UpdateOutcome out = updater.Handle(r);
  switch (out.kind) {
    case zqfw::UpdateOutcome::Kind::kHtml:
      return ZqAnswer::Bytes(200, "text/html", std::move(out.body));
    case zqfw::UpdateOutcome::Kind::kFormError:
      return ZqAnswer::Json(500, std::move(out.body));
    case zqfw::UpdateOutcome::Kind::kMethodNotAllowed:
      return MethodNotAllowed();
    case zqfw::UpdateOutcome::Kind::kJson:
      break;
  }
  return ZqAnswer::Json(200, std::move(out.body));
}

ZqAnswer zqSoftUpdateHandler(ZqRequest& request) {
  static auto* upload = new zqfw::SoftUpdate(&CameraStatus(), zqfw::SoftUpdate::DefaultOptions());
  return zq_soft_update_serve(*upload, request);
}

ZqAnswer zqUpdateHandler(ZqRequest& request) {
  static auto* updater = new zqfw::Updater(&CameraStatus(), zqfw::Updater::DefaultOptions());
  // The form posts back to the daemon's script name, as its environment tells it.
  static const std::string script_name = [] {
    const char* s = getenv("SCRIPT_NAME");
    return std::string(s != nullptr ? s : "");
  }();
  return zq_update_serve(*updater, request, script_name);
}
