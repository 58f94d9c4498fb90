// Contract of the camera's certificate store: certificates kept encrypted at rest, reached by
// path. Paths are the daemon's resolved paths (below ZQ_ROOT in host runs). Any thread may
// call; each call is complete in itself.
#ifndef ZQ_PLATFORM_INCLUDE_ZQCERTSTORE_H_
#define ZQ_PLATFORM_INCLUDE_ZQCERTSTORE_H_

#include <cstddef>
#include <cstdint>

// Stores the certificate `data` (`length` bytes) in `directory`, under a name made from its
// subject hash. Fails, storing nothing, unless `data` is a certificate the store can read.
// 0 on success.
int fsWriteCertificateBySubjectHash(const char* directory, const uint8_t* data, size_t length);

// `*length` receives the size of the certificate stored at `path`. 0 on success.
int fsGetCertificateLength(const char* path, size_t* length);

// Reads the certificate stored at `path` into `buffer`, which holds `*length` bytes; `*length`
// receives the bytes read. Fails when there is none or it does not fit. 0 on success.
int fsReadCertificate(const char* path, uint8_t* buffer, size_t* length);

#endif  // ZQ_PLATFORM_INCLUDE_ZQCERTSTORE_H_
