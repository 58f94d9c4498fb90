#include "zqcommon/zqPaths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "zqtest/TempDir.h"

TEST(ZqPaths, ListeningPortsNeedFourValidNumbers) {
  std::array<int, 4> ports = {80, 8000, 8001, 8080};
  EXPECT_TRUE(zq_parse_listening_ports("18080,18000,18001,18081", &ports));
  EXPECT_EQ(ports, (std::array<int, 4>{18080, 18000, 18001, 18081}));

  const std::array<int, 4> before = ports;
  for (const char* bad : {"1,2,3", "1,2,3,4,5", "1,2,,4", "0,1,2,3", "1,2,3,65536", "1,2,3,4 "}) {
    EXPECT_FALSE(zq_parse_listening_ports(bad, &ports)) << bad;
    EXPECT_EQ(ports, before) << bad;
  }
}

TEST(ZqPaths, RelativePathsAreNotMoved) {
  EXPECT_EQ(zq_path("DCIM/100TAVRO"), "DCIM/100TAVRO");
  EXPECT_EQ(zq_path(""), "");
  EXPECT_EQ(zq_path("/tmp/fuse_d"), zq_root() + "/tmp/fuse_d");
}

TEST(ZqPaths, MakeDirsCreatesParentsAndAcceptsExisting) {
  zqtest::TempDir tmp;
  const std::string deep = tmp.path() + "/a/b/c";
  EXPECT_TRUE(zq_make_dirs(deep));
  EXPECT_TRUE(zq_make_dirs(deep));
  struct stat st = {};
  EXPECT_EQ(stat(deep.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  zqtest::WriteFile(tmp.path() + "/file", "x");
  EXPECT_FALSE(zq_make_dirs(tmp.path() + "/file/sub"));
}
