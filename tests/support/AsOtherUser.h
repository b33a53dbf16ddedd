#pragma once

// Runs a check as an ordinary user, so that tests of unreadable folders bite
// even when the suite runs as root (root reads any folder whatever its mode).
// The check runs in a child process that gives up root for the user "nobody"
// (uid and gid 65534); its answer comes back as the exit status. Without root
// the check simply runs in this process. Header only.
//
// The folders the child looks at must be reachable for other users: see
// OpenToOthers.

#include <functional>
#include <grp.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// nullopt when the child could not be started or could not drop root.
inline std::optional<bool> AsOtherUser(const std::function<bool()>& check) {
  if (::geteuid() != 0) return check();
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    ::_exit(check() ? 1 : 0);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return std::nullopt;
  if (WEXITSTATUS(status) == 2) return std::nullopt;
  return WEXITSTATUS(status) == 1;
}

// Lets other users pass through `folder` (mode 0755), so that a check run as
// another user reaches what lies inside it.
inline bool OpenToOthers(const std::string& folder) {
  return ::chmod(folder.c_str(), 0755) == 0;
}
