#include "zqcommon/zqContainment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "zqtest/TempDir.h"

namespace {

// A tree with a folder, a file, links that stay inside and links that lead out, and a
// folder outside it.
class ZqContainment : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_ = tmp_.path() + "/card";
    zqtest::WriteFile(tree_ + "/a/f", "inside");
    zqtest::WriteFile(tmp_.path() + "/outside/secret", "secret");
    Link("f", "a/in");
    Link("../a/f", "a/up_and_in");
    Link(tmp_.path() + "/outside/secret", "a/out");
    Link("../../outside/secret", "a/climb");
    Link(tmp_.path() + "/outside", "away");
    Link("nowhere", "a/dangling");
    Link("loop", "a/loop");
    Link(".", "a/self");
  }

  void Link(const std::string& to, const std::string& name) {
    ASSERT_EQ(symlink(to.c_str(), (tree_ + "/" + name).c_str()), 0) << name;
  }

  zqtest::TempDir tmp_;
  std::string tree_;
};

TEST_F(ZqContainment, NamesThatClimbOrAreAbsoluteAreRefusedBeforeAnyLookup) {
  const std::string bad_names[] = {
      "..", "a/../a/f", "a/..", "/etc/passwd", "a/b..c",
      ".",  "a/./f",    "a//f", "a/f//",       std::string("a/f\0.txt", 8)};
  for (const std::string& bad : bad_names) {
    EXPECT_FALSE(zq_contain_name_ok(bad)) << bad;
    ZqContainedPath p;
    EXPECT_EQ(zq_contain_resolve(tree_, bad, &p), ZqContain::kBadName) << bad;
    EXPECT_TRUE(p.entry.empty() && p.target.empty()) << bad;
  }
  for (const char* good : {"", "a/", "a/f", ".hidden", "a/.f"}) {
    EXPECT_TRUE(zq_contain_name_ok(good)) << good;
  }
}

TEST_F(ZqContainment, ResolvesEveryNameToWhereItLeads) {
  char real[PATH_MAX];
  ASSERT_NE(realpath(tree_.c_str(), real), nullptr);
  const std::string r = real;
  struct Case {
    const char* name;
    ZqContain result;
    std::string entry;
    std::string target;
  };
  const Case cases[] = {
      {"", ZqContain::kInside, r, r},
      {"a/f", ZqContain::kInside, r + "/a/f", r + "/a/f"},
      // A link inside the tree: the entry is the link, the target the file.
      {"a/in", ZqContain::kInside, r + "/a/in", r + "/a/f"},
      {"a/up_and_in", ZqContain::kInside, r + "/a/up_and_in", r + "/a/f"},
      {"a/self/f", ZqContain::kInside, r + "/a/f", r + "/a/f"},
      {"a/missing", ZqContain::kMissing, r + "/a/missing", ""},
      {"a/f/under_a_file", ZqContain::kMissing, r + "/a/f/under_a_file", ""},
      {"a/out", ZqContain::kOutside, "", ""},
      {"a/climb", ZqContain::kOutside, "", ""},
      {"away/missing/deeper", ZqContain::kOutside, "", ""},
      {"a/dangling", ZqContain::kOutside, "", ""},
      {"a/loop/x", ZqContain::kOutside, "", ""},
  };
  for (const Case& c : cases) {
    ZqContainedPath p;
    EXPECT_EQ(zq_contain_resolve(tree_, c.name, &p), c.result) << c.name;
    EXPECT_EQ(p.entry, c.entry) << c.name;
    EXPECT_EQ(p.target, c.target) << c.name;
  }
}

TEST_F(ZqContainment, TreeReachedThroughALinkAndMissingTree) {
  const std::string alias = tmp_.path() + "/alias";
  ASSERT_EQ(symlink(tree_.c_str(), alias.c_str()), 0);
  ZqContainedPath p;
  EXPECT_EQ(zq_contain_resolve(alias, "a/in", &p), ZqContain::kInside);
  EXPECT_EQ(zqtest::ReadFile(p.target), "inside");
  EXPECT_EQ(zq_contain_resolve(alias, "a/out", &p), ZqContain::kOutside);

  EXPECT_EQ(zq_contain_resolve(tmp_.path() + "/unmounted", "a/f", &p), ZqContain::kMissing);
  EXPECT_EQ(p.entry, tmp_.path() + "/unmounted/a/f");
  EXPECT_EQ(p.target, "");
}

}  // namespace
