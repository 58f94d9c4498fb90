#include "zqsim/SimCertStore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zqCertStore.h"
#include "zqcommon/zqPaths.h"
#include "zqcommon/zqSha1.h"
#include "zqsim/SimState.h"
#include "zqtest/TempDir.h"
#include "zqtest/TestCertificate.h"

namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// What `zqsim cert clients` prints.
std::string Clients() {
  testing::internal::CaptureStdout();
  EXPECT_EQ(zqsim::CertCommand({"clients"}), 0);
  return testing::internal::GetCapturedStdout();
}

class SimCertStore : public testing::Test {
 protected:
  void SetUp() override { zqsim::CertReset(); }
  const std::string client_dir_ = zq_path(zqsim::kCertClientDir);
};

TEST_F(SimCertStore, WritesOnlyCertificatesUnderTheirSubjectHash) {
  const std::string pem = zqtest::TestCertificatePem("phone-1");
  const std::string with_text = "Subject: phone-2\n" + zqtest::TestCertificatePem("phone-2");
  ASSERT_EQ(fsWriteCertificateBySubjectHash(client_dir_.c_str(), Bytes(pem), pem.size()), 0);
  ASSERT_EQ(
      fsWriteCertificateBySubjectHash(client_dir_.c_str(), Bytes(with_text), with_text.size()), 0);
  const std::string name1 = zqtest::SubjectHash(pem) + ".0";
  const std::string name2 = zqtest::SubjectHash(with_text) + ".0";
  ASSERT_EQ(name1.size(), 10u);
  EXPECT_EQ(zqtest::ReadFile(client_dir_ + name1), pem);  // exactly the bytes handed over
  const std::string want =
      name1 < name2
          ? name1 + " " + zq_sha1_hex(pem) + "\n" + name2 + " " + zq_sha1_hex(with_text) + "\n"
          : name2 + " " + zq_sha1_hex(with_text) + "\n" + name1 + " " + zq_sha1_hex(pem) + "\n";
  EXPECT_EQ(Clients(), want);

  // Anything but a PEM certificate is refused and stores nothing.
  const std::string der = zqtest::TestCertificateDer("phone-3");
  const std::string cut = pem.substr(0, pem.size() / 2);
  std::string damaged = pem;
  damaged[damaged.find("CERTIFICATE")] = 'X';  // an unknown PEM label
  for (const std::string& bad : {der, cut, damaged, std::string("hello")}) {
    EXPECT_NE(fsWriteCertificateBySubjectHash(client_dir_.c_str(), Bytes(bad), bad.size()), 0);
  }
  EXPECT_NE(fsWriteCertificateBySubjectHash(client_dir_.c_str(), Bytes(pem), 0), 0);
  EXPECT_EQ(Clients(), want);

  zqsim::CertReset();
  EXPECT_EQ(Clients(), "");
}

TEST_F(SimCertStore, CameraAndAuthorityCertificatesAreWhatWasSet) {
  zqtest::TempDir tmp;
  const std::string cam = zqtest::TestCertificatePem("camera");
  const std::string ca = "\x01\x02 not even a certificate \xff";
  zqtest::WriteFile(tmp.path() + "/cam.pem", cam);
  zqtest::WriteFile(tmp.path() + "/ca.bin", ca);
  ASSERT_EQ(zqsim::CertCommand({"set", "cam", tmp.path() + "/cam.pem"}), 0);
  ASSERT_EQ(zqsim::CertCommand({"set", "ca", tmp.path() + "/ca.bin"}), 0);

  for (const auto& [path, want] :
       {std::pair{zqsim::kCertCameraPath, cam}, std::pair{zqsim::kCertAuthorityPath, ca}}) {
    size_t length = 0;
    ASSERT_EQ(fsGetCertificateLength(zq_path(path).c_str(), &length), 0) << path;
    EXPECT_EQ(length, want.size());
    std::vector<uint8_t> buffer(length + 5, 0xAA);
    size_t got = buffer.size();
    ASSERT_EQ(fsReadCertificate(zq_path(path).c_str(), buffer.data(), &got), 0);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(got)), want);
    got = want.size() - 1;  // too small a buffer
    EXPECT_NE(fsReadCertificate(zq_path(path).c_str(), buffer.data(), &got), 0);
  }

  ASSERT_EQ(zqsim::CertCommand({"clear", "cam"}), 0);
  size_t length = 0;
  uint8_t byte = 0;
  size_t one = 1;
  EXPECT_NE(fsGetCertificateLength(zq_path(zqsim::kCertCameraPath).c_str(), &length), 0);
  EXPECT_NE(fsReadCertificate(zq_path(zqsim::kCertCameraPath).c_str(), &byte, &one), 0);
  EXPECT_EQ(fsGetCertificateLength(zq_path(zqsim::kCertAuthorityPath).c_str(), &length), 0);
  zqsim::CertReset();  // reset empties the whole store
  EXPECT_NE(fsGetCertificateLength(zq_path(zqsim::kCertAuthorityPath).c_str(), &length), 0);
}

TEST_F(SimCertStore, BadCommandsAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {"set", "csr", "/etc/hostname"}, {"set", "cam", "/no/such/file"}, {"slow", "-1"}, {"list"}};
  for (const auto& args : bad) EXPECT_NE(zqsim::CertCommand(args), 0) << args[0];
  EXPECT_EQ(zqsim::CertCommand({"slow", "0"}), 0);
}

}  // namespace
