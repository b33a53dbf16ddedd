#include "platform/FileSystem.h"

#include "platform/Paths.h"
#include "platform/SystemIo.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/WinText.h"

// windows.h maps DeleteFile to DeleteFileW; this file defines the program's own.
#undef DeleteFile

#include <cstdio>
#include <random>

namespace FileSystem {

using WinText::Narrow;
using WinText::SystemPath;
using WinText::Wide;

namespace {

// Seconds since 1970 (negative before), in the two-second steps the file
// view shows in this build: rounded down, also before 1970.
std::int64_t SecondsSinceEpoch(const FILETIME& time) {
  const auto ticks = static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                               time.dwLowDateTime);
  constexpr std::int64_t kEpochDifference = 116444736000000000LL;  // 1601 to 1970, in 100 ns
  constexpr std::int64_t kTwoSeconds = 20000000LL;
  const std::int64_t sinceEpoch = ticks - kEpochDifference;
  std::int64_t steps = sinceEpoch / kTwoSeconds;
  if (sinceEpoch % kTwoSeconds < 0) --steps;
  return steps * 2;
}

template <typename Visit>
bool Enumerate(const std::string& folder, Visit visit) {
  const auto pattern = SystemPath(Paths::WithTrailingDelimiter(folder, Build::Windows) + "*");
  if (!pattern) return false;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileExW(pattern->c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    const wchar_t* n = data.cFileName;
    if (n[0] == L'.' && (n[1] == L'\0' || (n[1] == L'.' && n[2] == L'\0'))) continue;
    Entry entry;
    entry.name = Narrow(n);
    entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isSymlink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                      data.dwReserved0 == IO_REPARSE_TAG_SYMLINK;
    entry.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                           data.nFileSizeLow);
    entry.modified = SecondsSinceEpoch(data.ftLastWriteTime);
    entry.isHiddenOrSystem = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    if (!visit(std::move(entry))) break;
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return true;
}

}  // namespace

std::string FolderReadError(const std::string& folder) {
  const auto pattern = SystemPath(Paths::WithTrailingDelimiter(folder, Build::Windows) + "*");
  if (!pattern) return WinText::SystemMessage(ERROR_INVALID_NAME);
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileExW(pattern->c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return WinText::SystemMessage(::GetLastError());
  ::FindClose(find);
  return {};
}

namespace {

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

RenameResult MoveOnce(const std::wstring& from, const std::wstring& to) {
  // Without MOVEFILE_REPLACE_EXISTING the system refuses an existing target.
  if (::MoveFileExW(from.c_str(), to.c_str(), 0)) return RenameResult::Renamed;
  const DWORD error = ::GetLastError();
  return (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) ? RenameResult::TargetExists
                                                                      : RenameResult::Failed;
}

bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

}  // namespace

bool ListingHoldsExactly(const std::string& folder, const std::string& name) {
  bool found = false;
  const bool read = Enumerate(folder, [&](Entry&& entry) {
    found = entry.name == name;
    return !found;
  });
  return found || !read;
}

bool ReadFolderMatching(const std::string& folder, const std::function<bool(std::string_view)>& wanted,
                        std::vector<Entry>& entries) {
  entries.clear();
  return Enumerate(folder, [&](Entry&& entry) {
    if (!wanted || wanted(entry.name)) entries.push_back(std::move(entry));
    return true;
  });
}

bool ReadFolder(const std::string& folder, std::vector<Entry>& entries) {
  return ReadFolderMatching(folder, nullptr, entries);
}

bool ReadFolderKinds(const std::string& folder, std::vector<Entry>& entries) {
  return ReadFolderMatching(folder, nullptr, entries);
}

// The listing gives every entry's size and time stamp here at no extra cost.
bool ReadFolderKinds(const std::string& folder, const std::function<bool(std::string_view)>& wanted,
                     std::vector<Entry>& entries) {
  return ReadFolderMatching(folder, wanted, entries);
}

bool ExamineEntry(const std::string& folder, Entry& entry) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  const auto path = SystemPath(Paths::Join(folder, entry.name, Build::Windows));
  if (!path || !::GetFileAttributesExW(path->c_str(), GetFileExInfoStandard, &data)) return false;
  entry.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  entry.modified = SecondsSinceEpoch(data.ftLastWriteTime);
  entry.examined = true;
  return true;
}

bool IsExistingFolder(const std::string& path) {
  const auto systemPath = SystemPath(path);
  if (path.empty() || !systemPath) return false;
  const DWORD attributes = ::GetFileAttributesW(systemPath->c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsKernelPseudoFolder(const std::string&) { return false; }

std::string WorkingFolder() {
  const DWORD length = ::GetCurrentDirectoryW(0, nullptr);
  if (length == 0) return {};
  std::wstring folder(length, L'\0');
  const DWORD written = ::GetCurrentDirectoryW(length, folder.data());
  if (written == 0 || written >= length) return {};
  return Narrow(folder.c_str(), static_cast<int>(written));
}

bool FolderHasSubfolders(const std::string& folder) {
  bool found = false;
  Enumerate(folder, [&](Entry&& entry) {
    found = entry.isFolder;
    return !found;
  });
  return found;
}

namespace {

// A change of letter case alone: move the entry aside under a unique name,
// then give it the new name; put the old name back (tried once more) if the
// second step fails. `notice` hears the temporary name before the first step;
// `stranded` gets it when the entry could be given neither name.
RenameResult RenameThroughTemporary(const std::string& folder, const std::wstring& from, const std::wstring& to,
                                    const std::function<bool(const std::string&)>& notice,
                                    std::string& stranded) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  std::string temporaryName;
  std::wstring temporary;
  RenameResult moved = RenameResult::TargetExists;
  for (int attempt = 0; attempt < 20 && moved == RenameResult::TargetExists; ++attempt) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, ".quillon-%lu-%016llx.tmp", static_cast<unsigned long>(::GetCurrentProcessId()),
                  static_cast<unsigned long long>(random()));
    temporaryName = buffer;
    temporary = Wide(Paths::Join(folder, temporaryName, Build::Windows));
    if (Exists(temporary)) continue;
    if (notice && !notice(temporaryName)) return RenameResult::Failed;
    moved = MoveOnce(from, temporary);
  }
  if (moved != RenameResult::Renamed) return RenameResult::Failed;
  const RenameResult result = MoveOnce(temporary, to);
  if (result == RenameResult::Renamed) return result;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (MoveOnce(temporary, from) == RenameResult::Renamed) return result;
  }
  stranded = temporaryName;
  return RenameResult::Failed;
}

