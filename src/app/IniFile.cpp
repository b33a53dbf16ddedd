#include "app/IniFile.h"

#include <climits>
#include <cstdint>
#include <string_view>

namespace {

// Decimal integer, or "0x"/"0X" followed by hexadecimal digits when the text
// is longer than two characters. Hexadecimal values up to 0xFFFFFFFF are
// taken as 32-bit patterns (0xFFFFFFFF is -1).
bool ParseInteger(std::string_view text, int& result) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::uint64_t value = 0;
    for (char c : text.substr(2)) {
      int digit;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else return false;
      value = value * 16 + static_cast<std::uint64_t>(digit);
      if (value > 0xFFFFFFFFu) return false;
    }
    result = static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
    return true;
  }
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return false;
  result = static_cast<int>(value);
  return true;
}

}  // namespace

#ifdef _WIN32

// The Windows build goes through the system's private profile service, which
// reads and changes one key in place.

#include "platform/WinText.h"

using WinText::Narrow;
using WinText::SystemMessage;
using WinText::Wide;

namespace {

// Values are read up to 2047 characters. A key that is missing gives the
// marker default; a key present with an empty value gives the empty text.
bool ReadValue(const std::string& fileName, const std::string& section, const std::string& key,
               std::string& value) {
  static const wchar_t kMissing[] = L"\x1F<missing>\x1F";
  const auto systemFileName = WinText::SystemPath(fileName);
  if (!systemFileName) return false;
  wchar_t buffer[2048];
  DWORD n = GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), kMissing, buffer, 2048,
                                     systemFileName->c_str());
  if (std::wstring_view(buffer, n) == kMissing) return false;
  value = Narrow(buffer, static_cast<int>(n));
  return true;
}

}  // namespace

namespace {

// The profile service writes a new file in the ANSI code page, which loses
// every character outside it, unless the file starts with the UTF-16
// byte-order mark: a missing file is created with the mark alone. A file that
// exists is written in its own form.
bool CreateAsUtf16(const std::wstring& fileName) {
  HANDLE file = CreateFileW(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
  static const unsigned char kByteOrderMark[] = {0xFF, 0xFE};
  DWORD written = 0;
  const bool ok = WriteFile(file, kByteOrderMark, sizeof kByteOrderMark, &written, nullptr) &&
                  written == sizeof kByteOrderMark;
  CloseHandle(file);
  if (!ok) DeleteFileW(fileName.c_str());
  return ok;
}

// The value is already cut at its first line break.
bool WriteValue(const std::string& fileName, const std::string& section, const std::string& key,
                const std::string& stored, std::string& error) {
  const auto systemFileName = WinText::SystemPath(fileName);
  if (!systemFileName) {
    error = SystemMessage(ERROR_INVALID_NAME);
    return false;
  }
  // The owner made the file read-only: it is read, never written. Windows
  // refuses the write itself; wine's profile service replaces the file.
  const DWORD attributes = GetFileAttributesW(systemFileName->c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    error = SystemMessage(ERROR_ACCESS_DENIED);
    return false;
  }
  if (CreateAsUtf16(*systemFileName) &&
      WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(stored).c_str(),
                                 systemFileName->c_str())) {
    return true;
  }
  error = SystemMessage(GetLastError());
  return false;
}

}  // namespace

#else

#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The Linux build reads and rewrites the file itself. Each access loads the
// whole file, works on it in memory and writes the whole file back, also after
// a read. What is written back: every section with its header, then its lines,
// then one empty line; comment lines (";") and blank lines are dropped, every
// other line is kept as it was.

namespace {

struct IniLine {
  std::string key;   // trimmed key name; empty for a line without "="
  std::string text;  // the whole line as written back
  bool isKey = false;
};

struct IniSection {
  std::string name;
  bool hasHeader = true;  // false only for lines standing before the first header
  std::vector<IniLine> lines;
};

using IniDocument = std::vector<IniSection>;

// ReadOnly: loaded, but the file is not to be written (its owner made it
// read-only, or the volume is).
enum class LoadResult { Loaded, ReadOnly, Missing, Unreadable };

// A settings file is a few hundred bytes; anything far larger is not one.
constexpr std::size_t kMaxFileSize = 1024 * 1024;

std::string_view Trim(std::string_view text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Only a regular file of at most kMaxFileSize bytes is read. Anything else
// in its place (a pipe, a device, a huge file) is never opened in a way that
// could block, and counts as unreadable, so that it is left alone.
LoadResult LoadText(const std::string& fileName, std::string& text, std::string& error) {
  text.clear();
  struct stat st;
  if (::stat(fileName.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return LoadResult::Missing;
    error = std::strerror(errno);
    return LoadResult::Unreadable;
  }
  if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
    return LoadResult::Unreadable;
  }
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return LoadResult::Unreadable;
  }
  // Checked again on what was opened: the entry may have changed since.
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!regular || static_cast<std::size_t>(st.st_size) > kMaxFileSize) {
    error = regular ? std::strerror(EFBIG) : "Not a regular file";
    ::close(fd);
    return LoadResult::Unreadable;
  }
  char buffer[8192];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      ::close(fd);
      return LoadResult::Unreadable;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kMaxFileSize) {  // grew while being read
      error = std::strerror(EFBIG);
      ::close(fd);
      return LoadResult::Unreadable;
    }
  }
  ::close(fd);
  if (::faccessat(AT_FDCWD, fileName.c_str(), W_OK, AT_EACCESS) != 0) {
    error = std::strerror(errno);
    return LoadResult::ReadOnly;
  }
  return LoadResult::Loaded;
}

