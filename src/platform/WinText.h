#pragma once

// Windows build only: names are UTF-8 in the program and UTF-16 at the
// system's calls; these are the crossings, and the system's error texts.

#include <windows.h>

#include <cwchar>
#include <optional>
#include <string>

namespace WinText {

inline std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

// The path for a system call; none when it holds a zero byte, which the
// system would take as the path's end, or bytes that are not UTF-8, which
// would become replacement marks: either way another file would be named.
inline std::optional<std::wstring> SystemPath(const std::string& utf8) {
  if (utf8.find('\0') != std::string::npos) return std::nullopt;
  if (!utf8.empty() && ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                             static_cast<int>(utf8.size()), nullptr, 0) == 0)
    return std::nullopt;
  return Wide(utf8);
}

// `length` characters of text, or up to its terminating zero when negative.
inline std::string Narrow(const wchar_t* text, int length = -1) {
  if (length < 0) length = static_cast<int>(std::wcslen(text));
  if (length == 0) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), n, nullptr, nullptr);
  return narrow;
}

inline std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n ? Narrow(buffer, static_cast<int>(n)) : "Error " + std::to_string(code);
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace WinText
