#include "rename/StringH.h"

#include <gtest/gtest.h>

#include "support/LinuxOnly.h"
#if QUILLON_TEST_SYMLINKS || QUILLON_TEST_OTHER_USER
#include <sys/stat.h>
#include <unistd.h>

#include "support/AsOtherUser.h"
#endif

#include <string>
#include <vector>

#include "support/TempDir.h"

using namespace StringH;

namespace {

// A field of `width` bytes: the text, then zero bytes.
std::string Pad(const std::string& text, std::size_t width) {
  std::string field = text.substr(0, width);
  field.resize(width, '\0');
  return field;
}

struct Tag {
  std::string title, artist, album, year, comment;
  int genre = 12;
  std::string magic = "TAG";

  std::string Bytes() const {
    std::string bytes = magic + Pad(title, 30) + Pad(artist, 30) + Pad(album, 30) + Pad(year, 4) + Pad(comment, 30);
    bytes.push_back(static_cast<char>(genre));
    return bytes;
  }
};

class ID3TagFiles : public ::testing::Test {
 protected:
  // Writes audio-like bytes and the tag, returns the file's path.
  std::string Write(const std::string& name, const std::string& tagBytes, std::size_t audioBytes = 1000) {
    std::string content(audioBytes, '\xFF');
    content += tagBytes;
    dir.WriteFile(name, content);
    return dir / name;
  }
  std::string Name(const Tag& tag, const std::string& format) {
    return MakeNameFromID3Tag(Write("song.mp3", tag.Bytes()), format);
  }

  TempDir dir;
};

TEST(ID3GenreNamesTable, CountAndSpelling) {
  ASSERT_EQ(ID3GenreNames.size(), 148u);
  const std::vector<std::pair<int, std::string>> samples = {
      {0, "Blues"},         {7, "Hip-Hop"},     {14, "R&B"},          {29, "Jazz+Funk"},
      {40, "AlternRock"},   {60, "Top 40"},     {62, "Pop/Funk"},     {67, "Psychadelic"},
      {78, "Rock & Roll"},  {79, "Hard Rock"},  {80, "Folk"},         {85, "Bebob"},
      {93, "Psychedelic Rock"}, {100, "Humour"}, {123, "Acapella"},   {127, "Drum & Bass"},
      {132, "BritPop"},     {136, "Christian Gangsta Rap"}, {144, "Trash Metal"}, {147, "Synthpop"},
  };
  for (const auto& [index, name] : samples) EXPECT_EQ(ID3GenreNames[index], name) << index;
  for (std::size_t i = 0; i < ID3GenreNames.size(); ++i) {
    EXPECT_FALSE(ID3GenreNames[i].empty()) << i;
    for (std::size_t j = i + 1; j < ID3GenreNames.size(); ++j) EXPECT_NE(ID3GenreNames[i], ID3GenreNames[j]);
  }
}

TEST_F(ID3TagFiles, FileLengthAndMagic) {
  const Tag tag{"Song", "Band", "Album", "2001", "Fine", 0};
  const std::string bytes = tag.Bytes();
  ASSERT_EQ(bytes.size(), 128u);

  EXPECT_EQ(MakeNameFromID3Tag(Write("exact.mp3", bytes, 0), "%artist% - %title%"), "Band - Song");
  EXPECT_EQ(MakeNameFromID3Tag(Write("short.mp3", bytes.substr(0, 127), 0), "%artist%"), "");
  EXPECT_EQ(MakeNameFromID3Tag(Write("empty.mp3", "", 0), "%artist%"), "");

  Tag lower = tag;
  lower.magic = "tag";
  EXPECT_EQ(MakeNameFromID3Tag(Write("lower.mp3", lower.Bytes()), "%artist%"), "");

  // Only the last 128 bytes count: a tag that is not at the very end is none.
  EXPECT_EQ(MakeNameFromID3Tag(Write("moved.mp3", bytes + "x"), "%artist%"), "");
  EXPECT_EQ(MakeNameFromID3Tag(Write("long.mp3", bytes, 200000), "%year%"), "2001");
}

TEST_F(ID3TagFiles, FormatsAndPlaceholders) {
  const Tag tag{"Song", "Band", "Record", "1999", "Note", 17};
  struct Case {
    std::string format, expected;
  };
  const std::vector<Case> cases = {
      {"%artist% - %title%", "Band - Song"},
      {"%ARTIST%-%artist%", "Band-Band"},
      {"%Artist% %TITLE% %aLbUm%", "Band Song Record"},
      {"%year% %genre% %comment%", "1999 Rock Note"},
      {"%title%%title%", "SongSong"},
      {"no placeholders", "no placeholders"},
      {"%artist", "%artist"},
      {"%ärtist%", "%ärtist%"},  // only A-Z fold
  };
  const std::string path = Write("song.mp3", tag.Bytes());
  for (const auto& c : cases) EXPECT_EQ(MakeNameFromID3Tag(path, c.format), c.expected) << c.format;
}

TEST_F(ID3TagFiles, FieldValuesInTheirOrder) {
  // A value holding a later placeholder has it replaced in turn.
  EXPECT_EQ(Name({"%album%", "A", "Disc", "", ""}, "%title%"), "Disc");
  // An earlier one stays as it is.
  EXPECT_EQ(Name({"%artist%", "A", "", "", ""}, "%title%"), "%artist%");
  // A value holding its own placeholder replaces the first occurrence only.
  EXPECT_EQ(Name({"", "x%artist%", "", "", ""}, "%artist% %artist%"), "x%artist% %artist%");
  // An empty field removes its placeholder.
  EXPECT_EQ(Name({"Song", "", "", "", ""}, "%artist%%title%%album%"), "Song");
}

TEST_F(ID3TagFiles, FieldBytes) {
  const std::string thirty = "abcdefghijklmnopqrstuvwxyzABCD";
  EXPECT_EQ(Name({thirty, "", "", "", ""}, "%title%"), thirty);
  EXPECT_EQ(Name({"Song   ", "", "", "", ""}, "[%title%]"), "[Song   ]");
  EXPECT_EQ(Name({std::string("Fir\0st", 6), "", "", "", ""}, "%title%"), "Fir");

  // The year runs straight into the comment: four bytes, no terminator.
  EXPECT_EQ(Name({"", "", "", "2001", "Comment"}, "%year%|%comment%"), "2001|Comment");
  const std::string thirtyComment(30, 'c');
  EXPECT_EQ(Name({"", "", "", "2001", thirtyComment}, "%comment%"), thirtyComment);

  // ID3v1.1: comment, zero byte at the 29th, track number in the 30th.
  std::string v11 = Pad("Live", 28);
  v11 += '\0';
  v11 += '\x07';
  EXPECT_EQ(Name({"", "", "", "", v11}, "%comment%"), "Live");

  // Characters a name cannot hold pass unchanged; the preview check refuses them.
  EXPECT_EQ(Name({"AC/DC: Live?", "", "", "", ""}, "%title%"), "AC/DC: Live?");
}

TEST_F(ID3TagFiles, GenreByte) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0, "Blues"}, {12, "Other"}, {79, "Hard Rock"}, {80, "Folk"}, {147, "Synthpop"},
      {148, "148"}, {200, "200"}, {255, "255"},
  };
  for (const auto& [code, expected] : cases) {
    Tag tag;
    tag.genre = code;
    EXPECT_EQ(Name(tag, "%genre%"), expected) << code;
  }
}