RenameResult RenameEntry(const std::string& folder, const std::string& oldName, const std::string& newName,
                         const std::function<bool(const std::string&)>& notice, std::string& stranded) {
  if (!Paths::IsPlainName(oldName, Build::Windows) || !Paths::IsPlainName(newName, Build::Windows)) {
    return RenameResult::Failed;
  }
  const auto systemFrom = SystemPath(Paths::Join(folder, oldName, Build::Windows));
  const auto systemTo = SystemPath(Paths::Join(folder, newName, Build::Windows));
  if (!systemFrom || !systemTo) return RenameResult::Failed;
  const std::wstring& from = *systemFrom;
  const std::wstring& to = *systemTo;
  if (oldName == newName) return Exists(from) ? RenameResult::Renamed : RenameResult::Failed;
  // A target that is another name of the same file (a hard link) is taken
  // all the same: wine's move reports success onto it, and then one of the
  // two names is gone or nothing changed.
  const bool caseOnly = SameNameIgnoringCase(from, to);
  if (!caseOnly && Exists(to)) return RenameResult::TargetExists;

  const RenameResult result = MoveOnce(from, to);
  if (result == RenameResult::Failed || !caseOnly) return result;
  // A change of letter case only: the target found may be the entry itself,
  // and a rename reported done is not taken on trust (some systems report it
  // done without changing the name). The listing tells.
  if (ListingHoldsExactly(folder, newName)) return result;
  return RenameThroughTemporary(folder, from, to, notice, stranded);
}

}  // namespace

RenameResult RenameNoReplace(const std::string& folder, const std::string& oldName,
                             const std::string& newName) {
  std::string stranded;
  return RenameEntry(folder, oldName, newName, nullptr, stranded);
}

RenameSession::~RenameSession() = default;

RenameResult RenameSession::Rename(const std::string& folder, const std::string& oldName,
                                   const std::string& newName) {
  stranded_.clear();
  ::SetLastError(ERROR_SUCCESS);
  return RenameEntry(folder, oldName, newName, temporaryNotice_, stranded_);
}

bool VisitNames(const std::string& folder, const std::function<bool(std::string_view)>& visit) {
  return Enumerate(folder, [&visit](Entry&& entry) { return visit(entry.name); });
}

bool NameExists(const std::string& folder, const std::string& name) {
  const auto path = SystemPath(Paths::Join(folder, name, Build::Windows));
  return path && Exists(*path);
}

// Every volume Windows mounts is taken to ignore letter case, as NTFS and the
// FAT family do by default.
bool IgnoresLetterCase(const std::string&, const std::string&) { return true; }

std::string RenameFailureReason(const std::string& folder, const std::string& oldName, const std::string& newName,
                                RenameResult result) {
  const DWORD error = ::GetLastError();
  if (result == RenameResult::TargetExists || error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
    return "name taken";
  if (!NameExists(folder, oldName)) return "no longer exists";
  switch (error) {
    case ERROR_ACCESS_DENIED: return "permission denied";
    case ERROR_WRITE_PROTECT: return "read-only file system";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "no longer exists";
    case ERROR_SUCCESS: break;
    default: return WinText::SystemMessage(error);
  }
  if (NameExists(folder, newName)) return "name taken";
  return "the system refused the rename";
}

bool DeleteFile(const std::string& path) {
  const auto systemPath = SystemPath(path);
  return !path.empty() && systemPath && ::DeleteFileW(systemPath->c_str()) != 0;
}

// Renames here never claim a name first: nothing is left behind to remove.
bool IsClaimUnchanged(const std::string&, const ClaimIdentity&) { return false; }
bool RemoveClaimIfUnchanged(const std::string&, const ClaimIdentity&) { return false; }
bool IsLeftoverClaim(const std::string&, const std::string&, const std::string&, std::uint64_t, const ClaimIdentity*,
                     std::string* whyNot) {
  if (whyNot) whyNot->clear();
  return false;
}
bool RemoveLeftoverClaim(const std::string&, const std::string&, const std::string&, std::uint64_t,
                         const ClaimIdentity*) {
  return false;
}

// A folder reads as empty, as in the Linux build (it has no tag to give).
TailResult ReadFileTail(const std::string& path, std::size_t count, std::string& bytes) {
  bytes.clear();
  const auto systemPath = SystemPath(path);
  if (!systemPath) return TailResult::CannotOpen;
  if (IsExistingFolder(path)) return TailResult::Read;
  HANDLE file = ::CreateFileW(systemPath->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return TailResult::CannotOpen;
  std::string reason;
  const TailResult result = ::GetFileType(file) != FILE_TYPE_DISK || count == 0 ||
                                    SystemIo::ReadTail(reinterpret_cast<std::intptr_t>(file), count, bytes, reason)
                                ? TailResult::Read
                                : TailResult::CannotOpen;
  ::CloseHandle(file);
  return result;
}

}  // namespace FileSystem
