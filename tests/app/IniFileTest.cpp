
#include "app/IniFile.h"
#include "platform/Build.h"

#include "support/LinuxOnly.h"
#if QUILLON_TEST_OTHER_USER
#include "support/AsOtherUser.h"
#endif
#if QUILLON_TEST_FULL_DISK
#include "support/FailingWrites.h"
#endif
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#if QUILLON_TEST_SYMLINKS
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

struct IniFileTest : ::testing::Test {
  TempDir home;
  std::string file = home / ".Quillon.ini";
  std::string error;

  std::string Read(const std::string& key, const std::string& def = "<default>") {
    return ReadIniString(file, "Options", key, def);
  }
  std::string Content() { return home.ReadFile(".Quillon.ini"); }
};

// ASCII lines as a new settings file of the Windows build holds them:
// UTF-16 (little-endian) behind its byte-order mark, CRLF line ends.
std::string WindowsText(const std::string& ascii) {
  std::string text = "\xFF\xFE";
  for (const char c : ascii) text += c == '\n' ? std::string("\r\0\n\0", 4) : std::string{c, '\0'};
  return text;
}

}  // namespace

// The Linux writer ends a section with an empty line; a new file of the
// Windows build is UTF-16 with CRLF line ends.
TEST_F(IniFileTest, FirstCloseWritesTheFiveKeysInOrder) {
  ASSERT_TRUE(WriteIniString(file, "Options", "LastDir", "/home/user/Music/", error)) << error;
  ASSERT_TRUE(WriteIniString(file, "Options", "Pattern", "*", error)) << error;
  ASSERT_TRUE(WriteIniInteger(file, "Options", "CaseSensitive", 0, error)) << error;
  ASSERT_TRUE(WriteIniInteger(file, "Options", "IncludeExtension", 0, error)) << error;
  ASSERT_TRUE(WriteIniInteger(file, "Options", "UndoFile", 1, error)) << error;
  const std::string lines =
      "[Options]\nLastDir=/home/user/Music/\nPattern=*\nCaseSensitive=0\nIncludeExtension=0\nUndoFile=1\n";
  EXPECT_EQ(Content(), kThisBuild == Build::Linux ? lines + "\n" : WindowsText(lines));
}

// The Linux build's read writes the file back, and so creates it; the
// profile service of the Windows build creates nothing on a read.
TEST_F(IniFileTest, AReadOfAMissingFileGivesTheDefaultAndAddsNoKeys) {
  EXPECT_EQ(Read("LastDir", ""), "");
  EXPECT_EQ(ReadIniInteger(file, "Options", "UndoFile", 1), 1);
  EXPECT_EQ(home.Exists(".Quillon.ini"), kThisBuild == Build::Linux);
  EXPECT_EQ(Content(), "");
}

TEST_F(IniFileTest, SectionAndKeyNamesMatchWhateverTheirCase) {
  home.WriteFile(".Quillon.ini", "[oPTIONS]\nlastdir=/data/\nPATTERN=*.mp3\n");
  EXPECT_EQ(ReadIniString(file, "Options", "LastDir", ""), "/data/");
  EXPECT_EQ(ReadIniString(file, "OPTIONS", "Pattern", "*"), "*.mp3");

  // Writing replaces the line in place; the file keeps its own spelling.
  ASSERT_TRUE(WriteIniString(file, "Options", "LastDir", "/new/", error)) << error;
  EXPECT_EQ(Content(), kThisBuild == Build::Linux ? "[oPTIONS]\nlastdir=/new/\nPATTERN=*.mp3\n\n"
                                                  : "[oPTIONS]\r\nlastdir=/new/\r\nPATTERN=*.mp3\r\n");
}

