#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "platform/SystemIo.h"

namespace FileSystem {

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

// Only a regular file has a tail to read. A folder opens on Linux but holds
// no bytes to read; other kinds (pipes, devices) are opened without blocking
// and read as empty, so that a pipe without a writer can never hang the caller.
// A read error counts as a file that cannot be read.
TailResult ReadFileTail(const std::string& path, std::size_t count, std::string& bytes) {
  bytes.clear();
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) return TailResult::CannotOpen;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return TailResult::CannotOpen;
  if (!S_ISREG(info.st_mode) || info.st_size <= 0 || count == 0) return TailResult::Read;

  std::string reason;
  return SystemIo::ReadTail(fd.get(), count, bytes, reason) ? TailResult::Read : TailResult::CannotOpen;
}

}  // namespace FileSystem
