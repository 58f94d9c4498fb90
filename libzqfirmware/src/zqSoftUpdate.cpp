#include "zqfirmware/zqSoftUpdate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "zqBufferedWriter.h"
#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"
#include "zqcommon/zqUniqueFd.h"
#include "zqcommon/zqUrl.h"
#include "zqfirmware/zqFormReader.h"

namespace zqfw {

const char* const ERR_DESCRIPTIONS[kSuCodeCount] = {
    "OK",
    "Unknown request",
    "Bad parameters",
    "SHA1 sent did not match",
    "Calculated sha1 did not match",
    "HTTP boundary error",
    "HTTP post error",
    "Server Busy",
    "File did not resume at the expected byte",
    "Bad post data",
    "Firmware file was not complete and verified",
    "Firmware update in progress",
    "Not enough space for update",
};

namespace {

// A form-encoded request body holds one short word.
constexpr size_t kMaxFormBody = 4096;

SoftUpdateAnswer DigestLess(int code) {
  SoftUpdateAnswer a;
  a.code = code;
  return a;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return out;
}

// A digest as announced: 40 hex digits, stored in lower case.
bool NormalizeSha1(std::string_view text, std::string* out) {
  if (text.size() != 40 || !std::all_of(text.begin(), text.end(), [](char c) {
        return isxdigit(static_cast<unsigned char>(c)) != 0;
      })) {
    return false;
  }
  *out = Lower(text);
  return true;
}

// "true" is 1, "false" 0, anything else its decimal value (0 when it is not a number), an
// absent field -1.
long CompleteValue(const std::string* text) {
  if (text == nullptr) return -1;
  if (*text == "true") return 1;
  if (*text == "false") return 0;
  char* end = nullptr;
  errno = 0;
  const long v = strtol(text->c_str(), &end, 10);
  if (text->empty() || *end != '\0' || errno != 0) return 0;
  return v;
}

bool IsRegularFile(const std::string& path, uint64_t* size = nullptr) {
  struct stat st = {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (size != nullptr) *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool IsNoSpace(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

void SyncPath(const std::string& path, int flags) {
  UniqueFd fd(open(path.c_str(), flags | O_CLOEXEC));
  if (fd.valid()) fsync(fd.get());
}

// A target that refuses data: stops reading a body whose data cannot be stored.
class RefusingTarget final : public FileTarget {
 public:
  bool Write(std::string_view) override { return false; }
};

}  // namespace

std::string SoftUpdateJson(const SoftUpdateAnswer& a) {
  const int code = a.code >= 0 && a.code < kSuCodeCount ? a.code : kSuUnknownRequest;
  std::string out = "{\n    \"status\":" + std::to_string(a.code) + ",\n    \"message\":\"" +
                    ERR_DESCRIPTIONS[code] + "\"";
  if (!a.digest_less) {
    out += ",\n    \"sha1\":\"" + zq_json_escape(a.sha1) +
           "\",\n    \"bytes_complete\":" + std::to_string(a.bytes_complete) +
           ",\n    \"complete\":" + (a.complete ? "true" : "false");
  }
  out += "\n}\n";
  return out;
}

std::string SoftUpdateForm() {
  return "<HTML><HEAD><TITLE>Tavro Firmware Updater</TITLE></HEAD>\n"
         "<BODY><H1>Upload Firmware</H1>\n"
         "<form method=\"POST\" enctype=\"multipart/form-data\" "
         "\taction=\"\">\n"
         "<p>Sha1sum:\n"
         "<input type=\"text\" name=\"sha1\" size=\"50\" value=\"\">"
         "<p>\n"
         "<p>Firmware Package:\n"
         "<input type=\"file\" name=\"file\" value=\"\">"
         "<p>\n"
         "<input type=\"submit\" name=\"update\">"
         "</form>\n"
         "</BODY></HTML>\n";
}

SoftUpdate::Options SoftUpdate::DefaultOptions() {
  Options o;
  o.folder = zq_path("/fwupdate");
  o.card = zq_path(kZqSdCardRoot);
  return o;
}

SoftUpdate::SoftUpdate(CameraStatusPort* status, Options options)
    : status_(status),
      options_(std::move(options)),
      partial_(options_.folder + "/firmware.partial"),
      zip_(options_.folder + "/firmware.zip"),
      fstatus_(options_.folder + "/fstatus") {}

SoftUpdateOutcome SoftUpdate::Handle(const SoftUpdateRequest& request) {
  if (!request_mu_.TryLock()) {
    const SoftUpdateAnswer a = request.request == "canceled" ? Cancel() : DigestLess(kSuBusy);
    return {SoftUpdateOutcome::Kind::kJson, SoftUpdateJson(a), a.code};
  }
  ZqLock lock(request_mu_, std::adopt_lock);
  return Locked(request);
}

SoftUpdateOutcome SoftUpdate::Locked(const SoftUpdateRequest& request) {
  LoadOnce();
  auto json = [](const SoftUpdateAnswer& a) {
    return SoftUpdateOutcome{SoftUpdateOutcome::Kind::kJson, SoftUpdateJson(a), a.code};
  };
  const std::string method = Lower(request.method);
  const bool get = method == "get" || method == "head";
  const bool room = CardHasRoomForUpdate(options_.card);
  const bool form_post = method == "post" && StartsWithNoCase(request.content_type,
                                                              "application/x-www-form-urlencoded");
  if (!room && !form_post && !(get && request.request == "delete")) {
    return json(DigestLess(kSuNoSpace));
  }

  if (get) {
    ReloadDigest();
    if (!request.request) return {SoftUpdateOutcome::Kind::kHtml, SoftUpdateForm(), kSuOk};
    return json(Dispatch(*request.request));
  }
  if (method != "post") return {SoftUpdateOutcome::Kind::kMethodNotAllowed, "", kSuOk};
  if (form_post) {
    std::string text;
    if (request.body == nullptr || !ReadSmallBody(*request.body, kMaxFormBody, &text)) {
      return json(DigestLess(kSuBadParameters));
    }
    const std::optional<std::string> word = zq_form_value(text, "request");
    if (!word) return json(DigestLess(kSuBadParameters));
    if (!room && *word != "delete") return json(DigestLess(kSuNoSpace));
    ReloadDigest();
    return json(Dispatch(*word));
  }
  if (!StartsWithNoCase(request.content_type, "multipart/form-data") || request.body == nullptr) {
    return json(DigestLess(kSuPostError));
  }
  return json(PostMultipart(request.content_type, request.body));
}

SoftUpdateAnswer SoftUpdate::WithUpload(int code) {
  SoftUpdateAnswer a;
  a.code = code;
  a.digest_less = false;
  a.sha1 = stored_sha1_;
  a.bytes_complete = CurrentSize();
  a.complete = complete_;
  return a;
}

SoftUpdateAnswer SoftUpdate::Dispatch(const std::string& word) {
  if (InstallUnderWay()) return DigestLess(kSuInProgress);
  if (word == "delete") {
    RemoveAll();
    stored_sha1_.clear();
    complete_ = false;
    SetComplete(false);
    ZQ_LOG(ZQ_LOG_INFO, "firmware upload deleted");
    return WithUpload(kSuOk);
  }
  if (word == "progress") return WithUpload(kSuOk);
  if (word == "start") {
    if (!complete_) return WithUpload(kSuNotVerified);
    const bool told = status_->Write(kCsiOtaState, kOtaScreen, 1) == 0 &&
                      status_->Write(kCsiOtaState, kOtaStartInstall, 1) == 0;
    const SoftUpdateAnswer a = WithUpload(kSuOk);
    // When the camera could not be told, the package stays ready for another "start".
    if (told) {
      complete_ = false;
      SetComplete(false);
      ZQ_LOG(ZQ_LOG_INFO, "firmware install started");
    } else {
      ZQ_LOG(ZQ_LOG_ERROR, "firmware install: the OTA state could not be written");
    }
    return a;
  }
  if (word == "showui") {
    uint32_t state = 0;
    if (status_->Read(kCsiOtaState, &state) == 0 && state == kOtaScreen) {
      status_->Write(kCsiOtaState, kOtaIdle, 1);
    }
    status_->Write(kCsiOtaState, kOtaScreen, 1);
    return WithUpload(kSuOk);
  }
  if (word == "canceled") return Cancel();
  return DigestLess(kSuUnknownRequest);
}

SoftUpdateAnswer SoftUpdate::Cancel() {
  status_->Write(kCsiOtaState, kOtaIdle, 1);
  return DigestLess(kSuOk);
}

SoftUpdateAnswer SoftUpdate::PostMultipart(std::string_view content_type, BodySource* body) {
  if (InstallUnderWay()) return DigestLess(kSuInProgress);
  const std::string boundary = MultipartBoundary(content_type);
  MultipartParser parser(boundary);
  if (parser.error() == MultipartError::kBadBoundary) return DigestLess(kSuBoundary);

  ReloadDigest();
  const uint64_t start_size = CurrentSize();
  const std::string stored_offset = std::to_string(start_size);
  const std::string stored = stored_sha1_;
  // A package verified for this digest is never appended to. (A zip without a digest is a
  // left-over that a new upload replaces.)
  const bool verified_waits = !stored.empty() && IsRegularFile(zip_);

  // At the first file part: store its data or drop it, by the fields sent before it.
  std::unique_ptr<BufferedWriter> writer;
  RefusingTarget refuse;
  int store_error = 0;
  FormReader form("", [&](const FormPart&, const FormReader& fields) -> FileTarget* {
    request_mu_.AssertHeld();  // the form is read within this request
    const std::string* sha1 = fields.Field("sha1");
    const std::string* offset = fields.Field("offset");
    std::string sent;
    if (verified_waits || sha1 == nullptr || !NormalizeSha1(*sha1, &sent)) return nullptr;
    const bool fresh = stored.empty();
    if (fresh ? offset == nullptr
              : (sent != stored || offset == nullptr || *offset != stored_offset)) {
      return nullptr;
    }
    // A new upload is announced (fstatus) before its first byte is stored, so that an
    // interruption at any point leaves a state the next piece or "delete" can handle.
    if (fresh && !StartUpload(sent)) {
      store_error = errno != 0 ? errno : EIO;
      return &refuse;
    }
    writer = OpenPartial(fresh ? 0 : start_size, &store_error);
    if (writer == nullptr) return &refuse;
    if (fresh) ZQ_LOG(ZQ_LOG_INFO, "firmware upload started: %s", sent.c_str());
    return writer.get();
  });
  const BodyResult r = ReadMultipartBody(*body, parser, form);
  if (writer != nullptr) {
    const int e = writer->Finish();
    if (store_error == 0) store_error = e;
    writer.reset();
  }
  if (store_error != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "firmware upload: storing failed: %s", strerror(store_error));
    ReloadDigest();
    return WithUpload(IsNoSpace(store_error) ? kSuNoSpace : kSuPostError);
  }
  if (r.status != MultipartStatus::kDone) {
    ZQ_LOG(ZQ_LOG_WARN, "firmware upload: body not read: %s%s", MultipartErrorText(r.error),
           r.read_failed ? " (connection)" : "");
  }

  const bool parsed = r.status == MultipartStatus::kDone;
  const std::string* sha1_field = form.Field("sha1");
  const std::string* offset_field = form.Field("offset");
  std::string sent;
  const bool sent_valid = sha1_field != nullptr && NormalizeSha1(*sha1_field, &sent);
  if (!sent_valid && sha1_field != nullptr) sent = *sha1_field;
  const std::string sent_offset = offset_field != nullptr ? *offset_field : "";
  const long complete = CompleteValue(form.Field("complete"));

  const bool accepted =
      parsed && (stored.empty() ? sent_valid
                                : sent == stored && (sent_offset == stored_offset ||
                                                     (sent_offset == "-1" && complete > 0)));
  if (!accepted) {
    SoftUpdateAnswer a;
    a.code = sent != stored ? kSuSha1Sent
                            : (sent_offset != stored_offset ? kSuResumeOffset : kSuBadPostData);
    a.digest_less = false;
    a.sha1 = stored;
    a.bytes_complete = start_size;
    a.complete = complete_;
    // The same upload, asking for completion at another offset: the package may be whole
    // already (the answer to its last piece was lost), so it is checked anyway.
    if (parsed && complete > 0 && !complete_ && !stored.empty() && sent == stored) Verify();
    return a;
  }
  if (stored.empty()) stored_sha1_ = sent;
  if (complete > 0 && !complete_) return Verify();
  return WithUpload(kSuOk);
}

SoftUpdateAnswer SoftUpdate::Verify() {
  std::string computed;
  if (!stored_sha1_.empty() && digest_.Compute(partial_, &computed) && computed == stored_sha1_) {
    SyncPath(partial_, O_RDONLY);
    if (rename(partial_.c_str(), zip_.c_str()) != 0) {
      ZQ_LOG(ZQ_LOG_ERROR, "renamed file error %d", errno);
    } else {
      SyncPath(options_.folder, O_RDONLY | O_DIRECTORY);
      zq_drop_page_cache();
      complete_ = true;
      digest_.Forget();
      ZQ_LOG(ZQ_LOG_INFO, "firmware package verified: %s", computed.c_str());
    }
    SetComplete(complete_);
    return WithUpload(kSuOk);
  }
  ZQ_LOG(ZQ_LOG_ERROR, "firmware package did not verify: announced %s, computed %s",
         stored_sha1_.c_str(), computed.empty() ? "(none)" : computed.c_str());
  RemoveAll();
  stored_sha1_.clear();
  complete_ = false;
  SetComplete(false);
  return DigestLess(kSuSha1Calculated);
}

void SoftUpdate::LoadOnce() {
  if (loaded_) return;
  loaded_ = true;
  uint32_t flag = 0;
  if (status_->Read(kCsiFwComplete, &flag) != 0) flag = 0;
  ReloadDigest();
  complete_ = !stored_sha1_.empty() && IsRegularFile(zip_);
  if (flag != (complete_ ? 1u : 0u)) SetComplete(complete_);
}

void SoftUpdate::ReloadDigest() {
  stored_sha1_.clear();
  FILE* f = fopen(fstatus_.c_str(), "re");
  if (f != nullptr) {
    char line[64] = {};
    if (fgets(line, sizeof line, f) != nullptr) {
      std::string_view text(line);
      if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
      if (!NormalizeSha1(text, &stored_sha1_)) stored_sha1_.clear();
    }
    fclose(f);
  }
  // An upload in progress whose digest this process has not followed (it started since):
  // read the partial file back in the background, before the last piece needs it.
  uint64_t size = 0;
  if (!stored_sha1_.empty() && IsRegularFile(partial_, &size) && digest_.hashed() != size) {
    digest_.CatchUpLater(partial_);
  }
}

uint64_t SoftUpdate::CurrentSize() const {
  uint64_t size = 0;
  if (IsRegularFile(zip_, &size) || IsRegularFile(partial_, &size)) return size;
  return 0;
}

bool SoftUpdate::InstallUnderWay() {
  uint32_t state = 0;
  if (status_->Read(kCsiOtaState, &state) != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "firmware upload: the OTA state cannot be read");
    return true;
  }
  return state == kOtaInstalled || state == kOtaInstall || state == kOtaStartInstall;
}

void SoftUpdate::SetComplete(bool complete) {
  if (status_->Write(kCsiFwComplete, complete ? 1 : 0, 4) != 0) {
    ZQ_LOG(ZQ_LOG_ERROR, "firmware upload: the complete flag could not be written");
  }
}

void SoftUpdate::RemoveAll() {
  for (const std::string& path : {zip_, partial_, fstatus_, fstatus_ + ".tmp"}) {
    unlink(path.c_str());
  }
  SyncPath(options_.folder, O_RDONLY | O_DIRECTORY);
  digest_.Forget();
}

bool SoftUpdate::WriteFstatus(const std::string& sha1) {
  const std::string tmp = fstatus_ + ".tmp";
  const std::string line = sha1 + "\n";
  {
    UniqueFd fd(open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd.valid()) return false;
    const ssize_t n = write(fd.get(), line.data(), line.size());
    if (n != static_cast<ssize_t>(line.size())) {
      if (n >= 0) errno = ENOSPC;
      const int e = errno;
      unlink(tmp.c_str());
      errno = e;
      return false;
    }
    if (fsync(fd.get()) != 0) return false;
  }
  if (rename(tmp.c_str(), fstatus_.c_str()) != 0) return false;
  SyncPath(options_.folder, O_RDONLY | O_DIRECTORY);
  return true;
}

bool SoftUpdate::StartUpload(const std::string& sha1) {
  RemoveAll();  // left-overs of an upload whose digest is gone
  if (complete_) {
    complete_ = false;
    SetComplete(false);
  }
  errno = 0;
  return zq_make_dirs(options_.folder) && WriteFstatus(sha1);
}

std::unique_ptr<BufferedWriter> SoftUpdate::OpenPartial(uint64_t size, int* error) {
  UniqueFd fd(open(partial_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  struct stat st = {};
  if (!fd.valid() || fstat(fd.get(), &st) != 0) {
    *error = errno;
    return nullptr;
  }
  if (static_cast<uint64_t>(st.st_size) != size) {
    // Only this request writes the file; anything else changed it under us.
    ZQ_LOG(ZQ_LOG_ERROR, "firmware upload: partial file is %lld bytes, expected %llu",
           static_cast<long long>(st.st_size), static_cast<unsigned long long>(size));
    *error = EIO;
    return nullptr;
  }
  // The digest follows every byte that reaches the file.
  return std::make_unique<BufferedWriter>(
      std::move(fd), FeedDigest(&digest_, FileId{st.st_dev, st.st_ino}, size), options_.write);
}

}  // namespace zqfw
