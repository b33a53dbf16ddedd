#include "platform/JournalFiles.h"

#include "platform/SystemIo.h"
#include "platform/WinText.h"

#include <algorithm>

namespace JournalFiles {

namespace {

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::string LastReason() { return WinText::SystemMessage(::GetLastError()); }
std::string InvalidNameReason() { return WinText::SystemMessage(ERROR_INVALID_NAME); }

// The lock covers one byte far beyond any journal's end: Windows locks keep
// others from reading what they cover, and readers must not be kept out.
OVERLAPPED LockPlace() {
  OVERLAPPED place{};
  place.OffsetHigh = 0x40000000;
  return place;
}

bool CreateFolderAndParents(const std::wstring& folder) {
  if (::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) return true;
  if (::GetLastError() != ERROR_PATH_NOT_FOUND) return false;
  const std::size_t cut = folder.find_last_of(L"\\/");
  const bool atDrive = cut == 2 && folder[1] == L':';
  if (cut == std::wstring::npos || cut == 0 || atDrive || !CreateFolderAndParents(folder.substr(0, cut)))
    return false;
  return ::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

bool File::Open(const std::string& path, Mode mode, std::string& reason) {
  Close();
  nameTaken_ = false;
  const auto systemPath = WinText::SystemPath(path);
  if (path.empty() || !systemPath) return reason = InvalidNameReason(), false;
  // Others may open, lock-test and delete the file meanwhile.
  DWORD access = GENERIC_READ;
  if (mode == Mode::CreateNew) access = GENERIC_WRITE;
  if (mode == Mode::Append || mode == Mode::Counter) access |= GENERIC_WRITE;
  const DWORD disposition = mode == Mode::CreateNew ? CREATE_NEW : mode == Mode::Counter ? OPEN_ALWAYS : OPEN_EXISTING;
  // A link is opened itself, not followed, and then refused.
  const HANDLE file =
      ::CreateFileW(systemPath->c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    nameTaken_ = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return reason = WinText::SystemMessage(error), false;
  }
  // The refusal is decided here alone: `reason` may still hold the text of
  // an earlier call, and a file opened fine must not fail on it.
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info);
  const std::uint64_t size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  const char* refused = nullptr;
  if (!known || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
    refused = "not a regular file";
  else if (size > kMaxJournalSize)
    refused = "larger than 256 MiB";
  if (refused) {
    ::CloseHandle(file);
    return reason = refused, false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  size_ = size;
  return true;
}

void File::Close() {
  if (handle_ != -1) ::CloseHandle(Handle(handle_));
  handle_ = -1;
}

bool File::Lock(bool wait) {
  if (handle_ == -1) return false;
  OVERLAPPED place = LockPlace();
  const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  if (::LockFileEx(Handle(handle_), flags, 0, 1, 0, &place)) return true;
  return ::GetLastError() != ERROR_LOCK_VIOLATION && ::GetLastError() != ERROR_IO_PENDING;
}

// Every write goes to the end, as with O_APPEND.
bool File::WriteAll(const std::string& data, std::string& reason) {
  if (data.size() > kMaxJournalSize - std::min(size_, kMaxJournalSize))
    return reason = WinText::SystemMessage(ERROR_FILE_TOO_LARGE), false;
  const LARGE_INTEGER none{};
  if (!::SetFilePointerEx(Handle(handle_), none, nullptr, FILE_END)) return reason = LastReason(), false;
  if (!SystemIo::WriteAll(handle_, data, reason)) return false;
  size_ += data.size();
  return true;
}

bool File::Rewrite(const std::string& data, std::string& reason) {
  const LARGE_INTEGER start{};
  if (!::SetFilePointerEx(Handle(handle_), start, nullptr, FILE_BEGIN) || !::SetEndOfFile(Handle(handle_)))
    return reason = LastReason(), false;
  return SystemIo::WriteAll(handle_, data, reason);
}

bool File::Sync(bool, std::string& reason) {
  if (!::FlushFileBuffers(Handle(handle_))) return reason = LastReason(), false;
  return true;
}

bool File::ReadAll(std::string& data, std::string& reason) {
  data.clear();
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(Handle(handle_), start, nullptr, FILE_BEGIN)) return reason = LastReason(), false;
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(Handle(handle_), &size) && size.QuadPart > 0)
    data.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(size.QuadPart), kMaxJournalSize)));
  char buffer[1 << 16];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(Handle(handle_), buffer, sizeof buffer, &got, nullptr)) return reason = LastReason(), false;
    if (got == 0) return true;
    if (data.size() + got > kMaxJournalSize) return data.clear(), reason = "larger than 256 MiB", false;
    data.append(buffer, got);
  }
}

bool File::ReadTail(std::size_t size, std::string& data, std::string& reason) {
  return SystemIo::ReadTail(handle_, size, data, reason);
}

bool File::Truncate(std::uint64_t size, std::string& reason) {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  if (!::SetFilePointerEx(Handle(handle_), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(Handle(handle_)))
    return reason = LastReason(), false;
  size_ = size;
  return true;
}

bool MakeFolders(const std::string& folder, std::string& reason) {
  const auto systemPath = WinText::SystemPath(folder);
  if (folder.empty() || !systemPath) return reason = InvalidNameReason(), false;
  if (!CreateFolderAndParents(*systemPath)) return reason = LastReason(), false;
  const DWORD attributes = ::GetFileAttributesW(systemPath->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return reason = WinText::SystemMessage(ERROR_DIRECTORY), false;
  return true;
}

// NTFS records a folder's new entries in its own log; there is no folder
// handle to flush.
void SyncFolder(const std::string&) {}

bool Exists(const std::string& path) {
  const auto systemPath = WinText::SystemPath(path);
  return !path.empty() && systemPath && ::GetFileAttributesW(systemPath->c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::uint64_t ProcessId() { return ::GetCurrentProcessId(); }

bool IsPrivateFolder(const std::string&, std::string&) { return true; }

}  // namespace JournalFiles