// The profile service of the Windows build takes the blanks around a value
// away.
TEST_F(IniFileTest, IntegerValues) {
  const bool kWindows = kThisBuild == Build::Windows;
  struct Case {
    const char* text;
    int expected;
  } cases[] = {
      {"1", 1},          {"0", 0},           {"2", 2},           {"-7", -7},
      {"0x1", 1},        {"0X1F", 31},       {"0xff", 255},      {"0xFFFFFFFF", -1},
      {"abc", 42},       {"", 42},           {"0x", 42},         {"0X", 42},
      {"0xg", 42},       {"1a", 42},         {" 1", kWindows ? 1 : 42},         {"99999999999", 42},
      {"0x100000000", 42}, {"-", 42},        {"2147483647", 2147483647},
  };
  for (const Case& c : cases) {
    home.WriteFile(".Quillon.ini", std::string("[Options]\nUndoFile=") + c.text + "\n");
    EXPECT_EQ(ReadIniInteger(file, "Options", "UndoFile", 42), c.expected) << "value \"" << c.text << "\"";
  }
  home.WriteFile(".Quillon.ini", "[Options]\n");
  EXPECT_EQ(ReadIniInteger(file, "Options", "UndoFile", 1), 1);
}

TEST_F(IniFileTest, AnEmptyValueIsNotTheDefault) {
  home.WriteFile(".Quillon.ini", "[Options]\nPattern=\n");
  EXPECT_EQ(Read("Pattern", "*"), "");
  EXPECT_EQ(Read("LastDir", "*"), "*");
  EXPECT_EQ(ReadIniString(file, "Other", "Pattern", "*"), "*");
}

TEST_F(IniFileTest, ValuesAreTakenExactlyAndWindowsLineEndsAreRead) {
  home.WriteFile(".Quillon.ini", "[Options]\r\nLastDir=/a b/c=d/ \r\nPattern=*\r\n");
  EXPECT_EQ(Read("LastDir"), kThisBuild == Build::Linux ? "/a b/c=d/ " : "/a b/c=d/");
  EXPECT_EQ(Read("Pattern"), "*");
}

#if QUILLON_TEST_OWN_INI
TEST_F(IniFileTest, UnknownKeysAndSectionsSurviveCommentsAndBlankLinesDoNot) {
  home.WriteFile(".Quillon.ini",
                 "; written by hand\n"
                 "\n"
                 "[Window]\n"
                 "Left=10\n"
                 "\n"
                 "   \n"
                 "[Options]\n"
                 "; the folder\n"
                 "LastDir=/old/\n"
                 "Extra=keep me\n"
                 "a line without equals\n"
                 "[Last]\n"
                 "x=1\n");
  EXPECT_EQ(Read("Pattern"), "<default>");
  const std::string afterRead =
      "[Window]\n"
      "Left=10\n"
      "\n"
      "[Options]\n"
      "LastDir=/old/\n"
      "Extra=keep me\n"
      "a line without equals\n"
      "\n"
      "[Last]\n"
      "x=1\n"
      "\n";
  EXPECT_EQ(Content(), afterRead);

  ASSERT_TRUE(WriteIniString(file, "Options", "Pattern", "*.txt", error)) << error;
  ASSERT_TRUE(WriteIniString(file, "New", "Key", "v", error)) << error;
  EXPECT_EQ(Content(),
            "[Window]\n"
            "Left=10\n"
            "\n"
            "[Options]\n"
            "LastDir=/old/\n"
            "Extra=keep me\n"
            "a line without equals\n"
            "Pattern=*.txt\n"
            "\n"
            "[Last]\n"
            "x=1\n"
            "\n"
            "[New]\n"
            "Key=v\n"
            "\n");
}

#endif

TEST_F(IniFileTest, AValueWithALineBreakCannotAddLines) {
  ASSERT_TRUE(WriteIniString(file, "Options", "LastDir", "/tmp/a\n[Options]\nUndoFile=0", error));
  EXPECT_EQ(Content(), kThisBuild == Build::Linux ? "[Options]\nLastDir=/tmp/a\n\n"
                                                  : WindowsText("[Options]\nLastDir=/tmp/a\n"));
  EXPECT_EQ(ReadIniInteger(file, "Options", "UndoFile", 1), 1);
}

