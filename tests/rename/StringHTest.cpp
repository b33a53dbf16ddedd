#include "rename/StringH.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace StringH;

namespace {

struct ReplaceCase {
  std::string name, search, replacement;
  bool caseSensitive;
  std::string expected;
};

TEST(StringHReplaceText, Examples) {
  const std::vector<ReplaceCase> cases = {
      {"banana", "a", "o", true, "bonono"},
      {"aaaa", "aa", "a", true, "a"},  // each pass starts again at the front
      {"abb", "ab", "a", true, "a"},
      {"a_b_c", "_", " _ ", true, "a _ b_c"},  // replacement holds the search text
      {"Banana", "A", "o", false, "Bonono"},
      {"Banana", "A", "o", true, "Banana"},
      {"aaa", "a", "A", false, "Aaa"},
      {"xAx", "a", "aa", false, "xaax"},
      {"", "a", "b", true, ""},
      {"", "a", "b", false, ""},
      {"abcabc", "bc", "", true, "aa"},  // an empty replacement deletes every one
      {"nothing", "z", "y", true, "nothing"},
      {"ab", "abc", "x", true, "ab"},  // a run past the end does not match
      {"name", "", "x", true, "name"},  // no search text, nothing to do
      // Only A-Z fold: the Latin-1 pairs compare as different characters.
      {"Äpfel", "ä", "x", false, "Äpfel"},
      {"äpfel", "Ä", "x", false, "äpfel"},
      {"Äpfel", "Ä", "A", false, "Apfel"},
      {"Ärger ärger", "ärger", "x", false, "Ärger x"},
      // Multi-byte characters are whole characters.
      {"€uro€", "€", "EUR", true, "EURuroEUR"},
      {"日本語.txt", "本", "", true, "日語.txt"},
      {"a😀b😀", "😀", "-", true, "a-b-"},
      // The lead byte of "ä" alone is a stray byte, not part of the character.
      {"ä", "\xC3", "x", true, "ä"},
      {"x\xC3y\xC3", "\xC3", "ä", true, "xäyä"},
      {"a\xFF", "\xFF", "", false, "a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceText(c.name, c.search, c.replacement, c.caseSensitive), c.expected)
        << "«" << c.name << "» «" << c.search << "» «" << c.replacement << "» " << c.caseSensitive;
  }
}

// The same rule written the plain way: rescan the whole text from the front
// on every pass. ASCII only, where characters are bytes.
std::string PlainReplace(std::string text, const std::string& search, const std::string& replacement,
                         bool caseSensitive) {
  const auto fold = [&](std::string s) {
    if (!caseSensitive)
      for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    return s;
  };
  const bool once = fold(replacement).find(fold(search)) != std::string::npos;
  const bool grows = replacement.size() > search.size();
  for (int pass = 0; pass < kReplaceMaxPasses; ++pass) {
    const std::size_t p = fold(text).find(fold(search));
    if (p == std::string::npos) break;
    text = text.substr(0, p) + replacement + text.substr(p + search.size());
    if (once || (grows && text.size() > static_cast<std::size_t>(kReplaceMaxLength))) break;
  }
  return text;
}

TEST(StringHReplaceText, AgreesWithPlainRescanOnRandomTexts) {
  std::mt19937 random(20240611);
  const std::string letters = "abAB";
  const auto randomText = [&](int minLength, int maxLength) {
    std::string s(std::uniform_int_distribution<int>(minLength, maxLength)(random), ' ');
    for (char& ch : s) ch = letters[std::uniform_int_distribution<std::size_t>(0, letters.size() - 1)(random)];
    return s;
  };
  int bounded = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string name = randomText(0, 12);
    const std::string search = randomText(1, 3);
    const std::string replacement = randomText(0, 4);
    const bool caseSensitive = i % 2 == 0;
    const std::string result = ReplaceText(name, search, replacement, caseSensitive);
    ASSERT_EQ(result, PlainReplace(name, search, replacement, caseSensitive))
        << "«" << name << "» «" << search << "» «" << replacement << "» " << caseSensitive;
    if (result.size() > static_cast<std::size_t>(kReplaceMaxLength)) ++bounded;
  }
  EXPECT_GT(bounded, 0);  // the endless cases were among them
}

TEST(StringHReplaceText, EndlessRescanStopsPastTheLengthBound) {
  // Every pass makes a new «aba» one character longer than before.
  const std::string result = ReplaceText("aaba", "aba", "baab", true);
  EXPECT_EQ(result.size(), static_cast<std::size_t>(kReplaceMaxLength) + 1);
  EXPECT_EQ(result, PlainReplace("aaba", "aba", "baab", true));
  EXPECT_EQ(ReplaceText("aaba", "ABA", "baab", false), result);
}

TEST(StringHReplaceText, LongestRealNameSwapFinishes) {
  // 127 * 128 = 16,256 passes, each moving one "b" one place to the front.
  const std::string name = std::string(127, 'a') + std::string(128, 'b');
  EXPECT_EQ(ReplaceText(name, "ab", "ba", true), std::string(128, 'b') + std::string(127, 'a'));
}

TEST(StringHReplaceText, PassBoundHoldsATextOfConstantLength) {
  // 512 * 512 swaps would be needed; each pass removes exactly one (a, b)
  // pair in a-before-b order, so the pairs left count the passes made.
  const std::string name = std::string(512, 'a') + std::string(512, 'b');
  const std::string result = ReplaceText(name, "ab", "ba", true);
  ASSERT_EQ(result.size(), name.size());
  long long pairs = 0, aSeen = 0;
  for (char ch : result) {
    if (ch == 'a') ++aSeen;
    else pairs += aSeen;
  }
  EXPECT_EQ(pairs, 512LL * 512 - kReplaceMaxPasses);
}

TEST(StringHReplaceText, ShrinkingTextIsNeverCutShort) {
  // Longer than the length bound, but every pass shortens it: runs to the end.
  EXPECT_EQ(ReplaceText(std::string(3000, 'a'), "aa", "a", true), "a");
  EXPECT_EQ(ReplaceText(std::string(3000, 'x') + "y", "x", "", true), "y");
}

TEST(StringHInsertText, Positions) {
  const std::vector<std::pair<int, std::string>> cases = {
      {-3, "XYabcde"}, {0, "XYabcde"}, {1, "XYabcde"}, {2, "aXYbcde"},
      {5, "abcdXYe"},  {6, "abcdeXY"}, {7, "abcdeXY"}, {100, "abcdeXY"},
  };
  for (const auto& [position, expected] : cases)
    EXPECT_EQ(InsertText("abcde", position, "XY"), expected) << position;
}

TEST(StringHInsertText, CountsCharactersNotBytes) {
  struct Case {
    std::string name;
    int position;
    std::string text, expected;
  };
  const std::vector<Case> cases = {
      {"äöü", 2, "X", "äXöü"},
      {"äöü", 3, "X", "äöXü"},
      {"äöü", 4, "X", "äöüX"},  // 4 is past three characters, though not past six bytes
      {"😀😀", 2, "-", "😀-😀"},
      {"\xFF\xFE", 2, "ü", "\xFFü\xFE"},
      {"a\xC3", 2, "\xA4", "a\xA4\xC3"},  // stray bytes are kept byte for byte
      {"", 5, "x", "x"},
      {"abc", 2, "", "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(InsertText(c.name, c.position, c.text), c.expected) << c.name;
}

TEST(StringHAutoNumber, PadWithZerosAndCompose) {
  struct Case {
    std::string number, templ, expected;
  };
  const std::vector<Case> cases = {
      {"7", "12", "07"}, {"7", "100", "007"}, {"104", "10", "104"}, {"10", "10", "10"},
      {"5", "9", "5"},   {"-5", "100", "0-5"}, {"", "10", "00"},
  };
  for (const auto& c : cases) EXPECT_EQ(PadWithZeros(c.number, c.templ), c.expected) << c.number << " " << c.templ;
  EXPECT_EQ(ComposeNumberedName("007", "Photo ", " ü"), "Photo 007 ü");
  EXPECT_EQ(ComposeNumberedName("1", "", ""), "1");
}

TEST(StringHChangeCase, ModesOnTheMixedExample) {
  const std::string name = "hello wORLD-2nd_try o'neil mcDONALD äbc.TXT";
  const std::vector<std::pair<int, std::string>> cases = {
      {0, "HELLO WORLD-2ND_TRY O'NEIL MCDONALD ÄBC.TXT"},
      {1, "hello world-2nd_try o'neil mcdonald äbc.txt"},
      {2, "Hello World-2Nd_Try O'neil Mcdonald Äbc.Txt"},
      {3, "hELLO wORLD-2nD_tRY o'NEIL mCDONALD äBC.tXT"},
      {4, "HELLO World-2ND_TRY O'NEIL MCdonald ÄBC.txt"},
      {5, name},
      {-1, name},
  };
  for (const auto& [mode, expected] : cases) EXPECT_EQ(ChangeCase(name, mode), expected) << mode;
}

TEST(StringHChangeCase, CharactersBeyondAsciiAndStrayBytes) {
  struct Case {
    std::string name;
    int mode;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"müller åke", 2, "Müller Åke"},
      {"MÜLLER ÅKE", 3, "mÜLLER åKE"},
      {"éÿ é ÿ", 0, "éÿ é ÿ"},  // é and ÿ have no case here
      {"ÉŸ", 1, "ÉŸ"},
      {"ÿes ében", 2, "ÿes éBen"},  // ÿ is a letter without case; é is no letter, so "b" starts a word
      {"straße", 0, "STRAßE"},
      {"ĆWIERĆ", 1, "ĆwierĆ"},  // above U+00FF: no case
      {"ćma ćma", 2, "ćMa ćMa"},  // and no word letter
      {"äbc", 4, "ÄBC"},
      {"ÄbÖ", 4, "äBö"},
      // A stray 0xE4 is not "ä": byte-wise tables would turn it into 0xC4.
      {"\xE4" "bc", 0, "\xE4" "BC"},
      {"\xC4" "BC", 1, "\xC4" "bc"},
      {"x\xE4y", 2, "X\xE4Y"},  // and it breaks words
      {"x\xE4y", 3, "x\xE4y"},
      {"\xE4x", 4, "\xE4X"},
      {"日本abc", 2, "日本Abc"},
      {"", 2, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ChangeCase(c.name, c.mode), c.expected) << c.name << " " << c.mode;
}

TEST(StringHConvertCase, LatinOneTable) {
  EXPECT_EQ(ConvertCase("AZaz äöåü ÄÖÅÜ éÉ ñÑ ÿ ß 09_-", false), "AZAZ ÄÖÅÜ ÄÖÅÜ éÉ ñÑ ÿ ß 09_-");
  EXPECT_EQ(ConvertCase("AZaz äöåü ÄÖÅÜ éÉ ñÑ ÿ ß 09_-", true), "azaz äöåü äöåü éÉ ñÑ ÿ ß 09_-");
  EXPECT_EQ(ConvertCase("\xC3" "a\xC4", false), "\xC3" "A\xC4");  // stray bytes untouched
}

TEST(StringHIsWordBreak, Table) {
  const std::vector<std::pair<int, bool>> cases = {
      {kNoCharacter, true}, {'A', false}, {'Z', false}, {'a', false}, {'z', false}, {'\'', false},
      {0xE4, false}, {0xF6, false}, {0xE5, false}, {0xC4, false}, {0xD6, false}, {0xC5, false},
      {0xFC, false}, {0xDC, false}, {0xFF, false},
      {' ', true}, {'0', true}, {'9', true}, {'_', true}, {'-', true}, {'.', true}, {'[', true},
      {'@', true}, {'`', true}, {'{', true}, {0xE9, true}, {0xDF, true}, {0xD1, true}, {0x178, true},
      {0x107, true}, {0x1F600, true},
  };
  for (const auto& [character, expected] : cases) EXPECT_EQ(IsWordBreak(character), expected) << character;
}

struct TrimCase {
  int amount;
  bool fromStart, makeThisLong;
  std::string expected;
};

TEST(StringHTrimName, AmountsFromBothEnds) {
  const std::vector<TrimCase> cases = {
      {0, false, false, "abcdefgh"}, {3, false, false, "abcde"}, {8, false, false, ""}, {10, false, false, ""},
      {0, true, false, "abcdefgh"},  {3, true, false, "defgh"},  {8, true, false, ""},  {10, true, false, ""},
      {0, false, true, ""},  {3, false, true, "abc"}, {8, false, true, "abcdefgh"}, {10, false, true, "abcdefgh"},
      {0, true, true, ""},   {3, true, true, "fgh"},  {8, true, true, "abcdefgh"},  {10, true, true, "abcdefgh"},
      // A negative amount (pasted into the box) counts as 0.
      {-2, false, false, "abcdefgh"}, {-2, true, false, "abcdefgh"}, {-2, false, true, ""}, {-2, true, true, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TrimName("abcdefgh", c.amount, c.fromStart, c.makeThisLong), c.expected)
        << c.amount << " " << c.fromStart << " " << c.makeThisLong;
}

TEST(StringHTrimName, CutsBetweenCharacters) {
  struct Case {
    std::string name;
    TrimCase c;
  };
  const std::vector<Case> cases = {
      {"äöüß", {1, false, false, "äöü"}},
      {"äöüß", {1, true, false, "öüß"}},
      {"äöüß", {2, false, true, "äö"}},
      {"äöüß", {2, true, true, "üß"}},
      {"äöüß", {4, false, true, "äöüß"}},  // four characters, though eight bytes
      {"äöüß", {5, false, false, ""}},
      {"a😀", {1, false, false, "a"}},
      {"a😀", {1, true, true, "😀"}},
      {"€x", {1, true, false, "x"}},
      {"ab\xFF" "cd", {2, false, false, "ab\xFF"}},
      {"ab\xFF" "cd", {3, false, false, "ab"}},
      {"\xE2\x82" "x", {1, true, false, "\x82" "x"}},  // a cut-off sequence is two stray bytes
      {"\xE2\x82" "x", {1, false, true, "\xE2"}},
  };
  for (const auto& [name, c] : cases)
    EXPECT_EQ(TrimName(name, c.amount, c.fromStart, c.makeThisLong), c.expected)
        << name << " " << c.amount << " " << c.fromStart << " " << c.makeThisLong;
}

TEST(StringHExtension, ExtensionOfAndStripExtension) {
  struct Case {
    std::string name, extension, base;
  };
  const std::vector<Case> cases = {
      {"file.txt", ".txt", "file"},
      {".bashrc", ".bashrc", ""},
      {"file.", ".", "file"},
      {"archive.tar.gz", ".gz", "archive.tar"},
      {"noext", "", "noext"},
      {"", "", ""},
      {"Grüße.änd", ".änd", "Grüße"},
      {"日本.テキスト", ".テキスト", "日本"},
      {"a.b\\c", ".b\\c", "a"},  // "\" and ":" are no delimiters on Linux
      {"a.b:c", ".b:c", "a"},
      {"dir.d/file", "", "dir.d/file"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtensionOf(c.name, Build::Linux), c.extension) << c.name;
    EXPECT_EQ(StripExtension(c.name, Build::Linux), c.base) << c.name;
  }
  const std::vector<Case> windows = {
      {"file.txt", ".txt", "file"},
      {"a.b\\c", "", "a.b\\c"},
      {"C:x", "", "C:x"},
      {"a.b:c", "", "a.b:c"},
      {"dir.d/file", ".d/file", "dir"},
  };
  for (const auto& c : windows) {
    EXPECT_EQ(ExtensionOf(c.name, Build::Windows), c.extension) << c.name;
    EXPECT_EQ(StripExtension(c.name, Build::Windows), c.base) << c.name;
  }
  EXPECT_EQ(ExtensionOf("a.b"), ExtensionOf("a.b", kThisBuild));
  EXPECT_EQ(StripExtension("a.b"), StripExtension("a.b", kThisBuild));
}

TEST(StringHChangeExtension, Examples) {
  struct Case {
    std::string name, extension, expected;
  };
  const std::vector<Case> cases = {
      {"file.txt", "doc", "file.doc"}, {"file.txt", "", "file"},     {"noext", "x", "noext.x"},
      {"a.tar.gz", "zip", "a.tar.zip"}, {".bashrc", "x", ".x"},      {"file.txt", ".doc", "file..doc"},
      {"bild.jpg", "jpég", "bild.jpég"}, {"", "x", ".x"},
  };
  for (const auto& c : cases) EXPECT_EQ(ChangeExtension(c.name, c.extension), c.expected) << c.name;
}

TEST(StringHAddAroundCharacters, Examples) {
  struct Case {
    std::string name;
    int low, high;
    std::string text;
    bool before;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"MyFileName", 65, 91, "_", true, "My_File_Name"},
      {"MyFileName", 65, 91, "_", false, "MyF_ileN_ame"},
      {"ABC", 65, 91, "_", true, "A_B_C"},
      {"ABC", 65, 91, "_", false, "AB_C_"},
      {"a[b", 65, 91, "_", true, "a_[b"},
      {"a\\b", 65, 91, "_", true, "a\\b"},  // 92 is past the range
      {"ABC", 91, 65, "_", true, "ABC"},  // low above high: nothing matches
      {"", 0, 255, "_", true, ""},
      {"A", 0, 255, "_", true, "A"},
      // Codes are code points: "Ä" is 196 and a whole character.
      {"aÄb", 192, 214, "_", true, "a_Äb"},
      {"aÄb", 192, 214, "_", false, "aÄ_b"},
      {"ÄÖ", 192, 214, "-", true, "Ä-Ö"},  // the first character is never decorated
      {"a€", 128, 255, "_", true, "a€"},  // 8364: none of its bytes is seen alone
      {"a€", 8364, 8364, "_", true, "a_€"},
      {"x😀", 0x1F600, 0x1F600, "!", false, "x😀!"},
      // A stray byte's code is its byte value.
      {"a\xC4" "b", 196, 196, "_", true, "a_\xC4" "b"},
      {"a\xFF", 255, 255, "ü", false, "a\xFFü"},
      {"\xFF\xFF", 255, 255, "_", true, "\xFF_\xFF"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AddAroundCharacters(c.name, c.low, c.high, c.text, c.before), c.expected)
        << c.name << " " << c.low << ".." << c.high << " " << c.before;
}

TEST(StringHIsValidFileName, Table) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"", false},   {" a", false},  {"a ", false}, {"a/b", false}, {"a:b", false}, {"a?", false},
      {"a\\b", false}, {"a\"b", false}, {"a*", false}, {"a|b", false}, {"<a", false}, {"a>", false},
      {" ", false},
      {"a b", true}, {".hidden", true}, {"Grüße", true}, {"日本", true}, {"a\xFF", true}, {"a\tb", true},
      {"\xC2\xA0" "a", true},  // a no-break space is not a space
  };
  for (const auto& [name, valid] : cases) EXPECT_EQ(IsValidFileName(name), valid) << "«" << name << "»";
}

TEST(StringHFilterDigitKey, OnlyDigitsAndBackspacePass) {
  for (int key = '0'; key <= '9'; ++key) EXPECT_EQ(FilterDigitKey(key), key);
  EXPECT_EQ(FilterDigitKey(8), 8);
  for (int key : std::vector<int>{0, 7, 9, 13, 27, 32, '-', '+', '.', ',', '/', ':', 'a', 'A', 127, 0xB2, 0x660})
    EXPECT_EQ(FilterDigitKey(key), 0) << key;
}

}  // namespace
