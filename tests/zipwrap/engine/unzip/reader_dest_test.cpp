// The destination's folder walk keeps the folders of the last path open and
// reuses the part a new path shares: every descriptor it hands out must be
// the folder asked for, whatever path came before (up, down, sideways, past
// the levels kept open), and the tree must close everything it opened.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_env.h"
#include "zipwrap/engine/unzip/reader_dest.h"

namespace vz::zipwrap::test {
namespace {

size_t openDescriptors() {
  const auto fds = std::filesystem::directory_iterator("/proc/self/fd");
  return static_cast<size_t>(std::distance(begin(fds), end(fds)));
}

TEST(DestinationTreeWalk, EachDescriptorIsTheFolderAskedForAndNoneLeaks) {
  vz::test::ScratchDir dir("zwdest");
  const size_t before = openDescriptors();
  {
    DestinationTree tree;
    ASSERT_TRUE(tree.open(dir.file("out")));
    std::vector<std::vector<std::string>> paths = {{"a"}, {"a", "b"}, {"a"}, {"c", "d"}, {"a", "b", "e"}, {"a", "x"}};
    std::vector<std::string> deep;
    for (int i = 0; i < 40; ++i) deep.push_back("l" + std::to_string(i));
    paths.push_back(deep);
    paths.push_back(std::vector<std::string>(deep.begin(), deep.begin() + 35));
    paths.push_back(std::vector<std::string>(deep.begin(), deep.begin() + 20));
    // Then a random walk over every prefix of these.
    std::mt19937 rng(3);
    const size_t fixed = paths.size();
    for (int i = 0; i < 200; ++i) {
      std::vector<std::string> p = paths[rng() % fixed];
      p.resize(1 + rng() % p.size());
      paths.push_back(p);
    }
    for (const auto& p : paths) {
      std::string path = dir.file("out");
      for (const std::string& c : p) path += "/" + c;
      const int fd = tree.folder(p);
      ASSERT_GE(fd, 0) << path;
      struct stat byFd {
      }, byPath{};
      ASSERT_EQ(::fstat(fd, &byFd), 0);
      ASSERT_EQ(::stat(path.c_str(), &byPath), 0) << path;
      EXPECT_EQ(byFd.st_ino, byPath.st_ino) << path;
    }
  }
  EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
}  // namespace vz::zipwrap::test
