// A libFuzzer target over the name rules. The input bytes choose the rule,
// its numbers and flags, and the texts it works on; every result must hold
// the rules' promises, or the target aborts:
//   - valid UTF-8 in gives valid UTF-8 out;
//   - a name the file-name test passes holds no path delimiter;
//   - the rules that only rearrange characters keep their count;
//   - base name + extension give the name back, decoding is lossless.
// Built with -fsanitize=fuzzer it is fuzzed; with FuzzReplayMain.cpp it
// replays the checked-in corpus in the ordinary test suite.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "rename/StringH.h"
#include "rename/Utf8.h"

namespace {

// Stays active in Release builds, where assert() is compiled out.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "name rules fuzz: check failed: %s (line %d)\n", #condition, \
                   __LINE__);                                                            \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

// Reads the input front to back; past its end every value is 0.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  int Int16() { return static_cast<std::int16_t>(Byte() | (Byte() << 8)); }
  int Int32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t(Byte()) << (8 * i);
    return static_cast<std::int32_t>(value);
  }
  // The rest of the input, used up.
  std::string_view Rest() {
    const std::string_view rest(reinterpret_cast<const char*>(data_) + at_, size_ - at_);
    at_ = size_;
    return rest;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The texts of a rule, separated by zero bytes (no name holds one).
std::vector<std::string> SplitTexts(std::string_view rest, std::size_t count) {
  std::vector<std::string> texts;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    const std::size_t zero = rest.find('\0');
    texts.emplace_back(rest.substr(0, zero));
    rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
  }
  texts.emplace_back(rest);
  return texts;
}

bool AllValid(const std::vector<std::string>& texts) {
  for (const std::string& text : texts)
    if (!Utf8::IsValid(text)) return false;
  return true;
}

std::size_t Characters(std::string_view text) { return Utf8::Decode(text).size(); }

void CheckResult(const std::vector<std::string>& inputs, const std::string& result) {
  if (AllValid(inputs)) FUZZ_CHECK(Utf8::IsValid(result));
  if (StringH::IsValidFileName(result)) {
    FUZZ_CHECK(!result.empty());
    FUZZ_CHECK(result.find('/') == std::string::npos);
  }
}

void CheckSplitAndDecoding(const std::string& name) {
  for (const Build build : {Build::Linux, Build::Windows}) {
    const std::string extension = StringH::ExtensionOf(name, build);
    FUZZ_CHECK(extension.empty() || extension.front() == '.');
    FUZZ_CHECK(StringH::StripExtension(name, build) + extension == name);
  }
  const Utf8::Text chars = Utf8::Decode(name);
  FUZZ_CHECK(Utf8::Encode(chars) == name);
  bool anyStray = false;
  for (const Utf8::Char& c : chars) anyStray = anyStray || c.stray;
  FUZZ_CHECK(Utf8::IsValid(name) == !anyStray);
}

// ID3 names are read from a file's last 128 bytes: one scratch file per process.
const std::string& TagFile() {
  static const std::string path = [] {
    char templ[] = "/tmp/quillon-fuzz-tag-XXXXXX";
    const int fd = ::mkstemp(templ);
    FUZZ_CHECK(fd >= 0);
    ::close(fd);
    std::atexit([] { ::unlink(TagFile().c_str()); });
    return std::string(templ);
  }();
  return path;
}

std::string NameFromTag(std::string_view tail, const std::string& format) {
  std::FILE* file = std::fopen(TagFile().c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(std::fwrite(tail.data(), 1, tail.size(), file) == tail.size());
  std::fclose(file);
  return StringH::MakeNameFromID3Tag(TagFile(), format);
}

constexpr std::size_t kTagBytes = 128;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  const int rule = in.Byte() % 10;
  const std::uint8_t flags = in.Byte();
  const bool flag1 = flags & 1, flag2 = flags & 2;

  switch (rule) {
    case 0: {
      const int position = in.Int16();
      const auto t = SplitTexts(in.Rest(), 2);
      const std::string result = StringH::InsertText(t[0], position, t[1]);
      CheckResult(t, result);
      if (AllValid(t)) FUZZ_CHECK(Characters(result) == Characters(t[0]) + Characters(t[1]));
      break;
    }
    case 1: {
      const auto t = SplitTexts(in.Rest(), 3);
      const std::string result = StringH::ReplaceText(t[0], t[1], t[2], flag1);
      CheckResult(t, result);
      if (flag1 && t[0].find(t[1]) == std::string::npos) FUZZ_CHECK(result == t[0]);
      break;
    }
    case 2: {
      const auto t = SplitTexts(in.Rest(), 4);
      const std::string number = StringH::PadWithZeros(t[0], t[1]);
      FUZZ_CHECK(number.size() >= t[0].size() && number.compare(number.size() - t[0].size(), t[0].size(), t[0]) == 0);
      CheckResult(t, StringH::ComposeNumberedName(number, t[2], t[3]));
      break;
    }
    case 3: {
      const int mode = static_cast<std::int8_t>(in.Byte());
      const auto t = SplitTexts(in.Rest(), 1);
      const std::string result = StringH::ChangeCase(t[0], mode);
      CheckResult(t, result);
      FUZZ_CHECK(Characters(result) == Characters(t[0]));
      break;
    }
    case 4: {
      const int amount = in.Int16();
      const auto t = SplitTexts(in.Rest(), 1);
      const std::string result = StringH::TrimName(t[0], amount, flag1, flag2);
      CheckResult(t, result);
      FUZZ_CHECK(result.size() <= t[0].size());
      break;
    }
    case 5: {
      const auto t = SplitTexts(in.Rest(), 2);
      CheckResult(t, StringH::ChangeExtension(t[0], t[1]));
      break;
    }
    case 6: {
      const int low = in.Int32(), high = in.Int32();
      const auto t = SplitTexts(in.Rest(), 2);
      CheckResult(t, StringH::AddAroundCharacters(t[0], low, high, t[1], flag1));
      break;
    }
    case 7: {
      const auto t = SplitTexts(in.Rest(), 1);
      CheckSplitAndDecoding(t[0]);
      for (const bool toLower : {false, true}) CheckResult(t, StringH::ConvertCase(t[0], toLower));
      break;
    }
    case 8: {
      const std::string_view rest = in.Rest();
      const std::string_view tail = rest.substr(0, kTagBytes);
      const std::vector<std::string> format = {std::string(rest.substr(tail.size()))};
      CheckResult(format, NameFromTag(tail, format[0]));
      break;
    }
    default: {
      const int key = in.Int32();
      const int filtered = StringH::FilterDigitKey(key);
      FUZZ_CHECK(filtered == 0 || filtered == key);
      FUZZ_CHECK(StringH::IsWordBreak(StringH::kNoCharacter));
      // Word letters all lie in Latin-1; no other code is one.
      if (key < 0 || key > 0xFF) FUZZ_CHECK(StringH::IsWordBreak(key));
      break;
    }
  }
  return 0;
}
