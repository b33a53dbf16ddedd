#include "app/Settings.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

TEST(SettingsFile, MissingKeysGiveTheDefaults) {
  TempDir dir;
  const Settings settings = Settings::Read(dir / "none.ini", "/start/");
  EXPECT_EQ(settings.lastDir, "/start/");
  EXPECT_EQ(settings.pattern, "*");
  EXPECT_FALSE(settings.caseSensitive);
  EXPECT_FALSE(settings.includeExtension);
  EXPECT_TRUE(settings.undoFile);
}

TEST(SettingsFile, ACheckMarkIsSetByTheValueOneOnly) {
  TempDir dir;
  dir.WriteFile("q.ini", "[options]\ncasesensitive=2\nIncludeExtension=1\nUndoFile=0\nPattern=\n");
  const Settings settings = Settings::Read(dir / "q.ini", "/start/");
  EXPECT_FALSE(settings.caseSensitive);
  EXPECT_TRUE(settings.includeExtension);
  EXPECT_FALSE(settings.undoFile);
  EXPECT_EQ(settings.pattern, "");  // present but empty stays empty
}

TEST(SettingsFile, WrittenSettingsReadBackAndAFailedWriteSaysWhy) {
  TempDir dir;
  Settings written;
  written.lastDir = "/music/\xC3\xBC/";
  written.pattern = "*.mp3";
  written.caseSensitive = true;
  written.undoFile = false;
  std::string error;
  ASSERT_TRUE(written.Write(dir / "q.ini", error)) << error;
  const Settings read = Settings::Read(dir / "q.ini", "/other/");
  EXPECT_EQ(read.lastDir, written.lastDir);
  EXPECT_EQ(read.pattern, written.pattern);
  EXPECT_TRUE(read.caseSensitive);
  EXPECT_FALSE(read.includeExtension);
  EXPECT_FALSE(read.undoFile);

  EXPECT_FALSE(written.Write(dir / "missing/q.ini", error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(dir.Exists("missing"));
}
