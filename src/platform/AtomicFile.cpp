#include "platform/AtomicFile.h"

#ifdef _WIN32

#include "platform/WinText.h"

#include <algorithm>
#include <string>

using WinText::SystemMessage;
using WinText::Wide;

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error) {
  std::wstring target = Wide(path);
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
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < content.size()) {
    DWORD written = 0;
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 30));
    ok = WriteFile(file, content.data() + done, chunk, &written, nullptr) != 0;
    done += written;
  }
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

#else

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Where the new content goes: a symbolic link (a settings file kept in a
// dotfiles folder, say) stays a link and its target gets the content.
std::string ResolveTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string resolved = real;
  std::free(real);
  return resolved;
}

bool WriteAll(int fd, std::string_view content) {
  std::size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Creates a new, empty file beside `target` that no one else has opened; the
// process umask applies to its permission bits as to any new file.
int CreateTemporary(const std::string& target, std::string& tempPath) {
  thread_local std::mt19937_64 generator{std::random_device{}() ^ static_cast<unsigned long long>(::getpid())};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  const std::size_t slash = target.find_last_of('/');
  const std::string prefix = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix;
    for (int i = 0; i < 8; ++i) suffix += kLetters[generator() % (sizeof kLetters - 1)];
    tempPath = prefix + "." + base + ".tmp-" + suffix;
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error) {
  const std::string target = ResolveTarget(path);
  // Only a regular file is ever replaced: a pipe or a device in the way (a
  // settings file linked to /dev/null, say) stays what it is.
  struct stat existing;
  if (::stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    error = S_ISDIR(existing.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
    return false;
  }
  std::string tempPath;
  int fd = CreateTemporary(target, tempPath);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }

  bool ok = true;
  // The replacement keeps the permission bits (and, where allowed, the owner)
  // of the file it replaces.
  struct stat old;
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    if (ok && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
      if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not allowed for an ordinary user; the file is theirs from now on.
      }
    }
  }
  if (ok) ok = WriteAll(fd, content);
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

#endif
