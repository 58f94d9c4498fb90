// Temporary directories for tests, removed with everything in them when the owner goes.
#ifndef ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_TEMPDIR_H_
#define ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_TEMPDIR_H_

#include <string>

namespace zqtest {

class TempDir {
 public:
  TempDir();  // a fresh directory below $TMPDIR (or /tmp)
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Writes `bytes` to `path`, creating parent directories. Aborts the test on failure.
void WriteFile(const std::string& path, const std::string& bytes);
// The whole content of `path` ("" when it cannot be read).
std::string ReadFile(const std::string& path);

// Points ZQ_ROOT at a temporary directory for the whole test binary. Must run before anything
// reads the root: link the zqtest_root library, whose static initializer calls it.
const std::string& UseTemporaryRoot();

}  // namespace zqtest

#endif  // ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_TEMPDIR_H_
