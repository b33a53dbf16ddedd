#include "renamelist/DroppedItems.h"

#include <cctype>
#include <string>

#include "platform/Paths.h"

namespace DroppedItems {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

// The path of a local file: URL, still percent-encoded; nullopt for any other.
std::optional<std::string_view> LocalPath(std::string_view url) {
  if (!StartsWithNoCase(url, "file:")) return std::nullopt;
  url.remove_prefix(5);
  if (url.starts_with("//")) {
    url.remove_prefix(2);
    const std::size_t slash = url.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view host = url.substr(0, slash);
    if (!host.empty() && !(host.size() == 9 && StartsWithNoCase(host, "localhost"))) return std::nullopt;
    url.remove_prefix(slash);
  }
  if (!url.starts_with('/') || url.find_first_of("?#") != std::string_view::npos) return std::nullopt;
  return url;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes += text[i];
      continue;
    }
    const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  if (bytes.find('\0') != std::string::npos) return std::nullopt;
  return bytes;
}

// "/C:/Music/a.mp3" as the Windows build writes it: "C:\Music\a.mp3".
std::string SystemForm(std::string path, Build build) {
  if (build != Build::Windows) return path;
  if (path.size() >= 3 && path[2] == ':') path.erase(0, 1);
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

}  // namespace

std::optional<std::vector<RenameListEntry>> FromUriList(std::string_view uriList, Build build) {
  std::vector<RenameListEntry> items;
  bool anyUrl = false;
  while (!uriList.empty()) {
    const std::size_t end = uriList.find('\n');
    std::string_view line = uriList.substr(0, end);
    uriList.remove_prefix(end == std::string_view::npos ? uriList.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line.starts_with('#')) continue;

    const std::optional<std::string_view> encoded = LocalPath(line);
    if (!encoded) return std::nullopt;
    const std::optional<std::string> decoded = PercentDecoded(*encoded);
    if (!decoded) return std::nullopt;
    anyUrl = true;
    const std::string path = Paths::WithoutTrailingDelimiter(SystemForm(*decoded, build), build);
    const std::string name = Paths::LastPart(path, build);
    if (name.empty()) continue;  // a root
    if (!Paths::IsPlainName(name, build)) return std::nullopt;
    items.push_back({name, Paths::WithoutTrailingDelimiter(Paths::ParentPart(path, build), build)});
  }
  if (!anyUrl) return std::nullopt;
  return items;
}

}  // namespace DroppedItems
