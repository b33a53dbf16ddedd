#include "rename/Utf8.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Utf8::Char;

TEST(Utf8Decode, SplitsIntoCharactersAndStrayBytes) {
  struct Case {
    std::string bytes;
    std::vector<Char> chars;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"a", {{'a', false}}},
      {"ä", {{0xE4, false}}},
      {"€", {{0x20AC, false}}},
      {"😀", {{0x1F600, false}}},
      {"\xF4\x8F\xBF\xBF", {{0x10FFFF, false}}},
      {"\xEF\xBF\xBD", {{0xFFFD, false}}},
      // Overlong forms, surrogates and code points past U+10FFFF are no characters.
      {"\xC0\xAF", {{0xC0, true}, {0xAF, true}}},
      {"\xE0\x80\xAF", {{0xE0, true}, {0x80, true}, {0xAF, true}}},
      {"\xED\xA0\x80", {{0xED, true}, {0xA0, true}, {0x80, true}}},
      {"\xF4\x90\x80\x80", {{0xF4, true}, {0x90, true}, {0x80, true}, {0x80, true}}},
      {"\xF8\x88\x80\x80\x80", {{0xF8, true}, {0x88, true}, {0x80, true}, {0x80, true}, {0x80, true}}},
      // A cut-off sequence is one stray byte per byte; what follows is read anew.
      {"\xE2\x82" "a", {{0xE2, true}, {0x82, true}, {'a', false}}},
      {"\xE2\x82", {{0xE2, true}, {0x82, true}}},
      {"\xC3\xC3\xA4", {{0xC3, true}, {0xE4, false}}},
      {"\xFF", {{0xFF, true}}},
      {std::string("a\0b", 3), {{'a', false}, {0, false}, {'b', false}}},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8::Decode(c.bytes), c.chars) << c.bytes;
}

TEST(Utf8Encode, RoundTripKeepsEveryByte) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255), length(0, 40);
  for (int i = 0; i < 5000; ++i) {
    std::string bytes(static_cast<std::size_t>(length(random)), '\0');
    for (char& b : bytes) b = static_cast<char>(byte(random));
    ASSERT_EQ(Utf8::Encode(Utf8::Decode(bytes)), bytes);
  }
  for (const std::string s : {"Grüße", "日本語", "😀x😀", "\xED\xA0\x80"}) EXPECT_EQ(Utf8::Encode(Utf8::Decode(s)), s);
}

TEST(Utf8Validity, IsValidAndLatin1) {
  EXPECT_TRUE(Utf8::IsValid(""));
  EXPECT_TRUE(Utf8::IsValid("plain"));
  EXPECT_TRUE(Utf8::IsValid("Motörhead 日本 😀"));
  EXPECT_FALSE(Utf8::IsValid("Mot\xF6rhead"));
  EXPECT_FALSE(Utf8::IsValid("\xC0\x80"));
  EXPECT_FALSE(Utf8::IsValid("ok\xE2\x82"));
  EXPECT_EQ(Utf8::FromLatin1("Mot\xF6rhead \xC5\xFF\xA0"), "Motörhead Åÿ\xC2\xA0");
  EXPECT_EQ(Utf8::FromLatin1("abc"), "abc");
}

}  // namespace
