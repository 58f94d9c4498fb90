// The firmware update routes, thin over libzqfirmware:
//   "/zq/zqSoftUpdate"  the resumable upload: a package in pieces over several requests and
//                       broken connections, its SHA-1 checked, then installed on request;
//   "/zq/zqUpdate"      the single-request form upload that waits for the camera's outcome.
// The request's body reaches the library through a BodySource; a body that breaks off or
// stalls past the server's read time limit reads as a failure (-1), never as its end.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQUPDATE_ZQUPDATEROUTES_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQUPDATE_ZQUPDATEROUTES_H_

#include <string>

#include "http/zqAnswer.h"
#include "http/zqRequest.h"
#include "zqfirmware/update.h"
#include "zqfirmware/zqSoftUpdate.h"

// The routes' handlers, over the daemon's one upload and one updater (made at first use, on
// the camera's paths and status).
ZqAnswer zqSoftUpdateHandler(ZqRequest& request);
ZqAnswer zqUpdateHandler(ZqRequest& request);

// The same over a given upload or updater. `script_name` is the form's action.
ZqAnswer zq_soft_update_serve(zqfw::SoftUpdate& upload, ZqRequest& request);
ZqAnswer zq_update_serve(zqfw::Updater& updater, ZqRequest& request,
                         const std::string& script_name);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQUPDATE_ZQUPDATEROUTES_H_
