#include "platform/SystemIo.h"

#include "platform/WinText.h"

#include <algorithm>

namespace SystemIo {

namespace {

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

bool WriteAll(std::intptr_t handle, std::string_view data, std::string& reason) {
  std::size_t done = 0;
  while (done < data.size()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(Handle(handle), data.data() + done, chunk, &written, nullptr))
      return reason = WinText::SystemMessage(::GetLastError()), false;
    if (written == 0) return reason = WinText::SystemMessage(ERROR_WRITE_FAULT), false;
    done += written;
  }
  return true;
}

bool ReadTail(std::intptr_t handle, std::size_t count, std::string& data, std::string& reason) {
  data.clear();
  LARGE_INTEGER fileSize{};
  if (!::GetFileSizeEx(Handle(handle), &fileSize)) return reason = WinText::SystemMessage(::GetLastError()), false;
  const auto total = static_cast<std::uint64_t>(fileSize.QuadPart);
  const std::size_t wanted = total < count ? static_cast<std::size_t>(total) : count;
  LARGE_INTEGER start{};
  start.QuadPart = static_cast<LONGLONG>(total - wanted);
  if (!::SetFilePointerEx(Handle(handle), start, nullptr, FILE_BEGIN))
    return reason = WinText::SystemMessage(::GetLastError()), false;
  data.resize(wanted);
  std::size_t got = 0;
  while (got < wanted) {
    DWORD n = 0;
    if (!::ReadFile(Handle(handle), data.data() + got, static_cast<DWORD>(wanted - got), &n, nullptr))
      return data.clear(), reason = WinText::SystemMessage(::GetLastError()), false;
    if (n == 0) break;
    got += n;
  }
  data.resize(got);
  return true;
}

}  // namespace SystemIo
