#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"

namespace {

using FileSystem::ReadFileTail;
using FileSystem::TailResult;

TEST(FileTail, LastBytesOfAFile) {
  TempDir dir;
  std::string content;
  for (int i = 0; i < 1000; ++i) content += static_cast<char>(i % 251);
  dir.WriteFile("data.bin", content);

  struct Case {
    std::size_t count;
    std::string expected;
  };
  const Case cases[] = {
      {128, content.substr(1000 - 128)},
      {1000, content},
      {5000, content},  // shorter than asked: all of it
      {1, content.substr(999)},
      {0, ""},
  };
  for (const auto& c : cases) {
    std::string bytes = "left over";
    EXPECT_EQ(ReadFileTail(dir / "data.bin", c.count, bytes), TailResult::Read) << c.count;
    EXPECT_EQ(bytes, c.expected) << c.count;
  }
}

TEST(FileTail, EmptyFileFolderAndMissingPath) {
  TempDir dir;
  dir.WriteFile("empty");
  dir.MakeFolder("folder");
  std::string bytes = "left over";
  EXPECT_EQ(ReadFileTail(dir / "empty", 128, bytes), TailResult::Read);
  EXPECT_EQ(bytes, "");
  bytes = "left over";
  EXPECT_EQ(ReadFileTail(dir / "folder", 128, bytes), TailResult::Read);
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(ReadFileTail(dir / "missing", 128, bytes), TailResult::CannotOpen);
  EXPECT_EQ(ReadFileTail(dir / "empty/below", 128, bytes), TailResult::CannotOpen);
}

}  // namespace
