#include "rename/StringH.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "rename/Utf8.h"

namespace StringH {

namespace {

using Utf8::Char;
using Utf8::Text;

char32_t ToUpper(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  switch (c) {
    case 0xE4: return 0xC4;  // ä
    case 0xF6: return 0xD6;  // ö
    case 0xE5: return 0xC5;  // å
    case 0xFC: return 0xDC;  // ü
    default: return c;
  }
}

char32_t ToLower(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  switch (c) {
    case 0xC4: return 0xE4;
    case 0xD6: return 0xF6;
    case 0xC5: return 0xE5;
    case 0xDC: return 0xFC;
    default: return c;
  }
}

// A stray byte has no case.
Char Upper(Char c) { return c.stray ? c : Char{ToUpper(c.code), false}; }
Char Lower(Char c) { return c.stray ? c : Char{ToLower(c.code), false}; }

bool IsBreak(const Char* previous) {
  if (!previous) return true;
  return previous->stray || IsWordBreak(static_cast<int>(previous->code));
}

// Replace's case-insensitive comparison folds A-Z and nothing else.
Char Fold(Char c) {
  if (!c.stray && c.code >= U'A' && c.code <= U'Z') c.code += 0x20;
  return c;
}

Text Folded(Text text) {
  for (Char& c : text) c = Fold(c);
  return text;
}

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// Finds a fixed search text by Knuth-Morris-Pratt, which reads each character
// of the text once. Replace's passes rescan from just before their last match;
// with a plain search that costs up to |search| comparisons per character, and
// a long self-overlapping search text (a run of one letter ended by another)
// took seconds for one name.
class Finder {
 public:
  explicit Finder(const Text& sought) : sought_(sought), border_(sought.size(), 0) {
    for (std::size_t i = 1, k = 0; i < sought_.size(); ++i) {
      while (k > 0 && sought_[i] != sought_[k]) k = border_[k - 1];
      if (sought_[i] == sought_[k]) ++k;
      border_[i] = k;
    }
  }

  // Leftmost position >= from at which the search text occurs, or kNotFound.
  std::size_t Find(const Text& text, std::size_t from) const {
    if (sought_.empty()) return from <= text.size() ? from : kNotFound;
    std::size_t matched = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
      while (matched > 0 && text[i] != sought_[matched]) matched = border_[matched - 1];
      if (text[i] == sought_[matched]) ++matched;
      if (matched == sought_.size()) return i + 1 - matched;
    }
    return kNotFound;
  }

 private:
  const Text& sought_;
  std::vector<std::size_t> border_;  // longest proper prefix that is also a suffix of sought_[0..i]
};

std::size_t Clamp(int n, std::size_t upper) {
  if (n <= 0) return 0;
  return std::min(static_cast<std::size_t>(n), upper);
}

}  // namespace

std::string ReplaceText(std::string_view name, std::string_view search, std::string_view replacement,
                        bool caseSensitive) {
  if (search.empty()) return std::string(name);
  Text text = Utf8::Decode(name);
  const Text sought = Utf8::Decode(search);
  const Text replacing = Utf8::Decode(replacement);

  // The comparison form of the text is kept beside it and edited in step.
  const auto compareForm = [&](const Text& t) { return caseSensitive ? t : Folded(t); };
  Text seen = compareForm(text);
  const Text soughtSeen = compareForm(sought);
  const Text replacingSeen = compareForm(replacing);
  const Finder finder(soughtSeen);
  const bool replaceOnce = finder.Find(replacingSeen, 0) != kNotFound;
  // Each pass changes the length by the same amount, so only a growing text
  // can pass the length bound; a shrinking one ends by itself, and one of
  // constant length is held by the pass bound.
  const bool grows = replacing.size() > sought.size();

  std::size_t from = 0;
  for (int pass = 0; pass < kReplaceMaxPasses; ++pass) {
    const std::size_t p = finder.Find(seen, from);
    if (p == kNotFound) break;
    const auto at = static_cast<std::ptrdiff_t>(p);
    const auto soughtLen = static_cast<std::ptrdiff_t>(sought.size());
    if (replacing.size() == sought.size()) {
      std::copy(replacing.begin(), replacing.end(), text.begin() + at);
      std::copy(replacingSeen.begin(), replacingSeen.end(), seen.begin() + at);
    } else {
      text.erase(text.begin() + at, text.begin() + at + soughtLen);
      text.insert(text.begin() + at, replacing.begin(), replacing.end());
      seen.erase(seen.begin() + at, seen.begin() + at + soughtLen);
      seen.insert(seen.begin() + at, replacingSeen.begin(), replacingSeen.end());
    }
    if (replaceOnce) break;
    if (grows && text.size() > static_cast<std::size_t>(kReplaceMaxLength)) break;
    // Every pass starts again at the front. Nothing before p changed and no
    // occurrence began there, so an occurrence that lies wholly before p
    // cannot exist: the next leftmost one begins at p - |search| + 1 or later.
    from = p + 1 > sought.size() ? p + 1 - sought.size() : 0;
  }
  return Utf8::Encode(text);
}

