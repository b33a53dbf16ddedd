#include "rename/Preview.h"

#include "rename/StringH.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> NewNames(const PreviewBuild& build) {
  std::vector<std::string> names;
  for (const PreviewEntry& e : build.entries) names.push_back(e.newName);
  return names;
}

std::string NewNameOf(const std::string& name, const PreviewValues& values) {
  PreviewBuild build = BuildPreview({{name, "/f"}}, values);
  EXPECT_FALSE(build.stopped) << build.error;
  return build.entries.empty() ? "<none>" : build.entries[0].newName;
}

std::vector<RenameListEntry> Files(int count) {
  std::vector<RenameListEntry> list;
  for (int i = 0; i < count; ++i) list.push_back({"f" + std::to_string(i) + ".jpg", "/photos"});
  return list;
}

// An ID3v1 tag: "TAG", title, artist, album (30 bytes each), year (4),
// comment (30), genre (1).
std::string Tag(const std::string& title, const std::string& artist) {
  auto field = [](std::string s, std::size_t n) {
    s.resize(n, '\0');
    return s;
  };
  return "TAG" + field(title, 30) + field(artist, 30) + field("", 30) + field("", 4) + field("", 30) +
         std::string(1, '\xff');
}

}  // namespace

TEST(PreviewBuildTest, EntriesKeepOldNameAndPathExactly) {
  PreviewValues v;
  v.operation = kOperationReplace;
  v.replaceFrom = "a";
  v.replaceTo = "o";
  PreviewBuild build = BuildPreview({{"banana.txt", "/x/"}, {"cat", ""}, {"\xfc" "a", "/y"}}, v);
  ASSERT_FALSE(build.stopped);
  EXPECT_EQ(build.entries, (std::vector<PreviewEntry>{
                               {"bonono.txt", "banana.txt", "/x/"},
                               {"cot", "cat", ""},
                               {"\xfc" "o", "\xfc" "a", "/y"},
                           }));
}

TEST(PreviewBuildTest, IncludeExtensionDecidesWhatTheRuleSees) {
  struct Case {
    const char* name;
    int operation;
    bool includeExtension;
    const char* expected;
  } cases[] = {
      // Add "_x" to the end.
      {"song.mp3", kOperationAdd, false, "song_x.mp3"},
      {"song.mp3", kOperationAdd, true, "song.mp3_x"},
      // ALL UPPERCASE
      {"archive.tar.gz", kOperationChangeCase, false, "ARCHIVE.TAR.gz"},
      {"archive.tar.gz", kOperationChangeCase, true, "ARCHIVE.TAR.GZ"},
      {"README", kOperationChangeCase, false, "README"},
      {".profile", kOperationChangeCase, false, ".profile"},
      {".profile", kOperationChangeCase, true, ".PROFILE"},
      // Trim 3 from the end.
      {"abcdefgh.txt", kOperationTrim, false, "abcde.txt"},
      {"abcdefgh.txt", kOperationTrim, true, "abcdefgh."},
      // The "to end" position counts the whole name in characters: it lies
      // past the end of the part even for multi-byte names.
      {"\xc3\xa4\xc3\xa4\xc3\xa4.mp3", kOperationAdd, false, "\xc3\xa4\xc3\xa4\xc3\xa4_x.mp3"},
  };
  for (const Case& c : cases) {
    PreviewValues v;
    v.operation = c.operation;
    v.includeExtension = c.includeExtension;
    v.addText = "_x";
    v.addPosition = AddPosition::ToEnd;
    v.caseMode = 0;
    v.trimAmount = "3";
    EXPECT_EQ(NewNameOf(c.name, v), c.expected)
        << c.name << " operation " << c.operation << " include " << c.includeExtension;
  }
}

TEST(PreviewBuildTest, AFolderNameWithADotHasAnExtensionToo) {
  PreviewValues v;
  v.operation = kOperationReplace;
  v.replaceFrom = "folder";
  v.replaceTo = "dir";
  EXPECT_EQ(NewNameOf("my.folder", v), "my.folder");
  v.includeExtension = true;
  EXPECT_EQ(NewNameOf("my.folder", v), "my.dir");
}

