#include "zqsim/SimState.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ZQCSIListener.h"
#include "csi.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqsim/SimControl.h"
#include "zqtest/TempDir.h"

namespace {

using zqsim::SimState;
using zqsim::SimStateData;

uint32_t Get32(int id) {
  uint32_t v = 0xFFFFFFFF;
  uint32_t len = 0;
  EXPECT_EQ(csi_get(id, sizeof v, &len, &v), ZQ_OK);
  return v;
}

TEST(SimState, IdleCameraDefaults) {
  zqsim::ResetCamera();
  EXPECT_EQ(Get32(3), 0u);    // not recording
  EXPECT_EQ(Get32(103), 0u);  // access point mode
  EXPECT_EQ(Get32(123), 0u);  // logging flags
  uint8_t model = 0;
  ASSERT_EQ(zqc_state_get_model_number(&model), ZQ_OK);
  EXPECT_EQ(model, 58);
}

TEST(SimState, SignedIdsReachTheHighValues) {
  zqsim::ResetCamera();
  uint8_t boost = 1;
  ASSERT_EQ(csi_set(csi_id(138), &boost, 1), ZQ_OK);
  EXPECT_EQ(Get32(138), 1u);  // a one-byte value reads back whole as four bytes
  EXPECT_EQ(csi_id(138), -118);
  EXPECT_EQ(csi_id(128), -128);
  EXPECT_EQ(csi_id(103), 103);
}

TEST(SimState, ChangesFromAnotherProcessAreSeen) {
  zqsim::ResetCamera();
  ZQCSIListener* listener = ZQCSIListener::GetInstance();
  ASSERT_NE(listener, nullptr);
  listener->RegisterForCSINotifications({3, 103});
  EXPECT_TRUE(listener->AllValuesReceived());

  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    uint32_t recording = 1;
    _exit(csi_set(3, &recording, sizeof recording) == ZQ_OK ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_EQ(WEXITSTATUS(status), 0);

  uint32_t value = 0;
  ASSERT_TRUE(listener->GetCSIValue(3, value));
  EXPECT_EQ(value, 1u);
}

TEST(SimState, CorruptFileIsRecreatedWithDefaults) {
  zqsim::ResetCamera();
  uint32_t recording = 1;
  ASSERT_EQ(csi_set(3, &recording, 4), ZQ_OK);
  std::string path = SimState::Get().dir() + "/state.bin";
  FILE* f = fopen(path.c_str(), "r+b");
  ASSERT_NE(f, nullptr);
  fputs("garbage!", f);  // over the magic word
  fclose(f);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Get32(3), 0u);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("recreated with defaults"),
            std::string::npos);
}

// A state file of the wrong length is cut back to the record's; a length past 4 GiB (a sparse
// file) must not pass for the right one where the size is taken in 32 bits.
TEST(SimState, FileOfAnotherLengthIsCutToTheRecord) {
  for (const uint64_t length :
       {uint64_t{sizeof(SimStateData)} + 1, (uint64_t{1} << 32) + sizeof(SimStateData)}) {
    zqsim::ResetCamera();
    const std::string path = SimState::Get().dir() + "/state.bin";
    ASSERT_EQ(unlink(path.c_str()), 0);
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(length)), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Get32(103), 0u);
    testing::internal::GetCapturedStderr();
    struct stat st = {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(static_cast<uint64_t>(st.st_size), sizeof(SimStateData)) << length;
  }
}

TEST(SimState, DeletedFileIsRecreated) {
  zqsim::ResetCamera();
  uint32_t mode = 2;
  ASSERT_EQ(csi_set(103, &mode, 4), ZQ_OK);
  ASSERT_EQ(unlink((SimState::Get().dir() + "/state.bin").c_str()), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Get32(103), 0u);
  testing::internal::GetCapturedStderr();
}

TEST(SimControl, JournalRecordsCommandsAndFaultsWin) {
  zqsim::ResetCamera();
  unlink(zqsim::JournalPath().c_str());
  uint8_t on = 1;
  EXPECT_EQ(zqcontrol_send_command_param_response(ZQCONTROL_SHUTTER, &on, 1, nullptr, 0), ZQ_OK);
  EXPECT_EQ(Get32(3), 1u);

  SimState::Get().Write([](SimStateData& d) {
    d.faults[0] = {ZQCONTROL_SHUTTER, -101, 1, 0};
    return 0;
  });
  uint8_t off = 0;
  EXPECT_EQ(zqcontrol_send_command_param_response(ZQCONTROL_SHUTTER, &off, 1, nullptr, 0), -101);
  EXPECT_EQ(Get32(3), 1u);  // a faulted command does not act

  EXPECT_EQ(zqtest::ReadFile(zqsim::JournalPath()),
            "{\"command\":3,\"param\":\"01\",\"status\":0}\n"
            "{\"command\":3,\"param\":\"00\",\"status\":-101}\n");
}

}  // namespace
