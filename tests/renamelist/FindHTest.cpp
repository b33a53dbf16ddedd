#include "renamelist/FindH.h"

#include "platform/Build.h"
#include "platform/FileSystem.h"
#include "support/LinuxOnly.h"
#if QUILLON_TEST_OTHER_USER
#include "support/AsOtherUser.h"
#endif
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#if QUILLON_TEST_BYTE_NAMES
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <string>
#include <vector>

namespace {

const std::string Sep = TempDir::Delimiter();

struct Found {
  std::string folder;
  std::string name;
  bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Found& f) {
  return out << f.folder << "|" << f.name;
}

std::vector<Found> Search(const std::string& folder, std::string_view mask, std::size_t stopAfter = 0) {
  std::vector<Found> found;
  FindH::FindFilesRecursive(folder, mask, [&](const std::string& path, const std::string& name) {
    found.push_back({path, name});
    return stopAfter == 0 || found.size() < stopAfter;
  });
  return found;
}

// Names of a folder in the order the file system returns them.
std::vector<std::string> FileSystemOrder(const std::string& folder, bool folders) {
  std::vector<FileSystem::Entry> entries;
  FileSystem::ReadFolder(folder, entries);
  std::vector<std::string> names;
  for (const auto& e : entries) {
    if (e.isFolder == folders) names.push_back(e.name);
  }
  return names;
}

TEST(FindHSearch, FilesBeforeSubfoldersDepthFirst) {
  TempDir dir;
  dir.WriteFile("a.txt");
  dir.WriteFile("b.txt");
  dir.WriteFile("one/c.txt");
  dir.WriteFile("one/deep/d.txt");
  dir.WriteFile("one/e.txt");
  dir.WriteFile("two/f.txt");
  const std::string root = dir.path() + Sep;

  std::vector<Found> expected;
  for (const auto& name : FileSystemOrder(dir.path(), false)) expected.push_back({root, name});
  for (const auto& sub : FileSystemOrder(dir.path(), true)) {
    const std::string folder = root + sub + Sep;
    for (const auto& name : FileSystemOrder(folder, false)) expected.push_back({folder, name});
    for (const auto& deeper : FileSystemOrder(folder, true)) {
      for (const auto& name : FileSystemOrder(folder + deeper, false)) {
        expected.push_back({folder + deeper + Sep, name});
      }
    }
  }
  ASSERT_EQ(expected.size(), 6u);
  EXPECT_EQ(Search(dir.path(), "*"), expected);
  // A trailing delimiter on the start folder makes no difference.
  EXPECT_EQ(Search(root, "*"), expected);
  // An empty mask takes every file.
  EXPECT_EQ(Search(dir.path(), ""), expected);
}

TEST(FindHSearch, MaskFiltersFilesOnlyAndEveryFolderIsEntered) {
  TempDir dir;
  dir.WriteFile("top.mp3");
  dir.WriteFile("top.txt");
  dir.WriteFile("music/a.mp3");
  dir.WriteFile("music/cover.jpg");
  dir.WriteFile("music/live/b.mp3");
  dir.MakeFolder("folder.mp3");
  const std::string root = dir.path() + Sep;
  EXPECT_EQ(Search(dir.path(), "*.mp3"),
            (std::vector<Found>{{root, "top.mp3"}, {root + "music" + Sep, "a.mp3"}, {root + "music" + Sep + "live" + Sep, "b.mp3"}}));
  EXPECT_TRUE(Search(dir.path(), "*.wav").empty());
}

#if QUILLON_TEST_SYMLINKS
TEST(FindHSearch, HiddenFilesFoundHiddenFoldersAndLinksSkipped) {
  TempDir dir;
  dir.WriteFile(".profile");
  dir.WriteFile(".cache/inside");
  dir.WriteFile("real/file");
  ASSERT_EQ(::symlink("real", (dir / "linkToFolder").c_str()), 0);
  ASSERT_EQ(::symlink("real/file", (dir / "linkToFile").c_str()), 0);
  // A loop: following links would never end.
  ASSERT_EQ(::symlink("..", (dir / "real/loop").c_str()), 0);
  const std::string root = dir.path() + "/";

  std::vector<Found> found = Search(dir.path(), "*");
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.folder + a.name < b.folder + b.name;
  });
  EXPECT_EQ(found, (std::vector<Found>{{root, ".profile"}, {root, "linkToFile"}, {root + "real/", "file"}}));
}

