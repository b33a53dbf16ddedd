#include "platform/Build.h"
#include "platform/FileSystem.h"

#include "support/LinuxOnly.h"
#if QUILLON_TEST_OTHER_USER
#include "support/AsOtherUser.h"
#endif
#if QUILLON_TEST_FUSE
#include "support/ExfatMount.h"
#endif
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#if QUILLON_TEST_SYMLINKS
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#endif
#include <tuple>
#include <unistd.h>

namespace {

using FileSystem::Entry;
using FileSystem::RenameResult;

std::map<std::string, Entry> ByName(const std::vector<Entry>& entries) {
  std::map<std::string, Entry> map;
  for (const Entry& e : entries) map[e.name] = e;
  return map;
}

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<Entry> entries;
  FileSystem::ReadFolder(folder, entries);
  std::vector<std::string> names;
  for (const Entry& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileSystemReadFolder, EntryKinds) {
  TempDir dir;
  dir.WriteFile("plain.txt", "12345");
  dir.WriteFile(".hidden", "x");
  dir.MakeFolder("sub");
  dir.MakeFolder(".hiddensub");
  dir.WriteFile("target.bin", std::string(1000, 'x'));
  std::filesystem::last_write_time(
      dir / "plain.txt", std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1000000000))));
#if QUILLON_TEST_SYMLINKS
  ASSERT_EQ(::symlink("sub", (dir / "linkToFolder").c_str()), 0);
  ASSERT_EQ(::symlink("target.bin", (dir / "linkToFile").c_str()), 0);
  ASSERT_EQ(::symlink("missing", (dir / "dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = dir / "socket";
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(sock);
#endif

  std::vector<Entry> entries;
  ASSERT_TRUE(FileSystem::ReadFolder(dir.path(), entries));
  const auto map = ByName(entries);
  EXPECT_EQ(map.count("."), 0u);
  EXPECT_EQ(map.count(".."), 0u);

  struct Expect {
    const char* name;
    bool folder;
    bool link;
  };
  const Expect expected[] = {
      {"plain.txt", false, false}, {".hidden", false, false},     {"sub", true, false},
      {".hiddensub", true, false}, {"target.bin", false, false},
#if QUILLON_TEST_SYMLINKS
      {"linkToFolder", true, true}, {"linkToFile", false, true}, {"dangling", false, true},
      {"pipe", false, false},       {"socket", false, false},
#endif
  };
  ASSERT_EQ(map.size(), std::size(expected));
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.name);
    ASSERT_EQ(map.count(e.name), 1u);
    EXPECT_EQ(map.at(e.name).isFolder, e.folder);
    EXPECT_EQ(map.at(e.name).isSymlink, e.link);
  }
  EXPECT_EQ(map.at("plain.txt").size, 5);
  EXPECT_EQ(map.at("plain.txt").modified, 1000000000);
#if QUILLON_TEST_SYMLINKS
  // A link to a file keeps its own size (the length of its target text).
  EXPECT_EQ(map.at("linkToFile").size, static_cast<std::int64_t>(std::string("target.bin").size()));
#endif
  EXPECT_EQ(map.at("target.bin").size, 1000);

  // The kinds-only reading agrees on every kind.
  std::vector<Entry> kinds;
  ASSERT_TRUE(FileSystem::ReadFolderKinds(dir.path(), kinds));
  const auto kindMap = ByName(kinds);
  ASSERT_EQ(kindMap.size(), map.size());
  for (const auto& [name, entry] : map) {
    SCOPED_TRACE(name);
    EXPECT_EQ(kindMap.at(name).isFolder, entry.isFolder);
    EXPECT_EQ(kindMap.at(name).isSymlink, entry.isSymlink);
  }
}

#if QUILLON_TEST_SYMLINKS  // and /dev
TEST(FileSystemReadFolder, DeviceIsAFile) {
  std::vector<Entry> entries;
  ASSERT_TRUE(FileSystem::ReadFolder("/dev", entries));
  const auto map = ByName(entries);
  ASSERT_EQ(map.count("null"), 1u);
  EXPECT_FALSE(map.at("null").isFolder);
}

#endif

