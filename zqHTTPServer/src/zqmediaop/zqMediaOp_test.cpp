#include "zqmediaop/zqMediaOp.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "http/zqFakeRequest.h"
#include "zqcommon/zqPaths.h"
#include "zqtest/TempDir.h"

namespace {

namespace fs = std::filesystem;

const bool kFastTime = (setenv("ZQ_TIME_SCALE", "0.001", 1), true);

// Every file below `root` with its content.
std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> out;
  if (!fs::exists(root)) return out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file())
      out[e.path().string().substr(root.size() + 1)] = zqtest::ReadFile(e.path());
  }
  return out;
}

// Renames succeed until the n-th, which fails.
std::atomic<int> g_renamesLeft{-1};
int FailingRename(const char* from, const char* to) {
  if (g_renamesLeft.fetch_sub(1) == 0) {
    errno = EIO;
    return -1;
  }
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

class MediaOpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(zq_path("/tmp"));
    sd_ = zq_path("/tmp/fuse_d/DCIM");
    zqMediaOp_SetRenameForTest(nullptr);
  }
  void TearDown() override { zqMediaOp_SetRenameForTest(nullptr); }

  // A chaptered clip 5 in 100TAVRO with `chapters` chapters: MP4 and LRV per chapter, THM.
  void Clip(int chapters) {
    for (int k = 0; k < chapters; ++k) {
      char stem[32];
      if (k == 0) {
        snprintf(stem, sizeof stem, "TAVR0005");
      } else {
        snprintf(stem, sizeof stem, "ZQ%02d0005", k);
      }
      zqtest::WriteFile(sd_ + "/100TAVRO/" + stem + ".MP4", "video" + std::to_string(k));
      zqtest::WriteFile(sd_ + "/100TAVRO/" + stem + ".LRV", "proxy" + std::to_string(k));
    }
    zqtest::WriteFile(sd_ + "/100TAVRO/TAVR0005.THM", "thumb");
  }

  int Op(const std::string& query, std::string* answer = nullptr) {
    std::string scratch;
    return mediaOp(query.c_str(), kZqSdCardRoot, answer != nullptr ? answer : &scratch);
  }

  std::string sd_;
};

TEST_F(MediaOpTest, DeleteOneFile) {
  zqtest::WriteFile(sd_ + "/100TAVRO/TAVR0001.JPG", "a");
  zqtest::WriteFile(sd_ + "/100TAVRO/TAVR0002.JPG", "b");
  std::string answer;
  EXPECT_EQ(Op("p=del&f=100TAVRO/TAVR0001.JPG"), 0);
  EXPECT_EQ(Tree(sd_), (std::map<std::string, std::string>{{"100TAVRO/TAVR0002.JPG", "b"}}));
  EXPECT_EQ(Op("p=del&f=100TAVRO/TAVR0001.JPG", &answer), 9);
  EXPECT_EQ(answer, "\n{ \"status\":\"9\",\"errno\":\"No such file or directory(2)\"}\r\n");
}

TEST_F(MediaOpTest, PathsOutOfTheTreeTouchNothing) {
  zqtest::WriteFile(zq_path("/tmp/fuse_d/MISC/card"), "1");
  zqtest::WriteFile(sd_ + "/100TAVRO/TAVR0001.JPG", "a");
  ASSERT_EQ(symlink(zq_path("/tmp/fuse_d/MISC").c_str(), (sd_ + "/LINK").c_str()), 0);
  ASSERT_EQ(symlink(zq_path("/tmp/fuse_d/MISC/card").c_str(), (sd_ + "/100TAVRO/CARD").c_str()), 0);
  const auto before = Tree(zq_path("/tmp/fuse_d"));
  for (const char* q : {"p=del&f=100TAVRO/../../MISC/card", "p=del&f=LINK/card",
                        "p=del&f=100TAVRO/CARD", "p=del&f=100TAVRO/TAVR0001.JPG%00x", "p=del&f="}) {
    EXPECT_EQ(Op(q), 3) << q;
  }
  EXPECT_EQ(Tree(zq_path("/tmp/fuse_d")), before);
  EXPECT_EQ(Op("p=del&f=100TAVRO"), 10);  // a folder is no file
  EXPECT_EQ(Op(""), 2);
  EXPECT_EQ(Op("p=zap"), 7);
  EXPECT_EQ(Op("p=zap&tc=3"), 8);
  EXPECT_EQ(mediaOp("p=del&f=x", "/tmp/fuse_x", nullptr), 1);
  ZqFakeRequest no_query("GET", "/zq/zqMediaOp");
  EXPECT_EQ(zqMediaOp(no_query).body(),
            "\n{ \"status\":\"-100\",\"errno\":\"No such process(3)\"}\r\n");
}