#endif

// Names that are not UTF-8 (Linux) or hold characters beyond ASCII
// (Windows, whose names are UTF-16) come back byte for byte.
TEST(FindHSearch, InvalidUtf8NamesKeepTheirBytes) {
  TempDir dir;
  const bool linux = kThisBuild == Build::Linux;
  const std::string folder = linux ? "M\xFCsik" : "M\xC3\xBCsik", file = linux ? "\xFC.mp3" : "\xF0\x9F\x98\x80.mp3";
  dir.WriteFile(folder + Sep + file);
  EXPECT_EQ(Search(dir.path(), "*.mp3"), (std::vector<Found>{{dir / folder + Sep, file}}));
}

TEST(FindHSearch, OddNamesOfFilesAndFoldersKeepTheirBytes) {
  TempDir dir;
  const bool linux = kThisBuild == Build::Linux;
  const std::string folder = linux ? "-x \n\xFF" : "-x %PATH% & ^!";
  const std::string file = (linux ? "--\n" : "--;") + std::string(250, 'f');
  dir.WriteFile(folder + Sep + file);
  dir.WriteFile(folder + Sep + std::string(255, 'g'));
  std::vector<Found> found = Search(dir.path(), "--*");
  EXPECT_EQ(found, (std::vector<Found>{{dir / folder + Sep, file}}));
}

#if QUILLON_TEST_BYTE_NAMES

// A tree deeper than the longest path the system takes: the search goes as
// deep as paths reach, finds each file there once, and ends.
TEST(FindHSearch, ATreeDeeperThanThePathLimitEnds) {
  TempDir dir;
  int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  constexpr int kDepth = 2500;
  for (int level = 0; level < kDepth; ++level) {
    ASSERT_EQ(::mkdirat(fd, "d", 0700), 0);
    const int file = ::openat(fd, "f", O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(file, 0);
    ::close(file);
    const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
    ASSERT_GE(fd, 0);
  }
  ::close(fd);
  const std::vector<Found> found = Search(dir.path(), "f");
  ASSERT_GT(found.size(), 1000u);
  EXPECT_LT(found.size(), static_cast<std::size_t>(kDepth));
  for (std::size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found[i].folder.size(), dir.path().size() + 1 + 2 * i);
    EXPECT_LT(found[i].folder.size(), 4096u);
  }
  // What lies past the path limit is taken down by rm, which walks folder by
  // folder.
  EXPECT_EQ(std::system(("rm -rf '" + dir.path() + "/d'").c_str()), 0);
}

#endif

#if QUILLON_TEST_OTHER_USER
TEST(FindHSearch, UnreadableFoldersGiveNothing) {
  TempDir dir;
  dir.WriteFile("a.txt");
  dir.WriteFile("locked/secret.txt");
  dir.WriteFile("open/b.txt");
  ASSERT_TRUE(OpenToOthers(dir.path()));
  ASSERT_TRUE(OpenToOthers(dir / "open"));
  ASSERT_EQ(::chmod((dir / "locked").c_str(), 0), 0);
  const std::string root = dir.path();
  const std::vector<Found> expected = {{root + "/", "a.txt"}, {root + "/open/", "b.txt"}};
  EXPECT_EQ(AsOtherUser([&] {
              std::vector<Found> found = Search(root, "*");
              std::sort(found.begin(), found.end(),
                        [](const Found& a, const Found& b) { return a.folder + a.name < b.folder + b.name; });
              return found == expected;
            }),
            std::optional<bool>(true));

  EXPECT_TRUE(Search(dir / "missing", "*").empty());
  EXPECT_TRUE(Search(dir / "a.txt", "*").empty());
}

#endif