TEST_F(ID3TagFiles, TextEncodings) {
  struct Case {
    std::string field, expected;
  };
  const std::vector<Case> cases = {
      {"Mot\xF6rhead", "Motörhead"},  // ISO 8859-1
      {"Motörhead", "Motörhead"},  // already UTF-8
      {"Bj\xF6rk \xC5" "sa", "Björk Åsa"},
      {"caf\xE9 \xFF", "café ÿ"},
      {"\xC3", "Ã"},  // a cut-off sequence: not UTF-8, so Latin-1
      {"日本", "日本"},
      {"plain", "plain"},
  };
  for (const auto& c : cases) EXPECT_EQ(Name({"", c.field, "", "", ""}, "%artist%"), c.expected) << c.field;

  // Each field is judged on its own.
  EXPECT_EQ(Name({"Grüße", "Mot\xF6rhead", "", "", ""}, "%title% %artist%"), "Grüße Motörhead");
}

TEST_F(ID3TagFiles, FolderGivesTheEmptyText) {
  dir.MakeFolder("album.d");
  dir.WriteFile("album.d/track.mp3", std::string(500, 'x'));
  EXPECT_EQ(MakeNameFromID3Tag(dir / "album.d", "%artist% - %title%"), "");
}

#if QUILLON_TEST_SYMLINKS
TEST_F(ID3TagFiles, PipeGivesTheEmptyTextWithoutWaiting) {
  const std::string path = dir / "pipe";
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  EXPECT_EQ(MakeNameFromID3Tag(path, "%artist%"), "");
}

TEST_F(ID3TagFiles, SymbolicLinkIsFollowed) {
  const std::string target = Write("real.mp3", Tag{"Song", "Band", "", "", ""}.Bytes());
  ASSERT_EQ(::symlink(target.c_str(), (dir / "link.mp3").c_str()), 0);
  EXPECT_EQ(MakeNameFromID3Tag(dir / "link.mp3", "%title%"), "Song");
}

#endif

TEST_F(ID3TagFiles, MissingFileThrowsNamingIt) {
  const std::string path = dir / "gone ü.mp3";
  try {
    MakeNameFromID3Tag(path, "%artist%");
    FAIL() << "no exception";
  } catch (const FileOpenError& error) {
    EXPECT_EQ(error.path(), path);
    EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
  }
  // Callers may catch it as any standard exception.
  EXPECT_THROW(MakeNameFromID3Tag(dir / "no/such/folder/x.mp3", "%artist%"), std::exception);
}

#if QUILLON_TEST_OTHER_USER
TEST_F(ID3TagFiles, UnreadableFileThrows) {
  const std::string path = Write("locked.mp3", Tag{"Song", "Band", "", "", ""}.Bytes());
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  ASSERT_TRUE(OpenToOthers(dir.path()));
  // Root reads every file, so the check runs as an ordinary user.
  const std::optional<bool> threw = AsOtherUser([&] {
    try {
      MakeNameFromID3Tag(path, "%artist%");
    } catch (const FileOpenError& error) {
      return std::string(error.what()).find(path) != std::string::npos;
    }
    return false;
  });
  if (!threw) GTEST_SKIP() << "cannot run the check as another user here";
  EXPECT_TRUE(*threw) << "an unreadable file throws an error naming it";
}
#endif

TEST_F(ID3TagFiles, FileIsOnlyRead) {
  const std::string bytes = Tag{"Song", "Band", "", "", ""}.Bytes();
  const std::string path = Write("keep.mp3", bytes, 10);
  SetReadOnly(path, true);  // no write permission is needed
  EXPECT_EQ(AsOrdinaryOwner(dir, [&] { return MakeNameFromID3Tag(path, "%title%") == "Song"; }),
            std::optional<bool>(true));
  EXPECT_EQ(dir.ReadFile("keep.mp3"), std::string(10, '\xFF') + bytes);
}

}  // namespace