TEST(PreviewBuildTest, ReplaceFollowsTheCaseSensitiveOption) {
  PreviewValues v;
  v.operation = kOperationReplace;
  v.replaceFrom = "A";
  v.replaceTo = "o";
  EXPECT_EQ(NewNameOf("Banana.A", v), "Bonono.A");
  v.caseSensitive = true;
  EXPECT_EQ(NewNameOf("Banana.A", v), "Banana.A");
}

TEST(PreviewBuildTest, AddPositions) {
  struct Case {
    const char* position;
    const char* number;
    const char* expected;
  } cases[] = {
      {"to start", "3", "XYabcde.txt"},
      {"to end", "3", "abcdeXY.txt"},
      {"to this position", "3", "abXYcde.txt"},
      {"to this position", "100", "abcdeXY.txt"},
      {"to this position", "3x", "XYabcde.txt"},  // not a number: 0
      {"To start", "3", "abcde.txt"},             // no exact item: the part stays
      {"", "3", "abcde.txt"},
  };
  for (const Case& c : cases) {
    PreviewValues v;
    v.operation = kOperationAdd;
    v.addText = "XY";
    v.addPosition = AddPositionOf(c.position);
    v.addPositionNumber = c.number;
    EXPECT_EQ(NewNameOf("abcde.txt", v), c.expected) << c.position << " " << c.number;
  }
}