TEST(FileSystemReadFolder, MatchingExaminesOnlyWantedNames) {
  TempDir dir;
  dir.WriteFile("a.txt");
  dir.WriteFile("b.doc");
  dir.MakeFolder("c.txt");
  std::vector<Entry> entries;
  ASSERT_TRUE(FileSystem::ReadFolderMatching(
      dir.path(), [](std::string_view name) { return name.ends_with(".txt"); }, entries));
  const auto map = ByName(entries);
  ASSERT_EQ(map.size(), 2u);
  EXPECT_FALSE(map.at("a.txt").isFolder);
  EXPECT_TRUE(map.at("c.txt").isFolder);
}

TEST(FileSystemReadFolder, UnreadableOrMissingFolderGivesFalse) {
  TempDir dir;
  dir.WriteFile("gone/a.txt");
  std::vector<Entry> entries(1);
  entries[0].name = "stale";
  EXPECT_FALSE(FileSystem::ReadFolder(dir / "missing", entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(FileSystem::ReadFolder(dir / "gone/a.txt", entries));
  EXPECT_FALSE(FileSystem::FolderHasSubfolders(dir / "missing"));

#if QUILLON_TEST_OTHER_USER
  dir.MakeFolder("locked/inner");
  dir.MakeFolder("open/inner");
  ASSERT_TRUE(OpenToOthers(dir.path()));
  ASSERT_TRUE(OpenToOthers(dir / "open"));
  ASSERT_EQ(::chmod((dir / "locked").c_str(), 0), 0);
  const std::string locked = dir / "locked";
  const std::string open = dir / "open";
  auto readsAndFindsSubfolder = [](const std::string& folder) {
    std::vector<Entry> found;
    return FileSystem::ReadFolder(folder, found) && FileSystem::FolderHasSubfolders(folder);
  };
  // The same check as another user: the open folder reads, the locked one not.
  EXPECT_EQ(AsOtherUser([&] { return readsAndFindsSubfolder(open); }), std::optional<bool>(true));
  EXPECT_EQ(AsOtherUser([&] {
              std::vector<Entry> found;
              return FileSystem::ReadFolder(locked, found) || !found.empty() ||
                     FileSystem::FolderHasSubfolders(locked);
            }),
            std::optional<bool>(false));
#endif
}

TEST(FileSystemFolders, ExistingFolderFollowsLinks) {
  TempDir dir;
  dir.MakeFolder("sub");
  dir.WriteFile("file");
  EXPECT_TRUE(FileSystem::IsExistingFolder(dir.path()));
  EXPECT_TRUE(FileSystem::IsExistingFolder(dir / "sub"));
  EXPECT_TRUE(FileSystem::IsExistingFolder(dir / "sub" + TempDir::Delimiter()));
  EXPECT_FALSE(FileSystem::IsExistingFolder(dir / "file"));
#if QUILLON_TEST_SYMLINKS
  ASSERT_EQ(::symlink("sub", (dir / "link").c_str()), 0);
  ASSERT_EQ(::symlink("file", (dir / "fileLink").c_str()), 0);
  EXPECT_TRUE(FileSystem::IsExistingFolder(dir / "link"));
  EXPECT_FALSE(FileSystem::IsExistingFolder(dir / "fileLink"));
#endif
  EXPECT_FALSE(FileSystem::IsExistingFolder(dir / "missing"));
  EXPECT_FALSE(FileSystem::IsExistingFolder(""));
}

TEST(FileSystemFolders, HasSubfolders) {
  TempDir dir;
  dir.WriteFile("onlyFiles/a");
  dir.WriteFile("onlyFiles/.b");
  dir.MakeFolder("withSub/x");
  dir.MakeFolder("withHidden/.x");
  dir.MakeFolder("empty");
  EXPECT_FALSE(FileSystem::FolderHasSubfolders(dir / "onlyFiles"));
  EXPECT_FALSE(FileSystem::FolderHasSubfolders(dir / "empty"));
  EXPECT_TRUE(FileSystem::FolderHasSubfolders(dir / "withSub"));
  EXPECT_TRUE(FileSystem::FolderHasSubfolders(dir / "withSub" + TempDir::Delimiter()));
  EXPECT_TRUE(FileSystem::FolderHasSubfolders(dir / "withHidden"));
#if QUILLON_TEST_SYMLINKS
  dir.MakeFolder("withLink");
  ASSERT_EQ(::symlink("..", (dir / "withLink/up").c_str()), 0);
  EXPECT_TRUE(FileSystem::FolderHasSubfolders(dir / "withLink"));
#endif
}

TEST(FileSystemRename, RenamesFilesAndFolders) {
  TempDir dir;
  dir.WriteFile("old.txt", "content");
  dir.WriteFile("folder/inside", "i");
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "old.txt", "new.txt"), RenameResult::Renamed);
  EXPECT_FALSE(dir.Exists("old.txt"));
  EXPECT_EQ(dir.ReadFile("new.txt"), "content");
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path() + "/", "folder", "renamed"), RenameResult::Renamed);
  EXPECT_EQ(dir.ReadFile("renamed/inside"), "i");
  EXPECT_FALSE(dir.Exists("folder"));
}

