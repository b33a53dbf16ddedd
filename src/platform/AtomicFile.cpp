#include "platform/AtomicFile.h"

#include <algorithm>

namespace {

// Small pieces are gathered so that each write call carries up to 1 MiB.
template <typename WriteAllOf>
bool WriteGathered(const std::vector<std::string_view>& pieces, WriteAllOf writeAll) {
  constexpr std::size_t kChunk = std::size_t(1) << 20;
  std::string buffer;
  buffer.reserve(kChunk);
  for (const std::string_view piece : pieces) {
    if (buffer.size() + piece.size() > kChunk) {
      if (!buffer.empty() && !writeAll(std::string_view(buffer))) return false;
      buffer.clear();
    }
    if (piece.size() >= kChunk) {
      if (!writeAll(piece)) return false;
    } else {
      buffer += piece;
    }
  }
  return buffer.empty() || writeAll(std::string_view(buffer));
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error) {
  return WriteFileAtomically(path, std::vector<std::string_view>{content}, error);
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces, std::string& error) {
  return WriteFileAtomically(path, pieces, error, FileKind::Shared);
}

#ifdef _WIN32

#include "platform/SystemIo.h"
#include "platform/WinText.h"

#include <string>

using WinText::SystemMessage;
using WinText::Wide;

// The new file takes the access list of its folder; the program folder's and
// the user's profile are the user's own. A read-only file is not replaced:
// Windows refuses the move onto it, and wine, which does not, is told here.
bool WriteFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces, std::string& error,
                         FileKind) {
  std::wstring target = Wide(path);
  const DWORD existing = GetFileAttributesW(target.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0) {
    error = SystemMessage(ERROR_ACCESS_DENIED);
    return false;
  }
  std::wstring temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = target + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(attempt);
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    error = SystemMessage(GetLastError());
    return false;
  }
  std::string reason;
  bool ok = WriteGathered(pieces, [file, &reason](std::string_view content) {
    return SystemIo::WriteAll(reinterpret_cast<std::intptr_t>(file), content, reason);
  });
  if (ok) ok = FlushFileBuffers(file) != 0;
  DWORD code = ok ? 0 : GetLastError();
  CloseHandle(file);
  if (ok && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    code = GetLastError();
  }
  if (!ok) {
    DeleteFileW(temp.c_str());
    error = SystemMessage(code);
  }
  return ok;
}

// The Windows build writes the settings through the system's profile service.
void RemoveInterruptedWrites(const std::string&) {}

#else

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/SystemIo.h"

namespace {

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Where the new content goes: a symbolic link (a settings file kept in a
// dotfiles folder, say) stays a link and its target gets the content, also
// when that target does not exist yet.
std::string ResolveTarget(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    if (char* real = ::realpath(current.c_str(), nullptr)) {
      std::string resolved = real;
      std::free(real);
      return resolved;
    }
    // A dangling link: follow it by hand to the name it points at.
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) break;
    link.resize(static_cast<std::size_t>(n));
    current = link.front() == '/' ? link : FolderOf(current) + "/" + link;
  }
  return current;
}

// Creates a new, empty file beside `target` that no one else has opened; the
// process umask applies to its permission bits (`mode`) as to any new file. Its name,
// ".<name>.tmp-<pid>-<random>", tells which process is writing it, so that
// what a killed process left can be told from another process's write.
int CreateTemporary(const std::string& target, mode_t mode, std::string& tempPath) {
  thread_local std::mt19937_64 generator{std::random_device{}() ^ static_cast<unsigned long long>(::getpid())};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  const std::size_t slash = target.find_last_of('/');
  const std::string prefix = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix;
    for (int i = 0; i < 8; ++i) suffix += kLetters[generator() % (sizeof kLetters - 1)];
    tempPath = prefix + "." + base + ".tmp-" + std::to_string(::getpid()) + "-" + suffix;
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces, std::string& error,
                         FileKind kind) {
  const bool shared = kind == FileKind::Shared;
  const std::string target = shared ? ResolveTarget(path) : path;
  // Only a regular file is ever replaced: a pipe or a device in the way (a
  // settings file linked to /dev/null, say) stays what it is. A private
  // file's name is replaced whatever link stands there.
  struct stat existing;
  const bool found = (shared ? ::stat(target.c_str(), &existing) : ::lstat(target.c_str(), &existing)) == 0;
  if (found && !S_ISREG(existing.st_mode) && (shared || !S_ISLNK(existing.st_mode))) {
    error = S_ISDIR(existing.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
    return false;
  }
  std::string tempPath;
  int fd = CreateTemporary(target, shared ? 0666 : 0600, tempPath);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }

  bool ok = true;
  // The replacement keeps the permission bits (and, where allowed, the owner)
  // of the file it replaces.
  struct stat old;
  if (shared && ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    if (ok && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
      if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not allowed for an ordinary user; the file is theirs from now on.
      }
    }
  }
  std::string reason;
  if (ok) ok = WriteGathered(pieces, [fd, &reason](std::string_view content) {
    return SystemIo::WriteAll(fd, content, reason);
  });
  if (ok) ok = ::fsync(fd) == 0;
  int savedErrno = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && ::rename(tempPath.c_str(), target.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    ::unlink(tempPath.c_str());
    error = std::strerror(savedErrno);
    return false;
  }

  // Make the rename itself durable; a folder that cannot be opened or synced
  // does not undo a replacement that has already happened.
  int folderFd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
}

namespace {

// The process id in a temporary name "<prefix><pid>-<random>"; 0 when the
// name is not of that form.
pid_t WriterOf(std::string_view name, std::string_view prefix) {
  if (name.substr(0, prefix.size()) != prefix) return 0;
  name.remove_prefix(prefix.size());
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 10 || name.size() - dash - 1 != 8) return 0;
  long long pid = 0;
  for (char c : name.substr(0, dash)) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

}  // namespace

void RemoveInterruptedWrites(const std::string& path) {
  const std::string target = ResolveTarget(path);
  const std::size_t slash = target.find_last_of('/');
  const std::string prefix = "." + (slash == std::string::npos ? target : target.substr(slash + 1)) + ".tmp-";
  DIR* dir = ::opendir(FolderOf(target).c_str());
  if (!dir) return;
  while (const dirent* d = ::readdir(dir)) {
    const pid_t writer = WriterOf(d->d_name, prefix);
    // A writer that still runs (another copy of the program) is left to finish.
    if (writer == 0 || writer == ::getpid() || ::kill(writer, 0) == 0 || errno != ESRCH) continue;
    struct stat st;
    if (::fstatat(::dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid == ::geteuid()) {
      ::unlinkat(::dirfd(dir), d->d_name, 0);
    }
  }
  ::closedir(dir);
}

#endif
