// The Linux build's program folder; the Windows build's is tested in
// WindowsBuildTest.cpp.
#include "support/LinuxOnly.h"
#if QUILLON_TEST_PROCESSES && QUILLON_TEST_BYTE_NAMES

#include "platform/ProgramFolder.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

// A copy of this executable in a folder whose name is not valid UTF-8 reports
// that folder, byte for byte.
TEST(ProgramFolderTest, IsTheExecutablesFolderByteForByte) {
  if (const char* out = std::getenv("QUILLON_PROGRAM_FOLDER_OUT")) {
    std::ofstream(out, std::ios::binary) << ProgramFolder();
    return;
  }
  TempDir dir;
  const std::string name = "Zo\xEB \xFF\xFE bin";
  dir.MakeFolder(name);
  std::filesystem::copy_file("/proc/self/exe", dir / (name + "/copy"));
  std::filesystem::permissions(dir / (name + "/copy"), std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add);
  const std::string command = "QUILLON_PROGRAM_FOLDER_OUT='" + (dir / "out") + "' '" + (dir / name) +
                              "/copy' --gtest_filter=ProgramFolderTest.* >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(dir.ReadFile("out"), dir / name + "/");
}

#endif