TEST(FileSystemRename, NeverReplaces) {
  TempDir dir;
  dir.WriteFile("a.txt", "A");
  dir.WriteFile("b.txt", "B");
  dir.MakeFolder("folder");
  dir.WriteFile("folder/keep", "K");
  dir.MakeFolder("emptyFolder");

  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "a.txt", "b.txt"), RenameResult::TargetExists);
  EXPECT_EQ(dir.ReadFile("a.txt"), "A");
  EXPECT_EQ(dir.ReadFile("b.txt"), "B");

  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "a.txt", "folder"), RenameResult::TargetExists);
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "emptyFolder", "folder"), RenameResult::TargetExists);
  // A plain rename would replace an empty folder by another folder.
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "folder", "emptyFolder"), RenameResult::TargetExists);
  EXPECT_EQ(dir.ReadFile("a.txt"), "A");
  EXPECT_EQ(dir.ReadFile("folder/keep"), "K");
  EXPECT_TRUE(dir.Exists("emptyFolder"));
}

TEST(FileSystemRename, RefusesNamesOutsideTheFolderAndMissingEntries) {
  TempDir dir;
  dir.WriteFile("a.txt", "A");
  dir.MakeFolder("sub");
  for (const char* bad : {"", ".", "..", "sub/a.txt", "../a.txt"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "a.txt", bad), RenameResult::Failed);
  }
  EXPECT_EQ(dir.ReadFile("a.txt"), "A");
  EXPECT_FALSE(dir.Exists("sub/a.txt"));
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "missing", "x"), RenameResult::Failed);
  EXPECT_EQ(FileSystem::RenameNoReplace(dir / "nofolder", "a.txt", "x"), RenameResult::Failed);
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "a.txt", "a.txt"), RenameResult::Renamed);
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "missing", "missing"), RenameResult::Failed);
}

#if QUILLON_TEST_CASE_APART
TEST(FileSystemRename, CaseOnlyRenameOnCaseSensitiveFolder) {
  TempDir dir;
  dir.WriteFile("photo.jpg", "P");
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "photo.jpg", "Photo.JPG"), RenameResult::Renamed);
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"Photo.JPG"});
  // Here both spellings are separate names: no folding, no replacing.
  dir.WriteFile("photo.jpg", "Q");
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "photo.jpg", "Photo.JPG"), RenameResult::TargetExists);
  EXPECT_EQ(dir.ReadFile("Photo.JPG"), "P");
  EXPECT_EQ(dir.ReadFile("photo.jpg"), "Q");
}

#endif

// Names that are not UTF-8 (Linux), or beyond ASCII and the ANSI code page
// (Windows, whose names are UTF-16).
TEST(FileSystemRename, InvalidUtf8NameRenamedAndDeleted) {
  TempDir dir;
  const bool linux = kThisBuild == Build::Linux;
  const std::string latin1 = linux ? "M\xFCller.txt" : "M\xC3\xBCller.txt";
  const std::string renamed = linux ? "\xFC\xFC.txt" : "\xE6\x97\xA5\xF0\x9F\x98\x80.txt";
  dir.WriteFile(latin1, "bytes");
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{latin1});
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), latin1, renamed), RenameResult::Renamed);
  EXPECT_EQ(dir.ReadFile(renamed), "bytes");
  EXPECT_TRUE(FileSystem::DeleteFile(dir / renamed));
  EXPECT_TRUE(NamesIn(dir.path()).empty());
}

