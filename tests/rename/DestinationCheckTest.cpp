#include "rename/DestinationCheck.h"

#include "rename/RenameEngine.h"
#include "support/LinuxOnly.h"
#if QUILLON_TEST_FUSE
#include "support/ExfatMount.h"
#endif
#if QUILLON_TEST_OTHER_USER
#include "support/AsOtherUser.h"
#endif
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using D = Destination;

struct Row {
  const char* oldName;
  const char* newName;
  D sensitive;  // on a volume that tells letter case apart
  D folding;    // on one that ignores it
  const char* sub = "";  // "sub": the entry lies in the subfolder; "/": the folder spelled with its delimiter
};

// Every class in one folder (and a subfolder) whose listing holds a, b, c,
// taken, Other, keep, and sub/c.
void CheckTable(const std::string& folder, bool folds) {
  const std::vector<Row> rows = {
      {"a", "x", D::Renames, D::Renames},
      {"b", "taken", D::NameTaken, D::NameTaken},
      {"c", "a", D::Renames, D::Renames},              // a is freed by the run
      {"s1", "s2", D::Renames, D::Renames},            // a swap
      {"s2", "s1", D::Renames, D::Renames},
      {"keep", "keep", D::Unchanged, D::Unchanged},
      {"d", "bad:name", D::InvalidName, D::InvalidName},
      {"e", "dup", D::Conflict, D::Conflict},
      {"f", "dup", D::Conflict, D::Conflict},
      {"g", "other", D::Renames, D::NameTaken},        // Other is on disk
      {"h", "X", D::Renames, D::CaseConflict},         // a -> x came first
      {"z", "c", D::NameTaken, D::NameTaken, "sub"},   // c is freed in the other folder only
      {"m", "b", D::Renames, D::Renames, "/"},         // b is freed in the same folder, spelled otherwise
  };
  std::vector<PreviewEntry> entries;
  for (const Row& row : rows) {
    const std::string sub = row.sub == std::string("/") ? "" : row.sub;
    entries.push_back({row.newName, row.oldName, *row.sub ? folder + TempDir::Delimiter() + sub : folder});
  }
  const DestinationReport report = CheckDestinations(entries);
  ASSERT_EQ(report.outcomes.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(report.outcomes[i], folds ? rows[i].folding : rows[i].sensitive) << rows[i].oldName;
  EXPECT_EQ(report.blocking.problem, PreviewProblem::InvalidName);
  EXPECT_EQ(report.blocking.index, CheckPreview(entries).index);
  EXPECT_EQ(OutlookText(report), folds ? "5 names will change; 4 will fail: 3 names are taken on disk, 1 differs "
                                         "from another new name only in letter case."
                                       : "7 names will change; 2 will fail: 2 names are taken on disk.");
}

TEST(DestinationCheckTest, EveryClassInRealFolders) {
  TempDir dir;
  for (const char* name : {"a", "b", "c", "taken", "Other", "keep", "s1", "s2", "sub/c"}) dir.WriteFile(name);
  const bool folds = FileSystem::IgnoresLetterCase(dir.path());
#ifndef _WIN32
  EXPECT_FALSE(folds);
#endif
  CheckTable(dir.path(), folds);
  EXPECT_EQ(OutlookText(CheckDestinations({{"y", "x", dir.path()}})), "1 name will change.");
  // A folder far larger than the run: what its listing does not show soon is looked up.
  for (int i = 0; i < 2000; ++i) dir.WriteFile("big/f" + std::to_string(i));
  EXPECT_EQ(CheckDestinations({{"f0", "g", dir / "big"}, {"new", "h", dir / "big"}}).outcomes,
            (std::vector<D>{D::NameTaken, D::Renames}));
}

#if QUILLON_TEST_FUSE
TEST(DestinationCheckExfatTest, NamesFallTogetherOnAVolumeThatIgnoresCase) {
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  const std::string root = volume.path();
  for (const char* folder : {"/empty", "/top", "/top/sub"}) ASSERT_EQ(std::system(("mkdir " + root + folder).c_str()), 0);
  for (const char* name : {"a", "b", "c", "taken", "Other", "keep", "s1", "s2", "sub/c"})
    ASSERT_EQ(std::system(("touch " + root + "/top/" + name).c_str()), 0);
  EXPECT_TRUE(FileSystem::IgnoresLetterCase(root + "/top"));
  EXPECT_TRUE(FileSystem::IgnoresLetterCase(root + "/top", "a"));
  EXPECT_FALSE(FileSystem::IgnoresLetterCase(root + "/empty"));  // nothing to ask: taken as case-sensitive
  CheckTable(root + "/top", true);
}
#endif

// The reasons a run and its undo give for each entry they could not rename.
TEST(DestinationCheckTest, FailedRenamesNameTheirReasons) {
  TempDir dir;
  for (const char* name : {"one", "two", "held"}) dir.WriteFile(name);
  const RenameEngine::RenameRun run =
      RenameEngine::PerformRenames({{"held", "one", dir.path()}, {"2", "gone", dir.path()}, {"x", "two", dir.path()}});
  ASSERT_EQ(run.failed.size(), 2u);
  EXPECT_EQ(FailedRenamesText(run.failed, 5), dir / "one" + " -> held: name taken\r\n" + dir / "gone" +
                                                  " -> 2: no longer exists");
  EXPECT_EQ(FailedRenamesText(run.failed, 1), dir / "one" + " -> held: name taken\r\n... and 1 more.");
#if QUILLON_TEST_OTHER_USER
  if (::geteuid() != 0) GTEST_SKIP() << "permissions bite only as another user, which needs root";
  ASSERT_TRUE(OpenToOthers(dir.path()));
  EXPECT_EQ(AsOtherUser([&] {
              const auto denied = RenameEngine::PerformRenames({{"y", "x", dir.path()}}).failed;
              return denied.size() == 1 && denied[0].reason == "permission denied";
            }),
            std::optional<bool>(true));
  TempDir mountPoint;
  const std::string bind = "mount --bind '" + dir.path() + "' '" + mountPoint.path() + "' 2>/dev/null";
  if (std::system((bind + " && mount -o remount,bind,ro '" + mountPoint.path() + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "no read-only bind mount";
  const auto readOnly = RenameEngine::PerformRenames({{"y", "x", mountPoint.path()}}).failed;
  std::system(("umount '" + mountPoint.path() + "'").c_str());
  ASSERT_EQ(readOnly.size(), 1u);
  EXPECT_EQ(readOnly[0].reason, "read-only file system");
#endif
}

}  // namespace
