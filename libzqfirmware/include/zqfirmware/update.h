// The single-request firmware update behind /zq/zqUpdate: a browser gets a form, posts the
// package with its SHA-1, and the request stays open until the camera reports how the
// installation went.
//
// Every request (the form too) first checks the card (result 6 without "/tmp/fuse_d", 7 when
// its "MISC" folder cannot be made, 1 with 350 MiB or less free), then shows the camera's
// update screen (OTA state 6) and waits 2 s, then needs an "UPDATE" folder on the card (result
// 10 and OTA state 8 without). A body whose form cannot be read is answered 500 with
// UpdateFormError() and OTA state 8. Without an "update" field the answer is the form;
// with it, the package is checked: no file 4, "DirectToSD" not 1 result 8, digest mismatch 2
// (OTA state 9), else the package is kept as "MISC/firmware.zqu", the OTA state becomes 10
// and the camera's outcome decides: 5 is result 0, anything else result 1.
//
// Decisions where the request rules leave room:
//  - Methods other than GET, HEAD and POST get kMethodNotAllowed before anything else is
//    done (the HTTP layer answers 405 with "Allow: GET, HEAD, POST"): they must not show the
//    update screen. HEAD is served as GET. A POST of another content type carries no fields.
//  - The package is written as "MISC/firmware.zqu.tmp" and renamed to "firmware.zqu" only
//    once its digest matched, so the camera never finds a truncated or unverified package
//    under that name; an earlier "firmware.zqu" goes when a new package arrives. Whatever the
//    request does not keep is removed before it ends.
//  - A body that breaks off, is not a well-formed form, or whose package cannot be written
//    (a full card too) is a form that cannot be read: 500, OTA state 8, nothing kept.
//  - The digest is computed while the package is written (the same bytes, not read back).
//  - A digest in upper-case hex digits matches too; anything but the 40 digits does not.
//  - "DirectToSD" must be exactly the decimal number 1 (blanks around it allowed).
//  - The camera's outcome is awaited for at most 10 minutes (times ZQ_TIME_SCALE): longer
//    than any installation should take (flashing a package of about 100 MB and checking it),
//    so that a camera still at work is never reported as failed, which could make a user
//    retry or switch off mid-flash; yet bounded, so that a camera that never answers does not
//    hold a worker thread and every later update request for ever. When the time is up, or
//    the OTA state cannot be read or written, the answer is result 1 (the outcome is unknown:
//    the update did not succeed as far as the daemon can tell); the OTA state is not
//    touched then, since the camera may still be installing. The package stays in place.
//  - The error answer is valid JSON ({ "Status": "..." }).
#ifndef ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_UPDATE_H_
#define ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_UPDATE_H_

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

// Result codes of the answer document.
enum UpdateResult : int {
  kUpdateInstalled = 0,
  kUpdateFailed = 1,  // the installation failed (or the card is too full)
  kUpdateDigestMismatch = 2,
  kUpdateNoFile = 4,
  kUpdateNoCard = 6,
  kUpdateNoMiscFolder = 7,
  kUpdateNotDirectToSd = 8,
  kUpdateNoUpdateFolder = 10,
};

// The answer document: "{ \"status\":\"<code>\" }".
std::string UpdateJson(int result);
// The body of the 500 answer to a form that could not be read.
std::string UpdateFormError();
// The upload form, posting to `script_name` (HTML-escaped).
std::string showForm(std::string_view script_name);

struct UpdateRequest {
  std::string_view method;        // "GET", "POST", ...
  std::string_view query;         // the raw query string (a GET's form fields)
  std::string_view content_type;  // the Content-Type header ("" when absent)
  BodySource* body = nullptr;     // the request body (POST); not owned
  std::string script_name;        // the SCRIPT_NAME environment variable ("" when unset)
};

struct UpdateOutcome {
  // kJson: "200 OK" with UpdateJson(result); kHtml: "200 OK", "text/html", the form;
  // kFormError: "500 Internal Server Error", "application/json", UpdateFormError();
  // kMethodNotAllowed: 405 with "Allow: GET, HEAD, POST", no body.
  enum class Kind { kJson, kHtml, kFormError, kMethodNotAllowed };
  Kind kind = Kind::kJson;
  std::string body;
  int result = kUpdateInstalled;
};

class Updater {
 public:
  struct Options {
    std::string card;                  // the card, resolved ("/tmp/fuse_d")
    long screen_ms = 2000;             // wait after showing the update screen
    long poll_ms = 1000;               // between reads of the camera's outcome
    long install_timeout_ms = 600000;  // longest wait for the outcome
    WriteFunction write;               // writes of the package (tests inject failures)
  };
  // The card below the root, and the times above scaled by ZQ_TIME_SCALE.
  static Options DefaultOptions();

  // `status` is not owned and must outlive this object.
  Updater(CameraStatusPort* status, Options options);
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  // Serves one request. Requests are served one after the other: a second one waits, possibly
  // for a whole installation. Thread-safe.
  UpdateOutcome Handle(const UpdateRequest& request);

 private:
  struct Form;

  UpdateOutcome Locked(const UpdateRequest& request) REQUIRES(mu_);
  // Reads the form of a POST; false when it cannot be read (nothing is kept then).
  bool ReadPost(const UpdateRequest& request, Form* form);
  bool ReadMultipart(const UpdateRequest& request, Form* form);
  int handleSubmit(const Form& form);
  int AwaitInstall();
  bool SetOta(uint32_t state);

  CameraStatusPort* status_;  // not owned
  Options options_;
  std::string misc_;
  std::string package_;
  std::string upload_;   // the package while it arrives
  ZqMutex mu_;           // one request at a time, for the whole request
  UploadDigest digest_;  // of the package being written
};

}  // namespace zqfw

#endif  // ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_UPDATE_H_