// The system calls take zero-terminated text: a name holding a zero byte
// would name a different entry (the part before the zero), so it names none.
TEST(FileSystemZeroByte, NamesAndPathsHoldingAZeroByteAreRefused) {
  TempDir dir;
  dir.WriteFile("a.txt", "A");
  dir.WriteFile("victim", "V");
  dir.MakeFolder("sub");
  dir.WriteFile("sub/inner", "I");
  const std::string zero(1, '\0');

  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "a.txt", "b" + zero + ".txt"), RenameResult::Failed);
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "a.txt" + zero + "junk", "c.txt"), RenameResult::Failed);
  EXPECT_EQ(FileSystem::RenameNoReplace(dir / "sub" + zero + "x", "inner", "moved"), RenameResult::Failed);
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "a.txt", "a.txt" + zero), RenameResult::Failed);
  EXPECT_FALSE(FileSystem::DeleteFile(dir / "victim" + zero + ".bak"));
  EXPECT_FALSE(FileSystem::IsExistingFolder(dir / "sub" + zero + "x"));
  std::vector<Entry> entries;
  EXPECT_FALSE(FileSystem::ReadFolder(dir / "sub" + zero + "x", entries));
  EXPECT_FALSE(FileSystem::FolderHasSubfolders(dir.path() + zero + "/x"));

  EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"a.txt", "sub", "victim"}));
  EXPECT_EQ(NamesIn(dir / "sub"), std::vector<std::string>{"inner"});
  EXPECT_EQ(dir.ReadFile("a.txt"), "A");
  EXPECT_EQ(dir.ReadFile("victim"), "V");
}

TEST(FileSystemRename, OddNamesRenameBothWays) {
  TempDir dir;
  const std::string names[] = {
      "-rf", "--", "-", "$(touch x)", "50% & ^!", std::string(255, 'n'), ".quillon-1-0000000000000000.tmp",
      ".x.tmp-abcdefgh",
#if QUILLON_TEST_BYTE_NAMES
      " lead and trail ", "line\nbreak", "tab\there", "\xFF\xFE\x80", "*", "\\",
#endif
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    dir.WriteFile("plain", name);
    ASSERT_EQ(FileSystem::RenameNoReplace(dir.path(), "plain", name), RenameResult::Renamed);
    EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{name});
    EXPECT_EQ(dir.ReadFile(name), name);
    dir.WriteFile("plain", "other");
    EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "plain", name), RenameResult::TargetExists);
    EXPECT_EQ(dir.ReadFile(name), name);
    EXPECT_TRUE(FileSystem::DeleteFile(dir / "plain"));
    ASSERT_EQ(FileSystem::RenameNoReplace(dir.path(), name, "plain"), RenameResult::Renamed);
    EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"plain"});
    EXPECT_TRUE(FileSystem::DeleteFile(dir / "plain"));
  }
  // One byte too long for any entry name.
  dir.WriteFile("plain");
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "plain", std::string(256, 'n')), RenameResult::Failed);
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"plain"});
}

#if QUILLON_TEST_BYTE_NAMES
// A path longer than the system's path limit still works: the folder is
// opened once and the names are taken inside it.
TEST(FileSystemRename, WorksInAFolderWhosePathIsNearThePathLimit) {
  TempDir dir;
  std::string folder = dir.path();
  const std::string part(200, 'p');
  while (folder.size() + part.size() + 1 < 4096 - 20) {
    folder += "/" + part;
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  }
  const int fd = ::open((folder + "/a").c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  const std::string longName(250, 'b');
  ASSERT_GT((folder + "/" + longName).size(), 4096u);
  EXPECT_EQ(FileSystem::RenameNoReplace(folder, "a", longName), RenameResult::Renamed);
  EXPECT_EQ(NamesIn(folder), std::vector<std::string>{longName});
  const int other = ::open((folder + "/a").c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(other, 0);
  ::close(other);
  EXPECT_EQ(FileSystem::RenameNoReplace(folder, "a", longName), RenameResult::TargetExists);
  EXPECT_EQ(FileSystem::RenameNoReplace(folder, longName, longName), RenameResult::Renamed);
  EXPECT_EQ(NamesIn(folder), (std::vector<std::string>{"a", longName}));
}


#endif

// Two names of one file: the target "exists" and is the same file as the
// entry, yet a real second name that must be kept.
TEST(FileSystemRename, AHardLinkIsNeverReplaced) {
  TempDir dir;
  dir.WriteFile("a", "shared");
  std::filesystem::create_hard_link(dir / "a", dir / "b");
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "a", "b"), RenameResult::TargetExists);
  EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"a", "b"}));
}

