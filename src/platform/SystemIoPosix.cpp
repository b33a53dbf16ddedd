#include "platform/SystemIo.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace SystemIo {

bool WriteAll(std::intptr_t handle, std::string_view data, std::string& reason) {
  const int fd = static_cast<int>(handle);
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return reason = std::strerror(errno), false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadTail(std::intptr_t handle, std::size_t count, std::string& data, std::string& reason) {
  data.clear();
  const int fd = static_cast<int>(handle);
  struct stat st;
  if (::fstat(fd, &st) != 0) return reason = std::strerror(errno), false;
  const auto size = static_cast<std::uint64_t>(st.st_size > 0 ? st.st_size : 0);
  const std::size_t wanted = size < count ? static_cast<std::size_t>(size) : count;
  data.resize(wanted);
  std::size_t got = 0;
  while (got < wanted) {
    const ssize_t n = ::pread(fd, data.data() + got, wanted - got, static_cast<off_t>(size - wanted + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return data.clear(), reason = std::strerror(errno), false;
    if (n == 0) break;  // the file shrank meanwhile
    got += static_cast<std::size_t>(n);
  }
  data.resize(got);
  return true;
}

}  // namespace SystemIo
