#include "platform/JournalFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace JournalFiles {

namespace {

std::string SystemReason(int error) { return std::strerror(error); }

int OpenFlags(File::Mode mode) {
  switch (mode) {
    case File::Mode::CreateNew:
      return O_WRONLY | O_CREAT | O_EXCL | O_APPEND;
    case File::Mode::Append:
      return O_RDWR | O_APPEND;
    case File::Mode::Read:
      break;
  }
  return O_RDONLY;
}

}  // namespace

bool File::Open(const std::string& path, Mode mode, std::string& reason) {
  Close();
  const int fd = ::open(path.c_str(), OpenFlags(mode) | O_CLOEXEC, 0600);
  nameTaken_ = fd < 0 && errno == EEXIST;
  if (fd < 0) return reason = SystemReason(errno), false;
  handle_ = fd;
  return true;
}

void File::Close() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

bool File::Lock(bool wait) {
  return handle_ != -1 && ::flock(static_cast<int>(handle_), wait ? LOCK_EX : LOCK_EX | LOCK_NB) == 0;
}

bool File::WriteAll(const std::string& data, std::string& reason) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(static_cast<int>(handle_), data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return reason = SystemReason(n < 0 ? errno : EIO), false;
    done += static_cast<std::size_t>(n);
  }
  return true;
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
  if (::fstat(fd, &st) == 0 && st.st_size > 0) data.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return reason = SystemReason(errno), false;
    if (n == 0) return true;
    data.append(buffer, static_cast<std::size_t>(n));
  }
}

bool File::ReadTail(std::size_t size, std::string& data, std::string& reason) {
  data.clear();
  const int fd = static_cast<int>(handle_);
  struct stat st;
  if (::fstat(fd, &st) != 0) return reason = SystemReason(errno), false;
  const auto fileSize = static_cast<std::uint64_t>(st.st_size);
  const std::size_t wanted = fileSize < size ? static_cast<std::size_t>(fileSize) : size;
  data.resize(wanted);
  std::size_t got = 0;
  while (got < wanted) {
    const ssize_t n = ::pread(fd, data.data() + got, wanted - got, static_cast<off_t>(fileSize - wanted + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return reason = SystemReason(errno), false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  data.resize(got);
  return true;
}

bool File::Truncate(std::uint64_t size, std::string& reason) {
  if (::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) != 0) return reason = SystemReason(errno), false;
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

}  // namespace JournalFiles