#if QUILLON_TEST_OTHER_USER
// A folder whose listing cannot be read (search and write permission only):
// a taken name is still reported as taken and nothing moves.
TEST(FileSystemRename, TakenNameInAFolderThatCannotBeListed) {
  TempDir dir;
  dir.WriteFile("box/a", "A");
  dir.WriteFile("box/b", "B");
  ASSERT_TRUE(OpenToOthers(dir.path()));
  ASSERT_EQ(::chmod((dir / "box").c_str(), 0333), 0);
  ASSERT_EQ(::chmod((dir / "box/a").c_str(), 0666), 0);
  const std::string box = dir / "box";
  EXPECT_EQ(AsOtherUser([&] { return FileSystem::RenameNoReplace(box, "a", "b") == RenameResult::TargetExists; }),
            std::optional<bool>(true));
  EXPECT_EQ(AsOtherUser([&] { return FileSystem::RenameNoReplace(box, "a", "c") == RenameResult::Renamed; }),
            std::optional<bool>(true));
  ASSERT_EQ(::chmod(box.c_str(), 0700), 0);
  EXPECT_EQ(dir.ReadFile("box/b"), "B");
  EXPECT_EQ(dir.ReadFile("box/c"), "A");
}

#endif

TEST(FileSystemDelete, DeletesFilesOnly) {
  TempDir dir;
  dir.WriteFile("a.txt");
  dir.MakeFolder("folder");
  EXPECT_TRUE(FileSystem::DeleteFile(dir / "a.txt"));
  EXPECT_FALSE(dir.Exists("a.txt"));
  EXPECT_FALSE(FileSystem::DeleteFile(dir / "a.txt"));
  EXPECT_FALSE(FileSystem::DeleteFile(dir / "folder"));
  EXPECT_TRUE(dir.Exists("folder"));
  EXPECT_FALSE(FileSystem::DeleteFile(""));
#if QUILLON_TEST_SYMLINKS
  // Deleting a link removes the link, never its target.
  dir.WriteFile("target", "T");
  ASSERT_EQ(::symlink("target", (dir / "link").c_str()), 0);
  EXPECT_TRUE(FileSystem::DeleteFile(dir / "link"));
  EXPECT_EQ(dir.ReadFile("target"), "T");
#endif
}

// What keeps a file from being deleted: the folder's mode on POSIX, the
// file's own read-only attribute on Windows.
TEST(FileSystemDelete, FailsInAReadOnlyFolder) {
  TempDir dir;
  dir.WriteFile("locked/a.txt");
  const std::string file = dir / "locked/a.txt";
  SetReadOnly(kThisBuild == Build::Linux ? dir / "locked" : file, true);
  EXPECT_EQ(AsOrdinaryOwner(dir, [&] { return FileSystem::DeleteFile(file); }), std::optional<bool>(false));
  EXPECT_TRUE(dir.Exists("locked/a.txt"));
}

