#include <cstddef>
#include <string>

#include "platform/FileSystem.h"
#include "rename/StringH.h"
#include "rename/Utf8.h"

namespace StringH {

const std::array<std::string_view, 148> ID3GenreNames = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop",
    "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game",
    "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative",
    "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial",
    "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40",
    "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave",
    "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical",
    "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob",
    "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock",
    "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic",
    "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad", "Power Ballad",
    "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "Acapella", "Euro-House", "Dance Hall",
    "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie", "BritPop", "Negerpunk",
    "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal", "Black Metal", "Crossover",
    "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Trash Metal", "Anime", "Jpop",
    "Synthpop",
};

FileOpenError::FileOpenError(const std::string& path)
    : std::runtime_error("Cannot open file for reading: " + path), path_(path) {}

namespace {

constexpr std::size_t kTagSize = 128;

// A text field: its bytes up to the first zero byte. Tag text has no declared
// character set; ID3v1 writers use ISO 8859-1, some use UTF-8. Names are UTF-8,
// so a field that is valid UTF-8 stays as it is and any other is converted.
std::string Field(const std::string& tag, std::size_t offset, std::size_t width) {
  std::string_view bytes(tag.data() + offset, width);
  const std::size_t zero = bytes.find('\0');
  if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
  return Utf8::IsValid(bytes) ? std::string(bytes) : Utf8::FromLatin1(bytes);
}

std::string GenreText(unsigned char code) {
  if (code < ID3GenreNames.size()) return std::string(ID3GenreNames[code]);
  return std::to_string(code);
}

}  // namespace

std::string MakeNameFromID3Tag(const std::string& path, std::string_view format) {
  std::string tag;
  if (FileSystem::ReadFileTail(path, kTagSize, tag) != FileSystem::TailResult::Read) throw FileOpenError(path);
  if (tag.size() < kTagSize || tag.compare(0, 3, "TAG") != 0) return {};

  const std::string title = Field(tag, 3, 30);
  const std::string artist = Field(tag, 33, 30);
  const std::string album = Field(tag, 63, 30);
  const std::string year = Field(tag, 93, 4);
  const std::string comment = Field(tag, 97, 30);
  const std::string genre = GenreText(static_cast<unsigned char>(tag[127]));

  std::string name = ReplaceText(format, "%artist%", artist, false);
  name = ReplaceText(name, "%title%", title, false);
  name = ReplaceText(name, "%album%", album, false);
  name = ReplaceText(name, "%year%", year, false);
  name = ReplaceText(name, "%genre%", genre, false);
  return ReplaceText(name, "%comment%", comment, false);
}

}  // namespace StringH