TEST(PreviewBuildTest, AutoNumberWidthComesFromTheEntryCount) {
  PreviewValues v;
  v.operation = kOperationAutoNumber;
  v.autonumberStart = "1";
  v.includeExtension = true;
  EXPECT_EQ(NewNames(BuildPreview(Files(10), v)),
            (std::vector<std::string>{"01", "02", "03", "04", "05", "06", "07", "08", "09", "10"}));
  v.autonumberStart = "95";
  EXPECT_EQ(NewNames(BuildPreview(Files(12), v)),
            (std::vector<std::string>{"95", "96", "97", "98", "99", "100", "101", "102", "103", "104", "105",
                                      "106"}));
  v.autonumberStart = "1";
  EXPECT_EQ(NewNames(BuildPreview(Files(9), v)),
            (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
  v.autonumberZero = false;
  EXPECT_EQ(NewNames(BuildPreview(Files(10), v)).front(), "1");
}

TEST(PreviewBuildTest, AutoNumberReplacesThePartAndKeepsTheExtensionOnlyWhenOff) {
  PreviewValues v;
  v.operation = kOperationAutoNumber;
  v.autonumberBefore = "x";
  v.autonumberStart = "7";
  v.autonumberAfter = "-y";
  v.includeExtension = true;
  EXPECT_EQ(NewNameOf("a.txt", v), "x7-y");
  v.includeExtension = false;
  EXPECT_EQ(NewNameOf("a.txt", v), "x7-y.txt");
  v.autonumberStart = "";  // the window puts "0" back; a stray text counts as 0
  EXPECT_EQ(NewNameOf("a.txt", v), "x0-y.txt");
  v.autonumberStart = "2147483647";  // counting on past the int range
  EXPECT_EQ(NewNames(BuildPreview(Files(2), v)),
            (std::vector<std::string>{"x2147483647-y.jpg", "x2147483648-y.jpg"}));
}

TEST(PreviewBuildTest, ExtensionAlwaysWorksOnTheWholeName) {
  for (bool include : {false, true}) {
    PreviewValues v;
    v.operation = kOperationExtension;
    v.includeExtension = include;
    v.extension = "txt";
    EXPECT_EQ(NewNameOf("readme", v), "readme.txt");
    v.extension = "doc";
    EXPECT_EQ(NewNameOf("file.txt", v), "file.doc");
    v.extension = "";
    EXPECT_EQ(NewNameOf("readme", v), "readme");
    EXPECT_EQ(NewNameOf("file.txt", v), "file");
  }
}

TEST(PreviewBuildTest, TrimAndAdvancedAddFlagsCompareTheComboTextsExactly) {
  PreviewValues v;
  v.operation = kOperationTrim;
  v.trimAmount = "3";
  v.trimFromStart = TrimsFromStart("from start");
  EXPECT_EQ(NewNameOf("abcdefgh.x", v), "defgh.x");
  v.trimFromStart = TrimsFromStart("From start");  // anything else trims from the end
  EXPECT_EQ(NewNameOf("abcdefgh.x", v), "abcde.x");
  v.makeThisLong = MakesThisLong("make filenames this long");
  EXPECT_EQ(NewNameOf("abcdefgh.x", v), "abc.x");
  v.makeThisLong = MakesThisLong("");  // anything but "trim the selected amount" makes the names this long
  EXPECT_EQ(NewNameOf("abcdefgh.x", v), "abc.x");

  PreviewValues a;
  a.operation = kOperationAdvancedAdd;
  EXPECT_EQ(NewNameOf("MyFileName.TXT", a), "My_File_Name.TXT");
  a.advancedBefore = AddsBefore("after char");
  EXPECT_EQ(NewNameOf("MyFileName.TXT", a), "MyF_ileN_ame.TXT");
  a.advancedBefore = AddsBefore("before char");
  a.advancedHigh = "9l";  // not a number: 0, so nothing lies in 65..0
  EXPECT_EQ(NewNameOf("MyFileName.TXT", a), "MyFileName.TXT");
}

TEST(PreviewBuildTest, ChangeCaseUsesTheGivenMode) {
  PreviewValues v;
  v.operation = kOperationChangeCase;
  const char* expected[] = {"HELLO WORLD.Txt", "hello world.Txt", "Hello World.Txt", "hELLO wORLD.Txt",
                            "HELLO World.Txt"};
  for (int mode = 0; mode < 5; ++mode) {
    v.caseMode = mode;
    EXPECT_EQ(NewNameOf("hello wORLD.Txt", v), expected[mode]) << "mode " << mode;
  }
}

TEST(PreviewBuildTest, ID3NamesFromTheFileInItsFolder) {
  TempDir dir;
  dir.WriteFile("a.mp3", std::string(200, 'x') + Tag("Song", "Band"));
  dir.WriteFile("sub/b.mp3", Tag("Other", "Group"));
  PreviewValues v;
  v.operation = kOperationID3Tag;
  PreviewBuild build = BuildPreview({{"a.mp3", dir.path()}, {"b.mp3", dir / "sub/"}}, v);
  ASSERT_FALSE(build.stopped) << build.error;
  EXPECT_EQ(NewNames(build), (std::vector<std::string>{"Band - Song.mp3", "Group - Other.mp3"}));
  v.includeExtension = true;
  EXPECT_EQ(NewNames(BuildPreview({{"a.mp3", dir.path()}}, v)), std::vector<std::string>{"Band - Song"});
}

TEST(PreviewBuildTest, AnErrorStopsTheBuildAndKeepsTheEntriesBuiltSoFar) {
  TempDir dir;
  dir.WriteFile("one.mp3", Tag("One", "A"));
  dir.WriteFile("three.mp3", Tag("Three", "C"));
  PreviewValues v;
  v.operation = kOperationID3Tag;
  PreviewBuild build =
      BuildPreview({{"one.mp3", dir.path()}, {"missing.mp3", dir.path()}, {"three.mp3", dir.path()}}, v);
  EXPECT_TRUE(build.stopped);
  EXPECT_NE(build.error.find("missing.mp3"), std::string::npos) << build.error;
  EXPECT_EQ(build.entries, (std::vector<PreviewEntry>{{"A - One.mp3", "one.mp3", dir.path()}}));
}

TEST(PreviewBuildTest, AnEmptyRenameListGivesAnEmptyPreview) {
  PreviewBuild build = BuildPreview({}, PreviewValues{});
  EXPECT_FALSE(build.stopped);
  EXPECT_TRUE(build.entries.empty());
}

TEST(PreviewBuildTest, NumberBoxesAndCaseButtons) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {{"0", 0},     {"42", 42},   {"-3", -3},        {"+3", 3},           {"", 0},
               {"abc", 0},   {"4 ", 0},    {" 4", 0},         {"0x10", 0},         {"-", 0},
               {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"2147483648", 0}, {"99999999999999999999", 0}};
  for (const Case& c : cases) EXPECT_EQ(ReadNumber(c.text), c.value) << '"' << c.text << '"';

  EXPECT_EQ(CaseModeOf({false, false, false, false, false}), 0);
  EXPECT_EQ(CaseModeOf({false, false, true, false, false}), 2);
  EXPECT_EQ(CaseModeOf({false, false, false, false, true}), 4);
  EXPECT_EQ(CaseModeOf({true, false, false, true, false}), 3);  // the last checked one wins
}

// --- validation ---

TEST(PreviewCheckTest, FirstFailingEntryInListOrderValidityFirst) {
  struct Case {
    const char* what;
    std::vector<PreviewEntry> entries;
    PreviewProblem problem;
    std::size_t index;
  } cases[] = {
      {"empty list", {}, PreviewProblem::None, 0},
      {"all fine", {{"a", "x", "/p"}, {"b", "y", "/p"}, {"a", "z", "/q"}}, PreviewProblem::None, 0},
      {"names differing in case", {{"A.txt", "1", "/p"}, {"a.txt", "2", "/p"}}, PreviewProblem::None, 0},
      {"paths differing by a trailing delimiter", {{"a", "1", "/p"}, {"a", "2", "/p/"}}, PreviewProblem::None, 0},
      {"same name, same path", {{"ok", "0", "/p"}, {"a", "1", "/p"}, {"a", "2", "/p"}}, PreviewProblem::Conflict, 1},
      {"conflict before an invalid name",
       {{"a", "1", "/p"}, {"b?", "2", "/p"}, {"a", "3", "/p"}}, PreviewProblem::Conflict, 0},
      {"invalid name before a conflict",
       {{"ok", "0", "/p"}, {" a", "1", "/p"}, {"b", "2", "/p"}, {"b", "3", "/p"}}, PreviewProblem::InvalidName, 1},
      {"invalid and conflicting: validity first",
       {{"a ", "1", "/p"}, {"a ", "2", "/p"}}, PreviewProblem::InvalidName, 0},
      {"empty new name", {{"", "1", "/p"}}, PreviewProblem::InvalidName, 0},
      {"unchanged names conflict too", {{"a", "a", "/p"}, {"a", "b", "/p"}}, PreviewProblem::Conflict, 0},
      {"two conflicts: the one that begins first",
       {{"ok", "0", "/p"}, {"b", "1", "/p"}, {"a", "2", "/p"}, {"a", "3", "/p"}, {"b", "4", "/p"}},
       PreviewProblem::Conflict, 1},
      {"many entries with one name", std::vector<PreviewEntry>(5000, {"same", "o", "/p"}),
       PreviewProblem::Conflict, 0},
  };
  for (const Case& c : cases) {
    PreviewCheck check = CheckPreview(c.entries);
    EXPECT_EQ(check.problem, c.problem) << c.what;
    if (c.problem != PreviewProblem::None) {
      EXPECT_EQ(check.index, c.index) << c.what;
    }
    EXPECT_EQ(check.passed(), c.problem == PreviewProblem::None) << c.what;
  }
}

TEST(PreviewCheckTest, ConflictFarApartInALargeList) {
  std::vector<PreviewEntry> entries;
  for (int i = 0; i < 100000; ++i) entries.push_back({"n" + std::to_string(i), "o", "/big"});
  EXPECT_TRUE(CheckPreview(entries).passed());
  entries.push_back({"n5", "o", "/big"});
  PreviewCheck check = CheckPreview(entries);
  EXPECT_EQ(check.problem, PreviewProblem::Conflict);
  EXPECT_EQ(check.index, 5u);
}

// Every operation on odd names with the number boxes at and past their
// limits: the build never stops, keeps every old name and folder byte for
// byte, and the extension rule holds (the sanitizer build checks the rest).
TEST(PreviewBuildTest, OddNamesAndExtremeNumbersThroughEveryOperation) {
  const std::vector<RenameListEntry> list = {
      {"", "/p"},           {".", "/p"},           {"..", "/p"},       {".profile", "/p"},
      {"a.", "/p"},         {"\xFC\xC3", "/p"},    {"\xE2\x82", ""},   {"\xF0\x9F\x98\x80.txt", "/p/"},
      {std::string(255, 'x'), "/p"},  {"-rf", "/p"}, {"line\nbreak.txt", "/p"}, {std::string("zero\0.x", 7), "/p"},
  };
  const char* numbers[] = {"", "-", "0", "-1", "2147483647", "-2147483648", "2147483648", "1000000", "12a"};
  const char* texts[] = {"", "\xFC", "%artist%", "a.b", "\xC3"};
  std::size_t builds = 0;
  for (int operation = kOperationReplace; operation <= kOperationAdvancedAdd; ++operation) {
    for (const char* number : numbers) {
      for (const char* text : texts) {
        for (bool includeExtension : {false, true}) {
          PreviewValues values;
          values.operation = operation;
          values.includeExtension = includeExtension;
          values.replaceFrom = text[0] ? text : "x";
          values.replaceTo = text;
          values.addText = text;
          values.addPosition = AddPosition::ToThisPosition;
          values.addPositionNumber = number;
          values.autonumberStart = number;
          values.autonumberBefore = text;
          values.caseMode = 4;
          values.trimAmount = number;
          values.makeThisLong = true;
          values.extension = text;
          values.advancedLow = number;
          values.advancedHigh = "2147483647";
          values.advancedText = text;
          PreviewBuild build = BuildPreview(list, values);
          ++builds;
          SCOPED_TRACE("operation " + std::to_string(operation) + " number \"" + number + "\" text \"" + text + "\"");
          ASSERT_FALSE(build.stopped) << build.error;
          ASSERT_EQ(build.entries.size(), list.size());
          for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(build.entries[i].oldName, list[i].filename);
            EXPECT_EQ(build.entries[i].path, list[i].path);
            if (!includeExtension && operation != kOperationExtension) {
              const std::string extension = StringH::ExtensionOf(list[i].filename);
              EXPECT_TRUE(build.entries[i].newName.ends_with(extension)) << build.entries[i].newName;
            }
          }
          CheckPreview(build.entries);
        }
      }
    }
  }
  EXPECT_EQ(builds, 7u * std::size(numbers) * std::size(texts) * 2);
}