#if QUILLON_TEST_FUSE
// On a file system that ignores letter case, "Photo.JPG" already "exists" as
// soon as "photo.jpg" does.
TEST(FileSystemCaseFolding, CaseOnlyRenameOnExfat) {
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  const std::string root = volume.path();
  auto write = [&](const std::string& name, const std::string& content) {
    const int fd = ::open((root + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    ::close(fd);
  };
  auto read = [&](const std::string& name) {
    std::string content;
    const int fd = ::open((root + "/" + name).c_str(), O_RDONLY);
    if (fd < 0) return std::string("<missing>");
    char buffer[64];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return content;
  };

  write("photo.jpg", "P");
  write("other.jpg", "O");
  ASSERT_EQ(::mkdir((root + "/folder").c_str(), 0700), 0);
  write("folder/inside", "I");

  EXPECT_EQ(FileSystem::RenameNoReplace(root, "photo.jpg", "Photo.JPG"), RenameResult::Renamed);
  EXPECT_EQ(NamesIn(root), (std::vector<std::string>{"Photo.JPG", "folder", "other.jpg"}));
  EXPECT_EQ(read("Photo.JPG"), "P");

  EXPECT_EQ(FileSystem::RenameNoReplace(root, "folder", "FOLDER"), RenameResult::Renamed);
  EXPECT_EQ(NamesIn(root), (std::vector<std::string>{"FOLDER", "Photo.JPG", "other.jpg"}));
  EXPECT_EQ(read("FOLDER/inside"), "I");

  // Another file under a folded spelling is still never replaced, and the
  // entry keeps its old name.
  EXPECT_EQ(FileSystem::RenameNoReplace(root, "Photo.JPG", "OTHER.JPG"), RenameResult::TargetExists);
  EXPECT_EQ(NamesIn(root), (std::vector<std::string>{"FOLDER", "Photo.JPG", "other.jpg"}));
  EXPECT_EQ(read("Photo.JPG"), "P");
  EXPECT_EQ(read("other.jpg"), "O");
}

// Names that look like the temporary names, and the longest names, through
// the case-only path of a file system that folds case.
TEST(FileSystemCaseFolding, OddNamesOnExfat) {
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  const std::string root = volume.path();
  auto make = [&](const std::string& name) {
    const int fd = ::open((root + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return false;
    const bool written = ::write(fd, name.data(), name.size()) == static_cast<ssize_t>(name.size());
    return ::close(fd) == 0 && written;
  };
  const std::string lookalike = ".quillon-" + std::to_string(::getpid()) + "-0000000000000000.tmp";
  const std::string longName = std::string(250, 'l') + ".jpg";
  std::string longUpper = longName;
  for (char& c : longUpper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_TRUE(make(lookalike));
  ASSERT_TRUE(make(longName));
  ASSERT_TRUE(make("-dash"));

  EXPECT_EQ(FileSystem::RenameNoReplace(root, longName, longUpper), RenameResult::Renamed);
  EXPECT_EQ(FileSystem::RenameNoReplace(root, "-dash", "-DASH"), RenameResult::Renamed);
  EXPECT_EQ(FileSystem::RenameNoReplace(root, lookalike, ".QUILLON-X.TMP"), RenameResult::Renamed);
  EXPECT_EQ(NamesIn(root), (std::vector<std::string>{"-DASH", ".QUILLON-X.TMP", longUpper}));
  // A different name onto a folded spelling of another entry is refused.
  EXPECT_EQ(FileSystem::RenameNoReplace(root, "-DASH", ".quillon-x.tmp"), RenameResult::TargetExists);
  EXPECT_EQ(NamesIn(root), (std::vector<std::string>{"-DASH", ".QUILLON-X.TMP", longUpper}));
}

#endif

// Random renames among names that differ only in case, checked against a
// model of the folder: every result as the model says, and every file's
// content still under exactly one name after each step.
void CheckRandomRenamesAgainstModel(const std::string& root, bool foldsCase) {
  auto fold = [&](std::string name) {
    if (foldsCase)
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
  };
  const std::vector<std::string> pool = {"a", "A", "b", "B", "ab", "aB", "Ab", "AB", "-a", "-A"};
  std::map<std::string, std::string> model;  // name on disk -> content
  for (const char* name : {"a", "B", "ab"}) {
    const int fd = ::open((root + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, name, std::strlen(name)), static_cast<ssize_t>(std::strlen(name)));
    ::close(fd);
    model[name] = name;
  }
  std::mt19937 random(7);
  for (int step = 0; step < 300; ++step) {
    auto it = model.begin();
    std::advance(it, static_cast<long>(random() % model.size()));
    const std::string oldName = it->first;
    const std::string newName = pool[random() % pool.size()];
    if (newName == oldName) continue;
    RenameResult expected = RenameResult::Renamed;
    for (const auto& [name, content] : model)
      if (name != oldName && fold(name) == fold(newName)) expected = RenameResult::TargetExists;
    if (!foldsCase && model.count(newName)) expected = RenameResult::TargetExists;
    SCOPED_TRACE("step " + std::to_string(step) + ": " + oldName + " -> " + newName);
    ASSERT_EQ(FileSystem::RenameNoReplace(root, oldName, newName), expected);
    if (expected == RenameResult::Renamed) {
      const std::string content = it->second;
      model.erase(it);
      model[newName] = content;
    }
    std::vector<std::string> names;
    for (const auto& [name, content] : model) names.push_back(name);
    ASSERT_EQ(NamesIn(root), names);
    for (const auto& [name, content] : model) {
      char buffer[8] = {};
      const int fd = ::open((root + "/" + name).c_str(), O_RDONLY);
      ASSERT_GE(fd, 0) << name;
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      ::close(fd);
      ASSERT_EQ(std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0))), content) << name;
    }
  }
}

TEST(FileSystemRename, RandomRenamesFollowTheModel) {
  TempDir dir;
  CheckRandomRenamesAgainstModel(dir.path(), kThisBuild == Build::Windows);  // NTFS folds case
}

#if QUILLON_TEST_FUSE
TEST(FileSystemCaseFolding, RandomRenamesFollowTheModelOnExfat) {
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  CheckRandomRenamesAgainstModel(volume.path(), true);
}

#endif

}  // namespace

TEST(FileSystemRenameSession, RenamesAcrossFoldersInAnyOrderAndNeverReplaces) {
  TempDir dir;
  dir.WriteFile("a/one", "1");
  dir.WriteFile("a/two", "2");
  dir.WriteFile("b/three", "3");
  dir.WriteFile("b/taken", "keep me");
  FileSystem::RenameSession session;
  using FileSystem::RenameResult;
  EXPECT_EQ(session.Rename(dir / "a", "one", "uno"), RenameResult::Renamed);
  EXPECT_EQ(session.Rename(dir / "b", "three", "taken"), RenameResult::TargetExists);
  EXPECT_EQ(session.Rename(dir / "a", "two", "dos"), RenameResult::Renamed);
  EXPECT_EQ(session.Rename(dir / "a", "gone", "x"), RenameResult::Failed);
  EXPECT_EQ(session.Rename(dir / "a", "uno", "../escaped"), RenameResult::Failed);
  EXPECT_EQ(session.Rename(dir / "missing", "one", "x"), RenameResult::Failed);
  EXPECT_EQ(dir.ReadFile("a/uno"), "1");
  EXPECT_EQ(dir.ReadFile("a/dos"), "2");
  EXPECT_EQ(dir.ReadFile("b/three"), "3");
  EXPECT_EQ(dir.ReadFile("b/taken"), "keep me");
  EXPECT_FALSE(dir.Exists("escaped"));
}

#if QUILLON_TEST_FUSE
TEST(FileSystemRenameSession, ACaseOnlyRenameWorksOnACaseFoldingVolume) {
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  const std::string folder = volume.path();
  { std::ofstream(folder + "/song.mp3") << "music"; }
  FileSystem::RenameSession session;
  EXPECT_EQ(session.Rename(folder, "song.mp3", "Song.MP3"), FileSystem::RenameResult::Renamed);
  std::vector<FileSystem::Entry> entries;
  ASSERT_TRUE(FileSystem::ReadFolder(folder, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "Song.MP3");
}

// On a volume that folds case and refuses the no-replace flag, a session
// reads a folder's listing once and keeps it in step with its own renames:
// a name it freed or took, and each case-only rename back and forth, must
// give the same answers as the disk.
TEST(FileSystemRenameSession, KeepsItsFolderListingsInStepWithItsRenamesOnExfat) {
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  const std::string root = volume.path(), sub = root + "/sub";
  ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((root + "/d").c_str(), 0700), 0);
  for (const std::string name : {"f1", "f2", "f3", "song", "d/inside", "sub/a", "sub/b"})
    std::ofstream(root + "/" + name) << name;
  using R = RenameResult;
  const std::tuple<const std::string&, const char*, const char*, R> steps[] = {
      {root, "f1", "f2", R::TargetExists}, {sub, "a", "b", R::TargetExists}, {root, "song", "Song", R::Renamed},
      {sub, "a", "A", R::Renamed},         {root, "Song", "song", R::Renamed}, {root, "f3", "F2", R::TargetExists},
      {root, "f1", "g1", R::Renamed},      {root, "f3", "f1", R::Renamed},    {root, "f2", "F3", R::Renamed},
      {root, "d", "D", R::Renamed},        {root, "F3", "g1", R::TargetExists}, {sub, "A", "a", R::Renamed},
  };
  FileSystem::RenameSession session;
  for (const auto& [folder, oldName, newName, expected] : steps)
    EXPECT_EQ(session.Rename(folder, oldName, newName), expected) << oldName << " -> " << newName;
  EXPECT_EQ(NamesIn(root), (std::vector<std::string>{"D", "F3", "f1", "g1", "song", "sub"}));
  EXPECT_EQ(NamesIn(sub), (std::vector<std::string>{"a", "b"}));
  for (const auto& [name, content] : std::map<std::string, std::string>{
           {"f1", "f3"}, {"F3", "f2"}, {"g1", "f1"}, {"song", "song"}, {"D/inside", "d/inside"}, {"sub/a", "sub/a"}}) {
    std::ifstream in(root + "/" + name);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content) << name;
  }
}
#endif

