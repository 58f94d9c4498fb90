// "/zq/zqMediaOp": deletes media on the camera's storage, one file ("p=del&f=DIR/NAME") or
// chosen chapters of a chaptered video ("p=delcv&fd=100&fn=0005&tc=3&c=1,2"), renumbering the
// chapters that remain so they stay consecutive.
//
// Chapter deletion first moves every chapter file aside (".tmp"), then puts the survivors back
// under their new names and removes the rest, so a failure before any removal is rolled back
// with every original file in place. Renames never replace an existing file. On front/back
// lens cameras, deleting a back-lens file also deletes the matching front-lens file on the
// internal storage.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQMEDIAOP_ZQMEDIAOP_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQMEDIAOP_ZQMEDIAOP_H_

#include <string>

#include "http/zqAnswer.h"
#include "http/zqRequest.h"

// The route handler: the operation's JSON answer (status 200 whatever its outcome).
ZqAnswer zqMediaOp(ZqRequest& request);

// Status codes of an operation.
enum : int {
  kMediaOpOk = 0,
  kMediaOpNoStorage = 1,
  kMediaOpNoCommand = 2,
  kMediaOpBadPath = 3,
  kMediaOpBadFolder = 4,
  kMediaOpBadNumber = 5,
  kMediaOpNoChapters = 6,
  kMediaOpUnknownNoChapters = 7,
  kMediaOpUnknown = 8,
  kMediaOpCannotExamine = 9,
  kMediaOpCannotRemove = 10,
  kMediaOpPathTooLong = 22,
  kMediaOpMoveAsideFailed = -100,
  kMediaOpRenameFailed = -101,
  kMediaOpRemoveFailed = -102,
};

// One operation on the storage mounted at `storage_root` (a camera path such as
// "/tmp/fuse_d"), with the raw query. Returns the JSON answer (as written after the head) in
// `*answer` and the status.
int mediaOp(const char* query, const char* storage_root, std::string* answer);

// Tests replace the rename call to make a chosen rename fail; nullptr restores the real one.
// The function has rename's contract and must not replace an existing target.
using MediaOpRenameFn = int (*)(const char* from, const char* to);
void zqMediaOp_SetRenameForTest(MediaOpRenameFn fn);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQMEDIAOP_ZQMEDIAOP_H_
