// Certificates made in code for tests of the certificate store and endpoint.
#ifndef ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_TESTCERTIFICATE_H_
#define ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_TESTCERTIFICATE_H_

#include <string>

namespace zqtest {

// A self-signed X.509 certificate (a fresh P-256 key) with subject CN=`common_name`, as PEM
// text ("-----BEGIN CERTIFICATE-----\n...") or as DER bytes.
std::string TestCertificatePem(const std::string& common_name);
std::string TestCertificateDer(const std::string& common_name);

// OpenSSL's subject-name hash of a PEM certificate as eight lower-case hex digits ("" when
// the text is not one).
std::string SubjectHash(const std::string& pem);

}  // namespace zqtest

#endif  // ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_TESTCERTIFICATE_H_
