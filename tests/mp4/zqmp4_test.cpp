// zqmp4 from the outside, as a developer uses it: its sample listing of every track of every
// generated clip matches ffprobe's packets, and its dump shows the atom tree with the maker's
// user data.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "mp4test/Ffprobe.h"
#include "mp4test/TestClips.h"
#include "zqtest/Programs.h"
#include "zqtest/TempDir.h"

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
};

ToolRun Zqmp4(const std::string& args) {
  std::string command = zqtest::ProgramCommand("zqmp4") + " " + args + " 2>&1";
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// The listing prints what the reader finds (checked on every clip by the library's tests):
// one clip with every kind of track shows the format.
TEST(Zqmp4, SampleListingsMatchFfprobe) {
  const auto& clips = mp4test::GeneratedClips();
  ASSERT_FALSE(clips.empty());
  const mp4test::Clip& clip = clips[0];
  mp4test::Probe probe = mp4test::RunFfprobe(clip.path);
  ASSERT_TRUE(probe.ok);
  for (const mp4test::ProbeStream& stream : probe.streams) {
    SCOPED_TRACE(clip.name + " track " + std::to_string(stream.index));
    ToolRun run = Zqmp4("samples '" + clip.path + "' " + std::to_string(stream.index));
    ASSERT_EQ(run.status, 0) << run.out;
    std::istringstream lines(run.out);
    std::string line;
    std::vector<mp4test::ProbePacket> packets = probe.PacketsOf(stream.index);
    size_t i = 0;
    while (std::getline(lines, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream fields(line);
      uint64_t index = 0, offset = 0, size = 0;
      fields >> index >> offset >> size;
      ASSERT_LT(i, packets.size());
      EXPECT_EQ(index, i);
      EXPECT_EQ(static_cast<int64_t>(offset), packets[i].pos) << line;
      EXPECT_EQ(static_cast<int64_t>(size), packets[i].size) << line;
      ++i;
    }
    EXPECT_EQ(i, packets.size());
  }
}

TEST(Zqmp4, DumpShowsTheTreeAndTheMakerAtoms) {
  const auto& clips = mp4test::GeneratedClips();
  ASSERT_FALSE(clips.empty());
  ToolRun run = Zqmp4("dump '" + clips[0].path + "'");
  ASSERT_EQ(run.status, 0);
  for (const char* text :
       {"Top-level atoms:\n", "***** MovieAtom Begin", "***** TrackAtom Begin",
        "***** FIRMAtom Begin", "FirmwareVersion: HD9.01.01.60.00", "MUID: a0 a1 a2 a3",
        "***** Spotmark Tags Begin", "COUNT: 3", "TAG: 62.250 sec ", "ComponentName: Tavro MET",
        "DataFormat: zqmd", "***** MovieAtom End"}) {
    EXPECT_NE(run.out.find(text), std::string::npos) << text;
  }
}

TEST(Zqmp4, BadUsageAndUnreadableFiles) {
  EXPECT_EQ(Zqmp4("").status, 1);
  EXPECT_EQ(Zqmp4("samples x").status, 1);
  const auto& clips = mp4test::GeneratedClips();
  ASSERT_FALSE(clips.empty());
  EXPECT_EQ(Zqmp4("samples '" + clips[0].path + "' -1").status, 1);
  EXPECT_EQ(Zqmp4("samples '" + clips[0].path + "' 99").status, 2);
  ToolRun missing = Zqmp4("dump /nonexistent/clip.mp4");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("result 0x9"), std::string::npos) << missing.out;

  // The movie atom cut in half: a clear failure, no output but the message.
  zqtest::TempDir dir;
  std::string bytes = mp4test::ReadAll(clips[1].path);
  std::string cut = dir.path() + "/cut.mov";
  zqtest::WriteFile(cut, bytes.substr(0, bytes.size() / 64));
  ToolRun damaged = Zqmp4("dump '" + cut + "'");
  EXPECT_EQ(damaged.status, 2);
  EXPECT_NE(damaged.out.find("cannot read the movie"), std::string::npos) << damaged.out;
}

// The extraction through a pipe (standard output cannot seek): ffprobe reads what arrives,
// with the selected streams. Their packets are compared with the source's by the library's
// extraction tests.
TEST(Zqmp4, ExtractWritesThroughAPipe) {
  const auto& clips = mp4test::GeneratedClips();
  ASSERT_FALSE(clips.empty());
  zqtest::TempDir dir;
  std::string out = dir.path() + "/out.mp4";
  ToolRun run =
      Zqmp4("extract --tracks video,telemetry '" + clips[0].path + "' | cat > '" + out + "'");
  ASSERT_EQ(run.status, 0) << run.out;
  mp4test::Probe probe = mp4test::RunFfprobe(out, true);
  ASSERT_TRUE(probe.ok);
  std::vector<std::string> tags;
  for (const auto& stream : probe.streams) tags.push_back(stream.codecTag);
  EXPECT_EQ(tags, (std::vector<std::string>{"avc1", "tmcd", "zqmd"}));

  EXPECT_EQ(Zqmp4("extract --tracks video,sound '" + clips[0].path + "'").status, 1);
  EXPECT_EQ(Zqmp4("extract --tracks '' '" + clips[0].path + "'").status, 1);
  EXPECT_EQ(Zqmp4("extract video '" + clips[0].path + "'").status, 1);
  ToolRun missing = Zqmp4("extract --tracks audio /nonexistent/clip.mp4");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("cannot open"), std::string::npos) << missing.out;
  std::string notMp4 = dir.path() + "/text.mp4";
  zqtest::WriteFile(notMp4, std::string(1000, 'z'));
  ToolRun refused = Zqmp4("extract --tracks audio '" + notMp4 + "'");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.out.find("extraction failed (result 0x10001) after 0 bytes"), std::string::npos)
      << refused.out;
}

}  // namespace