#if QUILLON_TEST_FULL_DISK
TEST_F(IniFileTest, UnwritableFolderStillGivesTheValuesAndAWriteFailsWithoutLosingAnything) {
  const std::string original = "[Options]\nPattern=*.jpg\nUndoFile=0\n";
  home.WriteFile(".Quillon.ini", original);
  std::string readPattern;
  int readUndo = -1;
  bool written = true;
  {
    FailingWrites blocked(home.path());
    readPattern = Read("Pattern", "*");
    readUndo = ReadIniInteger(file, "Options", "UndoFile", 1);
    written = WriteIniString(file, "Options", "Pattern", "*.png", error);
  }
  EXPECT_EQ(readPattern, "*.jpg");
  EXPECT_EQ(readUndo, 0);
  EXPECT_FALSE(written);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Content(), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path()), {}), 1);
}

TEST_F(IniFileTest, UnwritableMissingFileGivesDefaults) {
  std::string pattern;
  {
    FailingWrites blocked(home.path());
    pattern = Read("Pattern", "*");
    EXPECT_FALSE(WriteIniString(file, "Options", "Pattern", "x", error));
  }
  EXPECT_EQ(pattern, "*");
  EXPECT_FALSE(error.empty());
}

#endif

#if QUILLON_TEST_OTHER_USER
TEST_F(IniFileTest, AFileThatCannotBeReadIsNeverReplaced) {
  home.WriteFile(".Quillon.ini", "[Options]\nPattern=*.c\n");
  ::chmod(file.c_str(), 0200);
  ::chmod(home.path().c_str(), 0777);  // the folder itself would allow replacing the file
  std::optional<bool> leftAlone = AsOtherUser([&] {
    std::string writeError;
    return Read("Pattern", "*") == "*" &&
           !WriteIniString(file, "Options", "Pattern", "x", writeError) && writeError == "Permission denied";
  });
  ::chmod(file.c_str(), 0600);
  ::chmod(home.path().c_str(), 0700);
  ASSERT_TRUE(leftAlone.has_value()) << "could not run as another user";
  EXPECT_TRUE(*leftAlone);
  EXPECT_EQ(Content(), "[Options]\nPattern=*.c\n");
}

#endif

