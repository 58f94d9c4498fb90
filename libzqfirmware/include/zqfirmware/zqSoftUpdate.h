// The resumable firmware upload behind /zq/zqSoftUpdate: an app sends a package in pieces,
// over several requests and broken connections, the daemon checks it against its SHA-1 and
// then has the camera install it.
//
// The upload lives in the update folder ("/fwupdate"), so that it survives the daemon:
//   firmware.partial  the package as received so far; pieces are appended
//   firmware.zip      the whole package, moved here once its digest matched
//   fstatus           the digest announced for the upload ("<40 hex digits>\n")
// and in camera status 44 (1 while a verified package waits). Status 42 is the camera's OTA
// state. Nothing about the upload is kept only in memory: every request reads the announced
// digest again, and the resume offset is always the size of the partial file on disk.
//
// Decisions where the request rules leave room:
//  - The free-space check (more than 350 MiB on the card) answers code 12 to every request
//    except "delete", which frees space: refusing it would leave a full card stuck.
//  - Methods other than GET, HEAD and POST get kMethodNotAllowed (the HTTP layer answers 405
//    with "Allow: GET, HEAD, POST"). HEAD is served as GET.
//  - An announced digest is 40 hex digits (upper-case digits are taken as lower-case). An
//    empty or malformed one is never stored: a new upload with one is not accepted and its
//    data is not kept (a package without a usable digest could never be verified). fstatus
//    holding anything else counts as no upload at all; its files are left-overs that the next
//    new upload replaces and "delete" removes.
//  - A new upload (no digest stored) starts from nothing: left-over partial or zip files are
//    removed before its first byte is stored.
//  - No upload data is stored, and the package is not verified, while the camera installs
//    (OTA state 5, 10 or 11): the POST is answered code 11, like the requests.
//  - A rejected piece that asks for completion verifies the stored package only when it
//    carries the stored digest: another client's bad request never deletes an upload.
//  - A package is never appended to once it was verified (firmware.zip present): further
//    pieces are answered, not stored.
//  - A write that fails for want of space (ENOSPC, EDQUOT, EFBIG) answers code 12, any other
//    write failure code 6, both with the digest and the bytes now on disk; the partial file
//    keeps every byte written, for a later resume or "delete".
//  - An unreadable OTA state counts as an installation in progress (code 11): it is not safe
//    to change the package then.
//  - At first use the complete flag is reconciled with the folder: 1 exactly when a verified
//    package (firmware.zip beside a valid fstatus) waits; a difference is written to status 44.
//    So a package verified just before the daemon or the camera restarted is still there.
//  - The verification's digest comes from UploadDigest: kept up to date while pieces are
//    written and, after a restart, read back from the partial file in the background (started
//    by the first request that finds an upload in progress), so that completing an upload
//    does not read the package back while the request mutex is held. Only bytes the
//    background reader has not reached yet are read under the mutex. The answers are the same
//    as for a full reading of the file.
#ifndef ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQSOFTUPDATE_H_
#define ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQSOFTUPDATE_H_

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "zqcommon/zqMutex.h"
#include "zqfirmware/zqBodySource.h"
#include "zqfirmware/zqFirmwareStatus.h"
#include "zqfirmware/zqFormReader.h"
#include "zqfirmware/zqUploadDigest.h"