TEST_F(MediaOpTest, DeletingALinkInsideTheCardRemovesTheLinkOnly) {
  zqtest::WriteFile(sd_ + "/100TAVRO/TAVR0001.JPG", "a");
  ASSERT_EQ(symlink("TAVR0001.JPG", (sd_ + "/100TAVRO/TAVR0002.JPG").c_str()), 0);
  EXPECT_EQ(Op("p=del&f=100TAVRO/TAVR0002.JPG"), 0);
  EXPECT_EQ(Tree(sd_), (std::map<std::string, std::string>{{"100TAVRO/TAVR0001.JPG", "a"}}));
  EXPECT_FALSE(fs::is_symlink(sd_ + "/100TAVRO/TAVR0002.JPG"));
}

TEST_F(MediaOpTest, ChapterFilesLeadingOffTheCardStopTheDelete) {
  const std::string outside = zq_path("/tmp/elsewhere");
  zqtest::WriteFile(outside + "/TAVR0042.MP4", "out0");
  zqtest::WriteFile(outside + "/ZQ010042.MP4", "out1");
  Clip(3);
  ASSERT_EQ(symlink(outside.c_str(), (sd_ + "/105TAVRO").c_str()), 0);
  ASSERT_EQ(symlink((outside + "/ZQ010042.MP4").c_str(), (sd_ + "/100TAVRO/ZQ030005.MP4").c_str()),
            0);
  const auto card = Tree(sd_);
  const auto elsewhere = Tree(outside);
  EXPECT_EQ(Op("p=delcv&fd=105&fn=0042&tc=2&c=0"), 4);  // the folder leads off the card
  EXPECT_EQ(Op("p=delcv&fd=100&fn=0005&tc=4&c=1"), 5);  // so does its chapter 3
  EXPECT_EQ(Tree(sd_), card);
  EXPECT_EQ(Tree(outside), elsewhere);
  EXPECT_TRUE(fs::is_symlink(sd_ + "/100TAVRO/ZQ030005.MP4"));
  // The same clip without the stray chapter is fine.
  EXPECT_EQ(Op("p=delcv&fd=100&fn=0005&tc=3&c=1"), 0);
}

TEST_F(MediaOpTest, AnAnswerCarriesOnlyItsOwnChapterCount) {
  ASSERT_TRUE(zq_make_dirs(sd_ + "/100TAVRO"));
  std::string answer;
  EXPECT_EQ(Op("p=delcv&fd=100&fn=0040&tc=37&c=1", &answer), -100);  // nothing to move
  EXPECT_NE(answer.find("\"remaining_chapters\":\"37\""), std::string::npos) << answer;
  for (const char* q : {"p=delcv&fd=1000&fn=0005&tc=3&c=1", "p=delcv&fd=100&fn=0005&tc=3"}) {
    Op(q, &answer);
    EXPECT_NE(answer.find("\"remaining_chapters\":\"0\""), std::string::npos) << q << answer;
  }
}