TEST_F(IniFileTest, AFolderInPlaceOfTheFileGivesDefaultsAndIsKept) {
  home.WriteFile(".Quillon.ini/inside", "kept");
  EXPECT_EQ(Read("Pattern", "*"), "*");
  EXPECT_FALSE(WriteIniString(file, "Options", "Pattern", "x", error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(home.ReadFile(".Quillon.ini/inside"), "kept");
}

// The owner made the file read-only: its settings are read, and neither a
// read nor a write replaces it.
TEST_F(IniFileTest, AReadOnlyFileIsReadButNeverReplaced) {
  const std::string original = "; mine\n[Options]\nPattern=*.c\n";
  home.WriteFile(".Quillon.ini", original);
  SetReadOnly(file, true);
  std::optional<bool> asOwner = AsOrdinaryOwner(home, [&] {
    std::string writeError;
    return Read("Pattern", "*") == "*.c" && !WriteIniString(file, "Options", "Pattern", "x", writeError) &&
           writeError == AccessDeniedReason();
  });
  ASSERT_TRUE(asOwner.has_value()) << "could not run as an ordinary user";
  EXPECT_TRUE(*asOwner);
  EXPECT_EQ(Content(), original);
}

#if QUILLON_TEST_SYMLINKS
TEST_F(IniFileTest, AnEntryThatCannotBeOpenedIsLeftAsItIs) {
  // A socket cannot be opened for reading, for root too.
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(file.size(), sizeof address.sun_path);
  std::copy(file.begin(), file.end(), address.sun_path);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(Read("Pattern", "*"), "*");
  EXPECT_FALSE(WriteIniString(file, "Options", "Pattern", "x", error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(std::filesystem::is_socket(file));
  ::close(fd);
}

#endif

#if QUILLON_TEST_OWN_INI
// Lines the program does not understand (a byte-order mark, stray brackets,
// zero bytes, a very long line, a key without a name) are kept byte for byte
// through every write-back; the program's own keys still read and write.
TEST_F(IniFileTest, OddLinesSurviveAndTheProgramsKeysStillWork) {
  static const char kHead[] = "\xEF\xBB\xBFstray\n[\n=no name\nzero=a\0b\n";
  const std::string head(kHead, sizeof kHead - 1);
  const std::string longLine = "Long=" + std::string(100000, 'v');
  const std::string odd = head + longLine +
                          "\n[Options]\nPattern=*.mp3\n[Other]x\nKey=\xFF\xFE\n";
  home.WriteFile(".Quillon.ini", odd);
  EXPECT_EQ(Read("Pattern"), "*.mp3");
  EXPECT_EQ(ReadIniString(file, "Other", "Key", ""), "\xFF\xFE");
  ASSERT_TRUE(WriteIniString(file, "Options", "LastDir", "/a=b/ [x] ;c", error)) << error;
  EXPECT_EQ(Read("LastDir"), "/a=b/ [x] ;c");
  EXPECT_EQ(ReadIniString(file, "", "zero", "<none>"), "<none>");
  EXPECT_EQ(Content(), head + longLine + "\n\n" +
                           "[Options]\nPattern=*.mp3\nLastDir=/a=b/ [x] ;c\n\n[Other]\nKey=\xFF\xFE\n\n");
}

#endif

#if QUILLON_TEST_SYMLINKS && QUILLON_TEST_OTHER_USER
// What stands in place of the settings file and is not a small regular file
// is never read into memory, never waited on, and never replaced.
TEST_F(IniFileTest, SpecialOrHugeFilesGiveDefaultsAndAreLeftAlone) {
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"fifo", [&] { ::mkfifo(file.c_str(), 0600); }},
      {"link to /dev/zero", [&] { ::symlink("/dev/zero", file.c_str()); }},
      {"file over 1 MiB", [&] { home.WriteFile(".Quillon.ini", "[Options]\nPattern=*.x\n" + std::string(1 << 20, ';')); }},
  };
  for (const auto& [what, make] : cases) {
    SCOPED_TRACE(what);
    std::filesystem::remove(file);
    make();
    const auto type = std::filesystem::symlink_status(file).type();
    EXPECT_EQ(Read("Pattern", "*"), "*");
    EXPECT_FALSE(WriteIniString(file, "Options", "Pattern", "x", error));
    EXPECT_EQ(std::filesystem::symlink_status(file).type(), type);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path()), {}), 1);
  }
  EXPECT_EQ(std::filesystem::file_size(file), (1u << 20) + 22);  // the big file, not rewritten
}

TEST_F(IniFileTest, ADanglingLinkStaysALinkAndItsTargetGetsTheSettings) {
  ASSERT_EQ(::symlink("dotfiles/quillon.ini", file.c_str()), 0);
  home.MakeFolder("dotfiles");
  EXPECT_EQ(Read("Pattern", "*"), "*");
  ASSERT_TRUE(WriteIniString(file, "Options", "Pattern", "*.ogg", error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(file));
  EXPECT_EQ(home.ReadFile("dotfiles/quillon.ini"), "[Options]\nPattern=*.ogg\n\n");
  ASSERT_EQ(::symlink(".Quillon.ini", (home / "loop.ini").c_str()) | ::unlink(file.c_str()) |
                ::symlink("loop.ini", file.c_str()), 0);
  EXPECT_FALSE(WriteIniString(file, "Options", "Pattern", "*.ogg", error));
  EXPECT_TRUE(std::filesystem::is_symlink(file) && std::filesystem::is_symlink(home / "loop.ini"));
}

#endif

