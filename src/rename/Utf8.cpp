#include "rename/Utf8.h"

namespace Utf8 {

namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the valid sequence starting at s[i], or 0 when s[i] starts none.
std::size_t SequenceLength(std::string_view s, std::size_t i, char32_t& code) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = at(i);
  const std::size_t left = s.size() - i;
  if (b0 < 0x80) {
    code = b0;
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (left < 2 || !IsContinuation(at(i + 1))) return 0;
    code = (char32_t(b0 & 0x1F) << 6) | (at(i + 1) & 0x3F);
    return 2;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (left < 3) return 0;
    const unsigned char b1 = at(i + 1);
    const unsigned char lo = b0 == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
    const unsigned char hi = b0 == 0xED ? 0x9F : 0xBF;  // no surrogates
    if (b1 < lo || b1 > hi || !IsContinuation(at(i + 2))) return 0;
    code = (char32_t(b0 & 0x0F) << 12) | (char32_t(b1 & 0x3F) << 6) | (at(i + 2) & 0x3F);
    return 3;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (left < 4) return 0;
    const unsigned char b1 = at(i + 1);
    const unsigned char lo = b0 == 0xF0 ? 0x90 : 0x80;  // no overlong forms
    const unsigned char hi = b0 == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    if (b1 < lo || b1 > hi || !IsContinuation(at(i + 2)) || !IsContinuation(at(i + 3))) return 0;
    code = (char32_t(b0 & 0x07) << 18) | (char32_t(b1 & 0x3F) << 12) |
           (char32_t(at(i + 2) & 0x3F) << 6) | (at(i + 3) & 0x3F);
    return 4;
  }
  return 0;
}

}  // namespace

Text Decode(std::string_view bytes) {
  Text text;
  text.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    char32_t code = 0;
    const std::size_t n = SequenceLength(bytes, i, code);
    if (n == 0) {
      text.push_back({static_cast<unsigned char>(bytes[i]), true});
      ++i;
    } else {
      text.push_back({code, false});
      i += n;
    }
  }
  return text;
}

void Append(std::string& out, Char c) {
  const char32_t u = c.code;
  if (c.stray || u < 0x80) {
    out.push_back(static_cast<char>(static_cast<unsigned char>(u)));
  } else if (u < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (u >> 6)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else if (u < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (u >> 12)));
    out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (u >> 18)));
    out.push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

std::string Encode(const Char* first, const Char* last) {
  std::string out;
  out.reserve(static_cast<std::size_t>(last - first));
  for (; first != last; ++first) Append(out, *first);
  return out;
}

bool IsValid(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    char32_t code = 0;
    const std::size_t n = SequenceLength(bytes, i, code);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string FromLatin1(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char b : bytes) Append(out, {static_cast<unsigned char>(b), false});
  return out;
}

}  // namespace Utf8