TEST(PreviewRequiredValues, EachOperationNeedsItsBoxesFilledIn) {
  struct Case {
    int operation;
    std::string PreviewValues::*box;  // emptied; nullptr empties nothing
    bool required;
  } cases[] = {
      {kOperationReplace, &PreviewValues::replaceFrom, true},
      {kOperationReplace, &PreviewValues::replaceTo, false},
      {kOperationAdd, &PreviewValues::addText, true},
      {kOperationAdd, &PreviewValues::addPositionNumber, true},
      {kOperationAutoNumber, &PreviewValues::autonumberStart, false},
      {kOperationChangeCase, nullptr, false},
      {kOperationTrim, &PreviewValues::trimAmount, true},
      {kOperationExtension, &PreviewValues::extension, false},
      {kOperationAdvancedAdd, &PreviewValues::advancedLow, true},
      {kOperationAdvancedAdd, &PreviewValues::advancedHigh, true},
      {kOperationAdvancedAdd, &PreviewValues::advancedText, true},
      {kOperationID3Tag, &PreviewValues::id3Format, true},
  };
  for (const Case& c : cases) {
    PreviewValues v;
    v.operation = c.operation;
    v.replaceFrom = v.addText = v.extension = "x";
    EXPECT_TRUE(HasRequiredValues(v)) << "operation " << c.operation << " filled in";
    if (c.box) v.*c.box = "";
    EXPECT_EQ(HasRequiredValues(v), !c.required) << "operation " << c.operation;
  }
}

TEST(PreviewDetailBox, EntriesAreInvalidRenamedOrUnchanged) {
  EXPECT_EQ(ClassifyEntry({"a:b", "a", "/d"}), PreviewDetail::InvalidName);
  EXPECT_EQ(ClassifyEntry({"", "", "/d"}), PreviewDetail::InvalidName);  // invalid comes first
  EXPECT_EQ(ClassifyEntry({"b.txt", "a.txt", "/d"}), PreviewDetail::Renamed);
  EXPECT_EQ(ClassifyEntry({"A.txt", "a.txt", "/d"}), PreviewDetail::Renamed);
  EXPECT_EQ(ClassifyEntry({"a.txt", "a.txt", "/d"}), PreviewDetail::Unchanged);
}