namespace zqfw {

class BufferedWriter;

// Result codes; ERR_DESCRIPTIONS[code] is the message.
enum SoftUpdateCode : int {
  kSuOk = 0,
  kSuUnknownRequest = 1,
  kSuBadParameters = 2,
  kSuSha1Sent = 3,
  kSuSha1Calculated = 4,
  kSuBoundary = 5,
  kSuPostError = 6,
  kSuBusy = 7,
  kSuResumeOffset = 8,
  kSuBadPostData = 9,
  kSuNotVerified = 10,
  kSuInProgress = 11,
  kSuNoSpace = 12,
};
inline constexpr int kSuCodeCount = 13;
extern const char* const ERR_DESCRIPTIONS[kSuCodeCount];

// One answer document. A digest-less answer carries only the code and its message.
struct SoftUpdateAnswer {
  int code = kSuOk;
  bool digest_less = true;
  std::string sha1;
  uint64_t bytes_complete = 0;
  bool complete = false;
};

// The JSON body of an answer (sha1 escaped; it is 40 hex digits or empty anyway).
std::string SoftUpdateJson(const SoftUpdateAnswer& answer);

// The upload form (HTML) that a GET without a request word answers.
std::string SoftUpdateForm();

struct SoftUpdateRequest {
  std::string_view method;             // as received: "GET", "POST", ...
  std::optional<std::string> request;  // the query's decoded "request" value, if any
  std::string_view content_type;       // the Content-Type header ("" when absent)
  BodySource* body = nullptr;          // the request body (POST); not owned
};

struct SoftUpdateOutcome {
  enum class Kind { kJson, kHtml, kMethodNotAllowed };
  Kind kind = Kind::kJson;
  std::string body;  // "200 OK" with "application/json" or "text/html"
  int code = kSuOk;  // the JSON answer's code
};

class SoftUpdate {
 public:
  struct Options {
    std::string folder;   // the update folder, resolved
    std::string card;     // the card whose free space is checked, resolved
    WriteFunction write;  // writes to the partial file (tests inject failures)
  };
  // "/fwupdate" and "/tmp/fuse_d" below the root.
  static Options DefaultOptions();

  // `status` is not owned and must outlive this object.
  SoftUpdate(CameraStatusPort* status, Options options);
  SoftUpdate(const SoftUpdate&) = delete;
  SoftUpdate& operator=(const SoftUpdate&) = delete;

  // Serves one request. Requests are served one at a time: while one is served, another gets
  // code 7 ("Server Busy"), except a "canceled" request word, which hides the update screen.
  // Thread-safe.
  SoftUpdateOutcome Handle(const SoftUpdateRequest& request);

  UploadDigest& digest() { return digest_; }

 private:
  SoftUpdateOutcome Locked(const SoftUpdateRequest& request) REQUIRES(request_mu_);
  SoftUpdateAnswer Dispatch(const std::string& word) REQUIRES(request_mu_);
  SoftUpdateAnswer PostMultipart(std::string_view content_type, BodySource* body)
      REQUIRES(request_mu_);
  SoftUpdateAnswer Verify() REQUIRES(request_mu_);
  SoftUpdateAnswer Cancel();
  SoftUpdateAnswer WithUpload(int code) REQUIRES(request_mu_);

  void LoadOnce() REQUIRES(request_mu_);
  void ReloadDigest() REQUIRES(request_mu_);
  uint64_t CurrentSize() const;
  bool InstallUnderWay();
  void SetComplete(bool complete);
  void RemoveAll();
  bool WriteFstatus(const std::string& sha1);
  // Starts a new upload of the package with digest `sha1`: the folder emptied, the digest
  // announced. False (errno set) when that fails.
  bool StartUpload(const std::string& sha1) REQUIRES(request_mu_);
  // The writer of a piece that starts at `size` of the partial file; null (`*error` set) when
  // the file cannot be opened or is not that size.
  std::unique_ptr<BufferedWriter> OpenPartial(uint64_t size, int* error);

  CameraStatusPort* status_;  // not owned
  Options options_;
  std::string partial_;
  std::string zip_;
  std::string fstatus_;
  ZqMutex request_mu_;  // one request at a time (try-lock)
  bool loaded_ GUARDED_BY(request_mu_) = false;
  bool complete_ GUARDED_BY(request_mu_) = false;
  std::string stored_sha1_ GUARDED_BY(request_mu_);  // "" or 40 lower-case hex digits
  UploadDigest digest_;
};

}  // namespace zqfw

#endif  // ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQSOFTUPDATE_H_
