#include "zqsim/SimFirmware.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "csi.h"
#include "zqStorage.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimState.h"

namespace {

class SimFirmware : public testing::Test {
 protected:
  void SetUp() override {
    zqsim::ResetCamera();
    zqsim::FirmwareReset();
  }

  static void WriteOta(uint8_t value) { ASSERT_EQ(csi_set(zqsim::kOtaStatusId, &value, 1), ZQ_OK); }
  static uint32_t ReadOta() {
    uint32_t v = 0xFFFFFFFF;
    uint32_t len = 0;
    EXPECT_EQ(csi_get(zqsim::kOtaStatusId, sizeof v, &len, &v), ZQ_OK);
    return v;
  }
  static int Ota(const std::vector<std::string>& args) { return zqsim::OtaCommand(args); }
};

TEST_F(SimFirmware, FreeSpaceIsTheForcedFigureOrTheRealOne) {
  const std::string card = zq_path("/");
  uint64_t bytes = 0;
  ASSERT_EQ(zqsim::StorageCommand({"free", "367001599"}), 0);
  ASSERT_EQ(zqfs_free_bytes(card.c_str(), &bytes), ZQ_OK);
  EXPECT_EQ(bytes, 367001599u);
  ASSERT_EQ(zqfs_free_bytes("/no/such/mount", &bytes), ZQ_OK);  // every path sees the figure
  EXPECT_EQ(bytes, 367001599u);

  ASSERT_EQ(zqsim::StorageCommand({"free", "real"}), 0);
  struct statvfs st = {};
  ASSERT_EQ(statvfs(card.c_str(), &st), 0);
  ASSERT_EQ(zqfs_free_bytes(card.c_str(), &bytes), ZQ_OK);
  // The real figure moves as other tests write; it is the block size times free blocks.
  EXPECT_EQ(bytes % st.f_bsize, 0u);
  EXPECT_NEAR(static_cast<double>(bytes), static_cast<double>(st.f_bsize) * st.f_bfree,
              64.0 * 1024 * 1024);
  EXPECT_NE(zqfs_free_bytes("/no/such/mount", &bytes), ZQ_OK);

  ASSERT_EQ(zqsim::StorageCommand({"free", "5"}), 0);
  zqsim::FirmwareReset();  // reset: the real figure again
  EXPECT_NE(zqfs_free_bytes("/no/such/mount", &bytes), ZQ_OK);
}

TEST_F(SimFirmware, BadStorageAndOtaCommandsAreRefused) {
  const std::vector<std::vector<std::string>> storage = {{"free"}, {"free", "12x"}, {"full", "1"}};
  for (const auto& args : storage) EXPECT_NE(zqsim::StorageCommand(args), 0) << args.size();
  const std::vector<std::vector<std::string>> ota = {
      {"mode", "fail"}, {"mode", "fail", "256"}, {"mode", "ok", "-5"}, {"state", "ok"}};
  for (const auto& args : ota) EXPECT_NE(Ota(args), 0) << args.back();
}

TEST_F(SimFirmware, TheCameraAnswersAnInstallWhenItIsDue) {
  struct Case {
    std::vector<std::string> mode;
    uint32_t answer;
  };
  const Case cases[] = {
      {{"mode", "ok", "0"}, 5},
      {{"mode", "fail", "3", "0"}, 3},
      {{"mode", "silent"}, 10},
      {{"mode", "ok", "600000"}, 10},  // not due yet
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Ota(c.mode), 0);
    WriteOta(10);
    EXPECT_EQ(ReadOta(), c.answer) << c.mode[1];
    EXPECT_EQ(ReadOta(), c.answer) << c.mode[1];
    WriteOta(0);
  }
}

TEST_F(SimFirmware, OtherWritesCancelADueAnswer) {
  ASSERT_EQ(Ota({"mode", "ok", "0"}), 0);
  WriteOta(10);
  WriteOta(8);  // the daemon gave up before the camera answered
  EXPECT_EQ(ReadOta(), 8u);
  WriteOta(6);
  EXPECT_EQ(ReadOta(), 6u);
}

// The answer does not depend on the process that started the install: a daemon killed while
// it waited finds the outcome when it starts again.
TEST_F(SimFirmware, TheAnswerOutlivesTheProcessThatStartedTheInstall) {
  ASSERT_EQ(Ota({"mode", "fail", "7", "0"}), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const uint8_t install = 10;
    _exit(csi_set(zqsim::kOtaStatusId, &install, 1) == ZQ_OK ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadOta(), 7u);
}

}  // namespace
