#include "zqtest/TestCertificate.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <openssl/x509.h>

namespace zqtest {
namespace {

template <typename T, void (*F)(T*)>
struct Deleter {
  void operator()(T* p) const { F(p); }
};
using X509Ptr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;

void Require(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "test certificate: %s failed\n", what);
    abort();
  }
}

X509Ptr MakeCertificate(const std::string& common_name) {
  KeyPtr key(EVP_EC_gen("P-256"));
  Require(key != nullptr, "key generation");
  X509Ptr cert(X509_new());
  Require(cert != nullptr, "X509_new");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3600L * 24 * 365);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(common_name.c_str()), -1, -1,
                             0);
  X509_set_issuer_name(cert.get(), name);
  X509_set_pubkey(cert.get(), key.get());
  Require(X509_sign(cert.get(), key.get(), EVP_sha256()) > 0, "signing");
  return cert;
}

std::string FromBio(BIO* bio) {
  char* data = nullptr;
  const long n = BIO_get_mem_data(bio, &data);
  std::string out(data, static_cast<size_t>(n));
  BIO_free(bio);
  return out;
}

}  // namespace

std::string TestCertificatePem(const std::string& common_name) {
  X509Ptr cert = MakeCertificate(common_name);
  BIO* bio = BIO_new(BIO_s_mem());
  Require(PEM_write_bio_X509(bio, cert.get()) == 1, "PEM writing");
  return FromBio(bio);
}

std::string TestCertificateDer(const std::string& common_name) {
  X509Ptr cert = MakeCertificate(common_name);
  BIO* bio = BIO_new(BIO_s_mem());
  Require(i2d_X509_bio(bio, cert.get()) == 1, "DER writing");
  return FromBio(bio);
}

std::string SubjectHash(const std::string& pem) {
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  X509Ptr cert(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr));
  BIO_free(bio);
  if (!cert) return "";
  char hex[16];
  snprintf(hex, sizeof hex, "%08lx", X509_subject_name_hash(cert.get()));
  return hex;
}

}  // namespace zqtest
