#include "platform/JournalFiles.h"

#include "platform/SystemIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace JournalFiles {

namespace {

std::string SystemReason(int error) { return std::strerror(error); }

// O_NONBLOCK: a pipe or a device under a journal's name must not hold the
// open; O_NOFOLLOW: a link there is refused, not followed.
int OpenFlags(File::Mode mode) {
  constexpr int kSafe = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
  switch (mode) {
    case File::Mode::CreateNew:
      return kSafe | O_WRONLY | O_CREAT | O_EXCL | O_APPEND;
    case File::Mode::Append:
      return kSafe | O_RDWR | O_APPEND;
    case File::Mode::Counter:
      return kSafe | O_RDWR | O_CREAT;
    case File::Mode::Read:
      break;
  }
  return kSafe | O_RDONLY;
}

// Why an open file cannot be trusted as a journal; empty when it can.
std::string Distrust(const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  if (st.st_uid != ::geteuid()) return "owned by another user";
  if (static_cast<std::uint64_t>(st.st_size) > kMaxJournalSize) return "larger than 256 MiB";
  return {};
}

}  // namespace

bool File::Open(const std::string& path, Mode mode, std::string& reason) {
  Close();
  nameTaken_ = false;
  if (path.find('\0') != std::string::npos) return reason = SystemReason(EINVAL), false;
  const int fd = ::open(path.c_str(), OpenFlags(mode), 0600);
  if (fd < 0) {
    nameTaken_ = errno == EEXIST;
    return reason = errno == ELOOP ? "a symbolic link" : SystemReason(errno), false;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    reason = SystemReason(errno);
    ::close(fd);
    return false;
  }
  if (std::string distrust = Distrust(st); !distrust.empty()) {
    ::close(fd);
    return reason = std::move(distrust), false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  handle_ = fd;
  size_ = static_cast<std::uint64_t>(st.st_size);
  return true;
}

void File::Close() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

bool File::Lock(bool wait) {
  if (handle_ == -1) return false;
  while (::flock(static_cast<int>(handle_), wait ? LOCK_EX : LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno != EWOULDBLOCK && errno != EAGAIN;
  }
  return true;
}

bool File::WriteAll(const std::string& data, std::string& reason) {
  if (data.size() > kMaxJournalSize - std::min(size_, kMaxJournalSize)) return reason = SystemReason(EFBIG), false;
  if (!SystemIo::WriteAll(handle_, data, reason)) return false;
  size_ += data.size();
  return true;
}

bool File::Rewrite(const std::string& data, std::string& reason) {
  const int fd = static_cast<int>(handle_);
  if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) < 0) return reason = SystemReason(errno), false;
  return SystemIo::WriteAll(handle_, data, reason);
}

bool File::Sync(bool withSize, std::string& reason) {
  const int fd = static_cast<int>(handle_);
  if ((withSize ? ::fsync(fd) : ::fdatasync(fd)) != 0) return reason = SystemReason(errno), false;
  return true;
}

bool File::ReadAll(std::string& data, std::string& reason) {
  data.clear();
  const int fd = static_cast<int>(handle_);
  if (::lseek(fd, 0, SEEK_SET) < 0) return reason = SystemReason(errno), false;
  struct stat st;
  if (::fstat(fd, &st) == 0 && st.st_size > 0)
    data.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size), kMaxJournalSize)));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return reason = SystemReason(errno), false;
    if (n == 0) return true;
    if (data.size() + static_cast<std::size_t>(n) > kMaxJournalSize) return data.clear(), reason = "larger than 256 MiB", false;
    data.append(buffer, static_cast<std::size_t>(n));
  }
}

bool File::ReadTail(std::size_t size, std::string& data, std::string& reason) {
  return SystemIo::ReadTail(handle_, size, data, reason);
}

bool File::Truncate(std::uint64_t size, std::string& reason) {
  if (::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) != 0) return reason = SystemReason(errno), false;
  size_ = size;
  return true;
}

bool MakeFolders(const std::string& folder, std::string& reason) {
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return reason = SystemReason(errno), false;
    if (slash == std::string::npos) break;
  }
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return reason = SystemReason(ENOTDIR), false;
  return true;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::uint64_t ProcessId() { return static_cast<std::uint64_t>(::getpid()); }

namespace {

// The user's private group: named as the user, with no members of its own.
bool IsPrivateGroupOfThisUser(gid_t group) {
  if (group != ::getegid()) return false;
  std::vector<char> buffer(16384);
  struct passwd user;
  struct passwd* userFound = nullptr;
  if (::getpwuid_r(::geteuid(), &user, buffer.data(), buffer.size() / 2, &userFound) != 0 || !userFound) return false;
  struct group entry;
  struct group* groupFound = nullptr;
  if (::getgrgid_r(group, &entry, buffer.data() + buffer.size() / 2, buffer.size() / 2, &groupFound) != 0 ||
      !groupFound)
    return false;
  if (std::strcmp(entry.gr_name, user.pw_name) != 0) return false;
  for (char** member = entry.gr_mem; *member; ++member)
    if (std::strcmp(*member, user.pw_name) != 0) return false;
  return true;
}

// Why one folder (or link) on the way to the state folder cannot be
// trusted; empty when it can. `last`: the state folder itself.
std::string DistrustFolder(const struct stat& st, bool last) {
  const uid_t me = ::geteuid();
  if (st.st_uid != me && (last || st.st_uid != 0)) return "belongs to another user";
  if (S_ISLNK(st.st_mode)) return {};
  if ((st.st_mode & S_IWOTH) && !(!last && (st.st_mode & S_ISVTX))) return "can be written by other users";
  if ((st.st_mode & S_IWGRP) && !(!last && (st.st_mode & S_ISVTX)) && !IsPrivateGroupOfThisUser(st.st_gid))
    return "can be written by other users";
  return {};
}

// Checks every part of `path` (absolute) from the root down; a link is
// checked itself, then the path it leads to.
bool CheckParts(const std::string& path, std::string& reason, int depth) {
  if (depth > 8) return reason = SystemReason(ELOOP), false;
  std::vector<std::size_t> ends{1};  // the length of each part's path
  for (std::size_t i = 1; i < path.size(); ++i)
    if (path[i] == '/' && path[i - 1] != '/') ends.push_back(i);
  if (path.back() != '/') ends.push_back(path.size());
  for (std::size_t k = 0; k < ends.size(); ++k) {
    const std::string part = path.substr(0, ends[k]);
    struct stat st;
    if (::lstat(part.c_str(), &st) != 0) return reason = part + ": " + SystemReason(errno), false;
    const bool link = S_ISLNK(st.st_mode);
    if (std::string why = DistrustFolder(st, k + 1 == ends.size() && !link); !why.empty())
      return reason = "the folder " + part + " " + why, false;
    if (!link) continue;
    char* real = ::realpath(part.c_str(), nullptr);
    if (!real) return reason = part + ": " + SystemReason(errno), false;
    const std::string resolved = real;
    std::free(real);
    return CheckParts(resolved + path.substr(ends[k]), reason, depth + 1);
  }
  return true;
}

}  // namespace

bool IsPrivateFolder(const std::string& folder, std::string& reason) {
  if (folder.empty() || folder.front() != '/' || folder.find('\0') != std::string::npos)
    return reason = SystemReason(EINVAL), false;
  return CheckParts(folder, reason, 0);
}

}  // namespace JournalFiles
