#include "platform/ProgramFolder.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/WinText.h"
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
constexpr char kDelimiter = '\\';

std::string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return WinText::Narrow(buffer.data(), static_cast<int>(n));
    if (buffer.size() >= 32768) return {};  // longer than any path the system allows
    buffer.resize(buffer.size() * 2);
  }
}
#else
constexpr char kDelimiter = '/';

std::string ExecutablePath() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) return buffer.substr(0, static_cast<std::size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}
#endif

}  // namespace

std::string ProgramFolder() {
  const std::string path = ExecutablePath();
  const std::size_t last = path.rfind(kDelimiter);
  if (last == std::string::npos) return {};
  return path.substr(0, last + 1);
}
