#pragma once

#include <functional>
#include <optional>
#include <string>

// The system's own text for "that folder does not exist", as errors quote it.
std::string MissingFolderReason();
// The system's own text for a write refused by the file's own setting: a
// read-only file (Windows), a mode without write permission (POSIX).
std::string AccessDeniedReason();

// Makes the file read-only, or writable again: its write permission bits on
// POSIX (which root ignores: see AsOrdinaryOwner), its read-only attribute on
// Windows.
void SetReadOnly(const std::string& path, bool readOnly);

// A fresh folder below the system's temporary folder, removed with everything
// in it when the object goes. path() ends without a delimiter. Paths are
// UTF-8 and use the build's delimiter ("\\" in the Windows build).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

#ifdef _WIN32
  static constexpr char kDelimiter = '\\';
#else
  static constexpr char kDelimiter = '/';
#endif
  // kDelimiter as text, for building expected paths.
  static std::string Delimiter() { return std::string(1, kDelimiter); }

  const std::string& path() const { return path_; }
  // path() + delimiter + relative
  std::string operator/(const std::string& relative) const;

  // Test fixture helpers; each creates parent folders as needed.
  void WriteFile(const std::string& relative, const std::string& content = {}) const;
  void MakeFolder(const std::string& relative) const;
  std::string ReadFile(const std::string& relative) const;
  bool Exists(const std::string& relative) const;

 private:
  std::string path_;
};

// Runs the check as an ordinary user who owns everything in the folder, so
// that modes set with SetReadOnly bite: where this runs as root on POSIX, the
// folder goes to "nobody" and the check runs in a child process as that user
// (see AsOtherUser.h); otherwise in this process. nullopt when no such user
// can be taken.
std::optional<bool> AsOrdinaryOwner(const TempDir& dir, const std::function<bool()>& check);