TEST_F(MediaOpTest, ChapteredDeleteRenumbersTheRest) {
  Clip(3);
  // The answer's bytes are proven end to end; here every file left behind.
  EXPECT_EQ(Op("p=delcv&fd=100&fn=0005&tc=3&c=1"), 0);
  EXPECT_EQ(Tree(sd_), (std::map<std::string, std::string>{{"100TAVRO/TAVR0005.MP4", "video0"},
                                                           {"100TAVRO/TAVR0005.LRV", "proxy0"},
                                                           {"100TAVRO/TAVR0005.THM", "thumb"},
                                                           {"100TAVRO/ZQ010005.MP4", "video2"},
                                                           {"100TAVRO/ZQ010005.LRV", "proxy2"}}));
  // Deleting chapter 0 makes the old chapter 1 the first; deleting all takes the thumbnail.
  EXPECT_EQ(Op("p=delcv&fd=100&fn=0005&tc=2&c=0"), 0);
  EXPECT_EQ(zqtest::ReadFile(sd_ + "/100TAVRO/TAVR0005.MP4"), "video2");
  EXPECT_EQ(Op("p=delcv&fd=100&fn=5&tc=1&c=0"), 0);
  EXPECT_EQ(Tree(sd_), (std::map<std::string, std::string>{}));
}

TEST_F(MediaOpTest, MissingFirstChapterRollsBack) {
  Clip(3);
  fs::remove(sd_ + "/100TAVRO/ZQ020005.LRV");  // a missing proxy is fine
  fs::remove(sd_ + "/100TAVRO/TAVR0005.MP4");
  const auto before = Tree(sd_);
  std::string answer;
  EXPECT_EQ(Op("p=delcv&fd=100&fn=0005&tc=3&c=1", &answer), -100);
  EXPECT_EQ(Tree(sd_), before);
  EXPECT_EQ(
      answer.rfind(
          "\n{\"success\":\"0\",\"valid\":\"1\",\"status\":\"-100\",\"remaining_chapters\":\"3\"",
          0),
      0u)
      << answer;
}

TEST_F(MediaOpTest, AFailedRenameAnywhereLeavesEveryOriginal) {
  // Three chapters: six moves aside, then four survivor moves. Fail each in turn.
  for (int n = 0; n < 10; ++n) {
    fs::remove_all(zq_path("/tmp"));
    Clip(3);
    const auto before = Tree(sd_);
    g_renamesLeft.store(n);
    zqMediaOp_SetRenameForTest(FailingRename);
    const int status = Op("p=delcv&fd=100&fn=0005&tc=3&c=1");
    zqMediaOp_SetRenameForTest(nullptr);
    EXPECT_EQ(status, n < 6 ? -100 : -101) << n;
    EXPECT_EQ(Tree(sd_), before) << n;
  }
}

TEST_F(MediaOpTest, RenamesNeverReplaceAFile) {
  Clip(2);
  zqtest::WriteFile(sd_ + "/100TAVRO/ZQ010005.MP4.tmp", "stray");
  const auto before = Tree(sd_);
  EXPECT_EQ(Op("p=delcv&fd=100&fn=0005&tc=2&c=0"), -100);
  EXPECT_EQ(Tree(sd_), before);
}

TEST_F(MediaOpTest, ChapteredDeleteParameters) {
  Clip(2);
  const auto before = Tree(sd_);
  const struct {
    const char* q;
    int status;
  } cases[] = {{"p=delcv&fd=10&fn=0005&tc=2&c=1", 4},
               {"p=delcv&fd=..1&fn=0005&tc=2&c=1", 4},
               {"p=delcv&fd=100&fn=00005&tc=2&c=1", 5},
               {"p=delcv&fd=100&fn=0005&tc=2", 6},
               {"p=delcv&fd=100&fn=0005&tc=2&c=100", 6}};
  for (const auto& c : cases) EXPECT_EQ(Op(c.q), c.status) << c.q;
  EXPECT_EQ(Tree(sd_), before);
}

}  // namespace
