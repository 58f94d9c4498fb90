#include "zqfirmware/zqUploadDigest.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "zqFirmwareTestSupport.h"
#include "zqtest/TempDir.h"

namespace zqfw {
namespace {

class UploadDigestTest : public testing::Test {
 protected:
  // Appends `bytes` to the file, telling the digest when `tell`.
  void Append(const std::string& bytes, bool tell = true) {
    const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    struct stat st = {};
    ASSERT_EQ(fstat(fd, &st), 0);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    if (tell) digest_.Appended({st.st_dev, st.st_ino}, static_cast<uint64_t>(st.st_size), bytes);
    content_ += bytes;
  }
  std::string Computed() {
    std::string hex;
    EXPECT_TRUE(digest_.Compute(path_, &hex));
    return hex;
  }

  zqtest::TempDir dir_;
  const std::string path_ = dir_.path() + "/package";
  std::string content_;
  UploadDigest digest_;
};

TEST_F(UploadDigestTest, OnlyWhatWasNotSeenIsReadBack) {
  Append(test::PackageBytes(1000, 1));
  Append(test::PackageBytes(3000, 2), false);  // written by a process before this one
  Append(test::PackageBytes(500, 3));          // not where the state ends: left for later
  EXPECT_EQ(Computed(), zq_sha1_hex(content_));
  EXPECT_EQ(digest_.bytes_read_back(), 3500u);
  Append(test::PackageBytes(700, 4));  // continues the state again
  EXPECT_EQ(Computed(), zq_sha1_hex(content_));
  EXPECT_EQ(digest_.bytes_read_back(), 3500u);
}

TEST_F(UploadDigestTest, AChangedFileIsReadAgain) {
  Append(test::PackageBytes(5000, 5));
  // Replaced by another file (another inode) of the same size.
  const std::string other = test::PackageBytes(5000, 6);
  zqtest::WriteFile(path_ + ".new", other);
  ASSERT_EQ(rename((path_ + ".new").c_str(), path_.c_str()), 0);
  EXPECT_EQ(Computed(), zq_sha1_hex(other));
  // Cut shorter in place.
  ASSERT_EQ(truncate(path_.c_str(), 1234), 0);
  EXPECT_EQ(Computed(), zq_sha1_hex(other.substr(0, 1234)));
  digest_.Forget();
  EXPECT_EQ(digest_.hashed(), 0u);
  EXPECT_EQ(Computed(), zq_sha1_hex(other.substr(0, 1234)));
  std::string hex;
  EXPECT_FALSE(digest_.Compute(dir_.path() + "/missing", &hex));
}

TEST_F(UploadDigestTest, ReadingBackInTheBackgroundMeetsTheAppends) {
  Append(test::PackageBytes(3000000, 7), false);  // a restart: nothing followed
  digest_.CatchUpLater(path_);
  // Appends go on while the background reader works; whichever order they meet in, the
  // digest is that of the file.
  for (int i = 0; i < 20; ++i) Append(test::PackageBytes(10000, 100 + i));
  EXPECT_EQ(Computed(), zq_sha1_hex(content_));
  digest_.WaitIdle();
  Append("x");
  EXPECT_EQ(Computed(), zq_sha1_hex(content_));

  // Forgotten in the middle of a reading: nothing breaks, the next reading starts afresh.
  digest_.CatchUpLater(path_);
  digest_.Forget();
  digest_.WaitIdle();
  EXPECT_EQ(Computed(), zq_sha1_hex(content_));
}

}  // namespace
}  // namespace zqfw
