#include "zqfirmware/update.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "zqBufferedWriter.h"
#include "zqcommon/zqHtml.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"
#include "zqcommon/zqUniqueFd.h"
#include "zqcommon/zqUrl.h"

namespace zqfw {

namespace {

// A form-encoded body holds a few short fields.
constexpr size_t kMaxFormBody = 65536;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Lower(text.substr(0, prefix.size())) == prefix;
}

bool IsDirectory(const std::string& path) {
  struct stat st = {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// `path` is a directory, made now (mode 0777) when it was missing.
bool HaveDirectory(const std::string& path) {
  return IsDirectory(path) || (mkdir(path.c_str(), 0777) == 0) || IsDirectory(path);
}

// Whether a "DirectToSD" value is the number 1.
bool IsOne(const std::optional<std::string>& text) {
  if (!text) return false;
  const char* begin = text->c_str();
  char* end = nullptr;
  errno = 0;
  const long v = strtol(begin, &end, 10);
  if (end == begin || errno != 0) return false;
  while (isspace(static_cast<unsigned char>(*end))) ++end;
  return *end == '\0' && v == 1;
}

void SleepMs(long ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A target that refuses data: stops reading a body whose package cannot be written.
class RefusingTarget final : public FileTarget {
 public:
  bool Write(std::string_view) override { return false; }
};

}  // namespace

// The fields handleSubmit looks at, from the query, a form-encoded body or a multipart body.
struct Updater::Form {
  std::optional<std::string> update;
  std::optional<std::string> direct_to_sd;
  std::optional<std::string> sha1;
  bool has_file = false;  // the "file" field named a file
  bool stored = false;    // its data is in upload_, whole
};

std::string UpdateJson(int result) { return "{ \"status\":\"" + std::to_string(result) + "\" }"; }

std::string UpdateFormError() { return "{ \"Status\": \"Error reading form data\"}\r\n"; }

std::string showForm(std::string_view script_name) {
  return "<HTML><HEAD><TITLE>Tavro Firmware Updater</TITLE></HEAD>\n"
         "<BODY><H1>Upload Firmware</H1>\n"
         "<form method=\"POST\" enctype=\"multipart/form-data\" "
         "\taction=\"" +
         zq_html_escape(script_name) +
         "\">\n"
         "<input type=\"hidden\" name=\"DirectToSD\" value=\"1\">"
         "<p>Firmware Package:\n"
         "<input type=\"file\" name=\"file\" value=\"\">"
         "<p>\n"
         "<p>Sha1sum:\n"
         "<input type=\"text\" name=\"sha1\" size=\"50\" value=\"\">"
         "<p>\n"
         "<input type=\"submit\" name=\"update\">"
         "</form>\n"
         "</BODY></HTML>\n";
}

Updater::Options Updater::DefaultOptions() {
  Options o;
  o.card = zq_path(kZqSdCardRoot);
  o.screen_ms = zq_scaled_ms(o.screen_ms);
  o.poll_ms = zq_scaled_ms(o.poll_ms);
  o.install_timeout_ms = zq_scaled_ms(o.install_timeout_ms);
  return o;
}

Updater::Updater(CameraStatusPort* status, Options options)
    : status_(status),
      options_(std::move(options)),
      misc_(options_.card + "/MISC"),
      package_(misc_ + "/firmware.zqu"),
      upload_(package_ + ".tmp") {}

UpdateOutcome Updater::Handle(const UpdateRequest& request) {
  ZqLock lock(mu_);
  UpdateOutcome out = Locked(request);
  // Whatever the request did not keep goes with it.
  unlink(upload_.c_str());
  return out;
}

UpdateOutcome Updater::Locked(const UpdateRequest& request) {
  const std::string method = Lower(request.method);
  const bool get = method.empty() || method == "get" || method == "head";
  if (!get && method != "post") return {UpdateOutcome::Kind::kMethodNotAllowed, "", 0};
  auto json = [](int result) {
    return UpdateOutcome{UpdateOutcome::Kind::kJson, UpdateJson(result), result};
  };

  if (!IsDirectory(options_.card)) return json(kUpdateNoCard);
  if (!HaveDirectory(misc_)) return json(kUpdateNoMiscFolder);
  if (!CardHasRoomForUpdate(options_.card)) return json(kUpdateFailed);

  SetOta(kOtaScreen);
  SleepMs(options_.screen_ms);
  if (!HaveDirectory(options_.card + "/UPDATE")) {
    SetOta(kOtaUploadFailed);
    return json(kUpdateNoUpdateFolder);
  }

  Form form;
  if (get) {
    form.update = zq_form_value(request.query, "update");
    form.direct_to_sd = zq_form_value(request.query, "DirectToSD");
    form.sha1 = zq_form_value(request.query, "sha1");
  } else if (!ReadPost(request, &form)) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqUpdate: %s", "Error reading form data");
    SetOta(kOtaUploadFailed);
    return {UpdateOutcome::Kind::kFormError, UpdateFormError(), 0};
  }
  if (!form.update) return {UpdateOutcome::Kind::kHtml, showForm(request.script_name), 0};
  return json(handleSubmit(form));
}

bool Updater::ReadPost(const UpdateRequest& request, Form* form) {
  if (StartsWithNoCase(request.content_type, "application/x-www-form-urlencoded")) {
    std::string text;
    if (request.body == nullptr || !ReadSmallBody(*request.body, kMaxFormBody, &text)) {
      return false;
    }
    form->update = zq_form_value(text, "update");
    form->direct_to_sd = zq_form_value(text, "DirectToSD");
    form->sha1 = zq_form_value(text, "sha1");
    return true;
  }
  if (StartsWithNoCase(request.content_type, "multipart/form-data")) {
    return request.body != nullptr && ReadMultipart(request, form);
  }
  return true;  // a body of another kind carries no fields
}

bool Updater::ReadMultipart(const UpdateRequest& request, Form* form) {
  MultipartParser parser(MultipartBoundary(request.content_type));
  if (parser.error() == MultipartError::kBadBoundary) return false;

  std::unique_ptr<BufferedWriter> writer;
  RefusingTarget refuse;
  int store_error = 0;
  FormReader reader("file", [&](const FormPart& part, const FormReader&) -> FileTarget* {
    if (!part.filename || part.filename->empty()) return nullptr;
    // A new package replaces the one an earlier request left.
    unlink(package_.c_str());
    digest_.Forget();
    UniqueFd fd(open(upload_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    struct stat st = {};
    if (!fd.valid() || fstat(fd.get(), &st) != 0) {
      store_error = errno != 0 ? errno : EIO;
      return &refuse;
    }
    writer = std::make_unique<BufferedWriter>(
        std::move(fd), FeedDigest(&digest_, FileId{st.st_dev, st.st_ino}, 0), options_.write);
    return writer.get();
  });
  const BodyResult r = ReadMultipartBody(*request.body, parser, reader);
  if (writer != nullptr) {
    const int e = writer->Finish();
    if (store_error == 0) store_error = e;
  }
  if (store_error != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqUpdate: the package could not be written: %s", strerror(store_error));
    return false;
  }
  if (r.status != MultipartStatus::kDone) {
    ZQ_LOG(ZQ_LOG_WARN, "zqUpdate: body not read: %s%s", MultipartErrorText(r.error),
           r.read_failed ? " (connection)" : "");
    return false;
  }
  auto field = [&reader](const char* name) -> std::optional<std::string> {
    const std::string* value = reader.Field(name);
    return value != nullptr ? std::optional<std::string>(*value) : std::nullopt;
  };
  form->update = field("update");
  form->direct_to_sd = field("DirectToSD");
  form->sha1 = field("sha1");
  form->has_file = reader.file() && reader.file()->filename && !reader.file()->filename->empty();
  form->stored = writer != nullptr;
  return true;
}

int Updater::handleSubmit(const Form& form) {
  if (!form.has_file) {
    SetOta(kOtaUploadFailed);
    return kUpdateNoFile;
  }
  if (!IsOne(form.direct_to_sd)) {
    SetOta(kOtaUploadFailed);
    return kUpdateNotDirectToSd;
  }
  std::string digest;
  if (!form.stored || !digest_.Compute(upload_, &digest)) {
    SetOta(kOtaUploadFailed);
    return kUpdateNoFile;
  }
  status_->Write(kCsiFwProgress, 100, 4);
  SetOta(kOtaReceived);
  const std::string sent = form.sha1 ? Lower(*form.sha1) : "";
  if (sent != digest) {
    ZQ_LOG(ZQ_LOG_ERROR, "%s:verification failed: sha1_server = '%40.40s', digest_str = '%40.40s'",
           "handleSubmit", sent.c_str(), digest.c_str());
    SetOta(kOtaDigestMismatch);
    return kUpdateDigestMismatch;
  }
  if (rename(upload_.c_str(), package_.c_str()) != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqUpdate: the package could not be kept: %s", strerror(errno));
    SetOta(kOtaUploadFailed);
    return kUpdateFailed;
  }
  // The name must survive a power cut as surely as the bytes did.
  UniqueFd dir(open(misc_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) fsync(dir.get());
  return AwaitInstall();
}

int Updater::AwaitInstall() {
  if (!SetOta(kOtaInstall)) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqUpdate: the install could not be started");
    return kUpdateFailed;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.install_timeout_ms);
  for (;;) {
    uint32_t state = 0;
    if (status_->Read(kCsiOtaState, &state) != 0) {
      ZQ_LOG(ZQ_LOG_ERROR, "zqUpdate: the OTA state cannot be read; outcome unknown");
      return kUpdateFailed;
    }
    if (state != kOtaInstall) {
      if (state == kOtaInstalled) {
        ZQ_LOG(ZQ_LOG_INFO, "OTA SUCCES %d ", static_cast<int>(state));
        return kUpdateInstalled;
      }
      ZQ_LOG(ZQ_LOG_ERROR, "OTA FAILED %d ", static_cast<int>(state));
      return kUpdateFailed;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ZQ_LOG(ZQ_LOG_ERROR, "zqUpdate: no outcome from the camera in %ld ms",
             options_.install_timeout_ms);
      return kUpdateFailed;
    }
    SleepMs(std::min<long>(options_.poll_ms, static_cast<long>(left.count())));
  }
}

bool Updater::SetOta(uint32_t state) { return status_->Write(kCsiOtaState, state, 1) == 0; }

}  // namespace zqfw
