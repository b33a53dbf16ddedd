#pragma once

#include <csignal>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

// While alive, writing into `folder` fails: the folder loses its write bits,
// and since root ignores those, every file write of this process is also
// limited to zero bytes (as on a full disk; the write fails with EFBIG).
// Reading keeps working. Everything is given back when the object goes.
class FailingWrites {
 public:
  explicit FailingWrites(std::string folder) : folder_(std::move(folder)) {
    struct stat st;
    if (::stat(folder_.c_str(), &st) == 0) mode_ = st.st_mode & 07777;
    ::chmod(folder_.c_str(), 0555);
    ::getrlimit(RLIMIT_FSIZE, &oldLimit_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit none = oldLimit_;
    none.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &none);
  }
  ~FailingWrites() {
    ::setrlimit(RLIMIT_FSIZE, &oldLimit_);
    std::signal(SIGXFSZ, oldHandler_);
    ::chmod(folder_.c_str(), mode_);
  }
  FailingWrites(const FailingWrites&) = delete;
  FailingWrites& operator=(const FailingWrites&) = delete;

 private:
  std::string folder_;
  mode_t mode_ = 0700;
  struct rlimit oldLimit_ {};
  void (*oldHandler_)(int) = SIG_DFL;
};
