#pragma once

#include <string>

// A fresh folder below the system's temporary folder, removed with everything
// in it when the object goes. path() ends without a delimiter. Paths are
// UTF-8 and use the build's delimiter ("\\" in the Windows build).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

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