std::string InsertText(std::string_view name, int position, std::string_view text) {
  const Text chars = Utf8::Decode(name);
  if (position > 0 && static_cast<std::size_t>(position) > chars.size())
    return std::string(name) + std::string(text);
  if (position <= 1) return std::string(text) + std::string(name);
  const Char* split = chars.data() + (position - 1);
  std::string out = Utf8::Encode(chars.data(), split);
  out += text;
  out += Utf8::Encode(split, chars.data() + chars.size());
  return out;
}

std::string PadWithZeros(std::string_view numberText, std::string_view templateText) {
  const std::size_t have = Utf8::Decode(numberText).size();
  const std::size_t want = Utf8::Decode(templateText).size();
  std::string out(numberText);
  if (have < want) out.insert(0, want - have, '0');
  return out;
}

std::string ComposeNumberedName(std::string_view number, std::string_view before, std::string_view after) {
  std::string out(before);
  out += number;
  out += after;
  return out;
}

std::string ConvertCase(std::string_view text, bool toLower) {
  Text chars = Utf8::Decode(text);
  for (Char& c : chars) c = toLower ? Lower(c) : Upper(c);
  return Utf8::Encode(chars);
}

char CaseBlindByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x80) return '\x80';
  if (byte >= 'A' && byte <= 'Z') return static_cast<char>(byte + ('a' - 'A'));
  return c;
}

bool MayDifferInCaseOnly(std::string_view a, std::string_view b) {
  if (a.size() != b.size() || a == b) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (CaseBlindByte(a[i]) != CaseBlindByte(b[i])) return false;
  return true;
}

std::string ChangeCase(std::string_view name, int mode) {
  switch (mode) {
    case kAllUpper: return ConvertCase(name, false);
    case kAllLower: return ConvertCase(name, true);
    case kFirstLetterUpper:
    case kFirstLetterLower:
    case kOppositeCase: break;
    default: return std::string(name);
  }
  const Text chars = Utf8::Decode(name);
  std::string out;
  out.reserve(name.size());
  const Char* previous = nullptr;
  for (const Char& c : chars) {
    Char written = c;
    if (mode == kOppositeCase) {
      written = Lower(c) != c ? Lower(c) : Upper(c);
    } else {
      const bool startsWord = IsBreak(previous);
      written = (startsWord == (mode == kFirstLetterUpper)) ? Upper(c) : Lower(c);
    }
    Utf8::Append(out, written);
    // Case mapping never changes whether a character is a word letter, so the
    // character as read serves as the previous one.
    previous = &c;
  }
  return out;
}

std::string TrimName(std::string_view name, int amount, bool fromStart, bool makeThisLong) {
  const Text chars = Utf8::Decode(name);
  const std::size_t length = chars.size();
  const std::size_t n = Clamp(amount, length + 1);
  if (length <= n) return makeThisLong ? std::string(name) : std::string();
  const Char* first = chars.data();
  const Char* last = chars.data() + length;
  if (!makeThisLong) {
    if (fromStart) return Utf8::Encode(first + n, last);
    return Utf8::Encode(first, last - n);
  }
  if (fromStart) return Utf8::Encode(last - n, last);
  return Utf8::Encode(first, first + n);
}

std::string ChangeExtension(std::string_view fullName, std::string_view extension) {
  std::string out = StripExtension(fullName);
  if (extension.empty()) return out;
  out += '.';
  out += extension;
  return out;
}

std::string AddAroundCharacters(std::string_view name, int low, int high, std::string_view text, bool before) {
  const Text chars = Utf8::Decode(name);
  std::string out;
  out.reserve(name.size() * 2);
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const Char c = chars[i];
    const long long code = static_cast<long long>(c.code);
    const bool decorate = i >= 1 && low <= code && code <= high;
    if (decorate && before) out += text;
    Utf8::Append(out, c);
    if (decorate && !before) out += text;
  }
  return out;
}

// "." and the delimiters are ASCII and never part of a multi-byte sequence, so
// the byte search finds the same character a character search would.
std::string ExtensionOf(std::string_view name, Build build) {
  const std::string_view stops = build == Build::Windows ? std::string_view(".\\:") : std::string_view("./");
  const std::size_t at = name.find_last_of(stops);
  if (at == std::string_view::npos || name[at] != '.') return {};
  return std::string(name.substr(at));
}

std::string ExtensionOf(std::string_view name) { return ExtensionOf(name, kThisBuild); }

std::string StripExtension(std::string_view name, Build build) {
  return std::string(name.substr(0, name.size() - ExtensionOf(name, build).size()));
}

std::string StripExtension(std::string_view name) { return StripExtension(name, kThisBuild); }

bool IsValidFileName(std::string_view name) {
  // All the refused characters are ASCII, so testing bytes tests characters.
  if (name.empty() || name.front() == ' ' || name.back() == ' ') return false;
  return name.find_first_of("\\/\":?*|<>") == std::string_view::npos;
}

bool IsWordBreak(int character) {
  if (character < 0) return true;
  if ((character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') || character == '\'')
    return false;
  switch (character) {
    case 0xE4: case 0xF6: case 0xE5:  // ä ö å
    case 0xC4: case 0xD6: case 0xC5:  // Ä Ö Å
    case 0xFC: case 0xDC: case 0xFF:  // ü Ü ÿ
      return false;
    default:
      return true;
  }
}

int FilterDigitKey(int key) {
  if (key == 8 || (key >= '0' && key <= '9')) return key;
  return 0;
}

}  // namespace StringH
