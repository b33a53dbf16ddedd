#pragma once

#include <string>
#include <string_view>
#include <vector>

// Names are bytes; the name rules see characters. A name is split into the
// characters of its valid UTF-8 sequences, and every byte that belongs to no
// valid sequence becomes a character of its own that keeps its byte exactly.
namespace Utf8 {

struct Char {
  char32_t code = 0;  // the code point, or the byte value of a stray byte
  bool stray = false;  // a byte outside any valid UTF-8 sequence

  friend bool operator==(const Char&, const Char&) = default;
};

using Text = std::vector<Char>;

// Strict decoding: no overlong forms, no surrogates, nothing above U+10FFFF.
// A byte that does not start a complete valid sequence is one stray Char.
Text Decode(std::string_view bytes);

// The inverse of Decode: Encode(Decode(b)) == b for every byte string.
void Append(std::string& out, Char c);
std::string Encode(const Char* first, const Char* last);
inline std::string Encode(const Text& text) { return Encode(text.data(), text.data() + text.size()); }

// True when the bytes are valid UTF-8 throughout (the empty text is).
bool IsValid(std::string_view bytes);

// Each byte taken as an ISO 8859-1 character, written as UTF-8.
std::string FromLatin1(std::string_view bytes);

}  // namespace Utf8