IniDocument Parse(std::string_view text) {
  IniDocument document;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') continue;
    if (trimmed.front() == '[') {
      std::size_t close = trimmed.find(']');
      if (close != std::string_view::npos) {
        document.push_back({std::string(Trim(trimmed.substr(1, close - 1))), true, {}});
        continue;
      }
    }
    if (document.empty()) document.push_back({std::string(), false, {}});
    IniLine entry;
    entry.text = std::string(line);
    std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      entry.isKey = true;
      entry.key = std::string(Trim(line.substr(0, equals)));
    }
    document.back().lines.push_back(std::move(entry));
  }
  return document;
}

std::string Serialize(const IniDocument& document) {
  std::string text;
  for (const IniSection& section : document) {
    if (section.hasHeader) text += "[" + section.name + "]\n";
    for (const IniLine& line : section.lines) text += line.text + "\n";
    text += "\n";
  }
  return text;
}

IniSection* FindSection(IniDocument& document, std::string_view name) {
  for (IniSection& section : document)
    if (section.hasHeader && SameName(section.name, name)) return &section;
  return nullptr;
}

IniLine* FindKey(IniSection& section, std::string_view key) {
  for (IniLine& line : section.lines)
    if (line.isKey && SameName(line.key, key)) return &line;
  return nullptr;
}

std::string ValueOf(const IniLine& line) { return line.text.substr(line.text.find('=') + 1); }

// A missing or unreadable file gives no value; the file is written back
// unless it exists but could not be read or is read-only (then it is left as
// it is).
bool ReadValue(const std::string& fileName, const std::string& section, const std::string& key,
               std::string& value) {
  std::string text, error;
  LoadResult loaded = LoadText(fileName, text, error);
  if (loaded == LoadResult::Unreadable) return false;
  IniDocument document = Parse(text);
  bool found = false;
  if (IniSection* s = FindSection(document, section)) {
    if (IniLine* line = FindKey(*s, key)) {
      value = ValueOf(*line);
      found = true;
    }
  }
  // Reads never fail visibly: a file that cannot be written back still gives
  // the value read.
  if (loaded != LoadResult::ReadOnly) WriteFileAtomically(fileName, Serialize(document), error);
  return found;
}

}  // namespace

namespace {

// The value is already cut at its first line break.
bool WriteValue(const std::string& fileName, const std::string& section, const std::string& key,
                const std::string& stored, std::string& error) {
  std::string text;
  const LoadResult loaded = LoadText(fileName, text, error);
  if (loaded == LoadResult::Unreadable || loaded == LoadResult::ReadOnly) return false;
  IniDocument document = Parse(text);
  IniSection* s = FindSection(document, section);
  if (!s) {
    document.push_back({section, true, {}});
    s = &document.back();
  }
  if (IniLine* line = FindKey(*s, key)) {
    line->text = line->key + "=" + stored;
  } else {
    s->lines.push_back({key, key + "=" + stored, true});
  }
  return WriteFileAtomically(fileName, Serialize(document), error);
}

}  // namespace

#endif

std::string ReadIniString(const std::string& fileName, const std::string& section,
                          const std::string& key, const std::string& defaultValue) {
  std::string value;
  return ReadValue(fileName, section, key, value) ? value : defaultValue;
}

int ReadIniInteger(const std::string& fileName, const std::string& section, const std::string& key,
                   int defaultValue) {
  std::string text;
  int value = 0;
  if (ReadValue(fileName, section, key, text) && ParseInteger(text, value)) return value;
  return defaultValue;
}

bool WriteIniString(const std::string& fileName, const std::string& section,
                    const std::string& key, const std::string& value, std::string& error) {
  // A line break would end the line and turn the rest into a line of its own
  // (another key, even a section header); the value is stored up to it.
  return WriteValue(fileName, section, key, value.substr(0, value.find_first_of("\r\n")), error);
}

bool WriteIniInteger(const std::string& fileName, const std::string& section,
                     const std::string& key, int value, std::string& error) {
  return WriteIniString(fileName, section, key, std::to_string(value), error);
}
