// The file-system query on the camera: statvfs of the mounted file system.
#include <sys/statvfs.h>

#include "zqStorage.h"

int32_t zqfs_free_bytes(const char* path, uint64_t* bytes) {
  struct statvfs st = {};
  if (path == nullptr || bytes == nullptr || statvfs(path, &st) != 0) return -1;
  *bytes = static_cast<uint64_t>(st.f_bsize) * static_cast<uint64_t>(st.f_bfree);
  return 0;
}
