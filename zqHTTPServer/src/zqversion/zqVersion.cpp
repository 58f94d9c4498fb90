#include "zqversion/zqVersion.h"

#include <string>

ZqAnswer zqVersion(ZqRequest& /*request*/) {
  // Clients check the interface version the daemon was written against, not the build of the
  // library it happens to link.
  return ZqAnswer::Json(200, "{ \"CivetWeb version\": \"1.11\" }\n");
}
