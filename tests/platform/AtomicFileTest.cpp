#include "platform/AtomicFile.h"
#include "platform/Build.h"

#include "support/LinuxOnly.h"
#if QUILLON_TEST_FULL_DISK
#include "support/FailingWrites.h"
#endif
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#if QUILLON_TEST_MODES
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::vector<std::string> FolderContents(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

#if QUILLON_TEST_MODES
mode_t ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}
#endif

}  // namespace

TEST(AtomicFileTest, CreatesAndReplacesWholeFiles) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(dir / "f", "first content\n", error)) << error;
  EXPECT_EQ(dir.ReadFile("f"), "first content\n");
  ASSERT_TRUE(WriteFileAtomically(dir / "f", "2", error)) << error;
  EXPECT_EQ(dir.ReadFile("f"), "2");
  ASSERT_TRUE(WriteFileAtomically(dir / "f", "", error)) << error;
  EXPECT_TRUE(dir.Exists("f"));
  EXPECT_EQ(dir.ReadFile("f"), "");
  EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"f"});
}

// What the owner set on the replaced file stays: POSIX replaces a read-only
// file (the folder allows it) and the new one keeps its permission bits;
// Windows refuses to replace a read-only file, which stays as it was.
TEST(AtomicFileTest, KeepsPermissionBitsOfTheReplacedFile) {
  TempDir dir;
  const bool replaced = kThisBuild == Build::Linux;
  dir.WriteFile("read-only", "old");
  SetReadOnly(dir / "read-only", true);
  std::string error;
  EXPECT_EQ(WriteFileAtomically(dir / "read-only", "new", error), replaced);
  EXPECT_EQ(error, replaced ? "" : AccessDeniedReason());
  EXPECT_EQ(dir.ReadFile("read-only"), replaced ? "new" : "old");
  EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"read-only"});
#if QUILLON_TEST_MODES
  EXPECT_EQ(ModeOf(dir / "read-only") & 0222, 0u);
  dir.WriteFile("private", "old");
  ::chmod((dir / "private").c_str(), 0600);
  dir.WriteFile("script", "old");
  ::chmod((dir / "script").c_str(), 0751);
  ASSERT_TRUE(WriteFileAtomically(dir / "private", "new", error)) << error;
  ASSERT_TRUE(WriteFileAtomically(dir / "script", "new", error)) << error;
  EXPECT_EQ(ModeOf(dir / "private"), 0600u);
  EXPECT_EQ(ModeOf(dir / "script"), 0751u);
#endif
}

#if QUILLON_TEST_MODES

TEST(AtomicFileTest, NewFileIsNotExecutable) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(dir / "new", "x", error)) << error;
  EXPECT_EQ(ModeOf(dir / "new") & 0111, 0u);
}

#endif

#if QUILLON_TEST_SYMLINKS
TEST(AtomicFileTest, SymbolicLinkStaysALinkAndItsTargetGetsTheContent) {
  TempDir dir;
  dir.WriteFile("dotfiles/settings.ini", "old");
  ASSERT_EQ(::symlink((dir / "dotfiles/settings.ini").c_str(), (dir / "link.ini").c_str()), 0);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(dir / "link.ini", "new", error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(dir.ReadFile("dotfiles/settings.ini"), "new");
}

#endif

#if QUILLON_TEST_FULL_DISK
TEST(AtomicFileTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
  TempDir dir;
  dir.WriteFile("keep", "old content");
  std::string error;
  {
    FailingWrites blocked(dir.path());
    EXPECT_FALSE(WriteFileAtomically(dir / "keep", "new content that is longer", error));
  }
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(dir.ReadFile("keep"), "old content");
  EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"keep"});
}

#endif

TEST(AtomicFileTest, MissingFolderIsReportedWithTheSystemReason) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir / "no/such/folder/file", "x", error));
  EXPECT_EQ(error, MissingFolderReason());
}

TEST(AtomicFileTest, AFolderInTheWayIsNotReplaced) {
  TempDir dir;
  dir.WriteFile("target/inside", "kept");
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir / "target", "x", error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(dir.ReadFile("target/inside"), "kept");
  EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"target"});
}

#if QUILLON_TEST_SYMLINKS
// A settings file linked to /dev/null, or a pipe standing where the file
// goes: the special file is never replaced by a regular one.
TEST(AtomicFileTest, ASpecialFileInTheWayIsNotReplaced) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  ASSERT_EQ(::symlink((dir / "pipe").c_str(), (dir / "link").c_str()), 0);
  for (const char* name : {"pipe", "link"}) {
    SCOPED_TRACE(name);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir / name, "x", error));
    EXPECT_EQ(error, "Not a regular file");
  }
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "pipe").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
  EXPECT_EQ(FolderContents(dir.path()), (std::vector<std::string>{"link", "pipe"}));
}

#endif
