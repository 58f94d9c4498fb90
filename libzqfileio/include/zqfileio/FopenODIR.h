// fopen with O_DIRECT added, for writers that must not fill the page cache.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FOPENODIR_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FOPENODIR_H_

#include <cstdio>

// `mode` as for fopen: "r" read-only, "w" write/create/truncate, "a" write/create/append; a
// '+' second (or "b+") makes it read-write. Created files get 0666 before the umask. Any
// other first letter sets errno to EINVAL and returns null. The caller fcloses the result.
FILE* fopen_ODIR(const char* path, const char* mode);

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FOPENODIR_H_