TEST(FindHSearch, CallbackStopsTheWholeSearch) {
  TempDir dir;
  dir.WriteFile("a");
  dir.WriteFile("b");
  dir.WriteFile("sub/c");
  dir.WriteFile("sub/d");
  dir.WriteFile("other/e");
  const std::vector<Found> all = Search(dir.path(), "*");
  ASSERT_EQ(all.size(), 5u);
  for (std::size_t stop = 1; stop <= all.size(); ++stop) {
    SCOPED_TRACE(stop);
    const std::vector<Found> found = Search(dir.path(), "*", stop);
    EXPECT_EQ(found, std::vector<Found>(all.begin(), all.begin() + static_cast<long>(stop)));
  }
  std::size_t calls = 0;
  EXPECT_FALSE(FindH::FindFilesRecursive(dir.path(), "*", [&](const std::string&, const std::string&) {
    ++calls;
    return false;
  }));
  EXPECT_EQ(calls, 1u);
  EXPECT_TRUE(FindH::FindFilesRecursive(dir.path(), "*", [](const std::string&, const std::string&) { return true; }));
}

TEST(FindHSearch, SearchFolderLeavesThePathUnchanged) {
  TempDir dir;
  dir.WriteFile("x/y/z");
  std::string path = dir.path() + Sep;
  const std::string before = path;
  std::size_t calls = 0;
  EXPECT_TRUE(FindH::SearchFolder(path, "*", [&](const std::string& folder, const std::string& name) {
    ++calls;
    EXPECT_EQ(folder, before + "x" + Sep + "y" + Sep);
    EXPECT_EQ(name, "z");
    return true;
  }));
  EXPECT_EQ(calls, 1u);
  EXPECT_EQ(path, before);
}

#if QUILLON_TEST_PROCESSES
// The kernel's own file systems mounted below the start folder are not
// entered; an ordinary folder beside them is.
TEST(FindHSearch, PassesOverTheKernelsPseudoFileSystems) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  TempDir dir;
  dir.WriteFile("plain/b.txt");
  const char* const kinds[] = {"proc", "sysfs", "devpts"};
  std::vector<std::string> mounted;
  for (const char* kind : kinds) {
    const std::string at = dir.path() + "/" + kind;
    ::mkdir(at.c_str(), 0755);
    const std::string command = std::string("mount -t ") + kind + " none '" + at + "' 2>/dev/null";
    if (std::system(command.c_str()) == 0) mounted.push_back(at);
  }
  if (mounted.empty()) GTEST_SKIP() << "no pseudo file system could be mounted";
  for (const std::string& at : mounted) EXPECT_TRUE(FileSystem::IsKernelPseudoFolder(at + "/")) << at;
  EXPECT_FALSE(FileSystem::IsKernelPseudoFolder(dir.path() + "/plain/"));

  std::vector<std::string> found;
  FindH::FindFilesRecursive(dir.path(), "*", [&](const std::string& folder, const std::string& name) {
    found.push_back(folder + name);
    return true;
  });
  for (const std::string& at : mounted) EXPECT_EQ(std::system(("umount '" + at + "'").c_str()), 0);
  EXPECT_EQ(found, std::vector<std::string>{dir.path() + "/plain/b.txt"});
}
#endif

// A search worker left blocked until the process ends may go on after main
// has returned: what it reaches must not have been destroyed by then. The
// check runs in a fresh process, where the statics are made only after the
// handler was registered, so that they would go first.
TEST(FindHSearch, ASearchStillWorksAfterExitHasBegun) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir dir;
  dir.WriteFile("a");
  dir.WriteFile("sub/deeper/b");
  static std::string tree;
  tree = dir.path();
  EXPECT_EXIT(
      {
        std::atexit([] {
          std::size_t files = 0;
          FindH::FindFilesRecursive(tree, "*", [&](const std::string&, const std::string&) { return ++files, true; });
          // Windows has no kernel pseudo file systems to pass over.
          const bool pseudoKnown = kThisBuild == Build::Windows || FileSystem::IsKernelPseudoFolder("/proc/");
          ::_exit(files == 2 && pseudoKnown ? 7 : 8);
        });
        FileSystem::IsKernelPseudoFolder("/dev/shm/");
        FindH::FindFilesRecursive(tree, "*", [](const std::string&, const std::string&) { return true; });
        std::exit(0);
      },
      ::testing::ExitedWithCode(7), "");
}

}  // namespace
