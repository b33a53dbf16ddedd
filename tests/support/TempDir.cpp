#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#ifdef _WIN32
#include "platform/WinText.h"
#else
#include "support/AsOtherUser.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#endif

namespace stdfs = std::filesystem;

namespace {

#ifdef _WIN32
// Paths in the tests are UTF-8, as in the program (not the ANSI code page).
stdfs::path Native(const std::string& utf8) { return stdfs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string MakeUniqueFolder() {
  const std::u8string base = stdfs::temp_directory_path().u8string();
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    stdfs::path candidate = stdfs::path(base) / ("quillon-test-" + std::to_string(random() % 1000000000));
    std::error_code ec;
    if (stdfs::create_directory(candidate, ec)) {
      const std::u8string made = candidate.u8string();
      return std::string(made.begin(), made.end());
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

// Read-only files and folders are not deleted: the attribute goes first.
void MakeRemovable(const std::string& root) {
  std::error_code ec;
  for (auto it = stdfs::recursive_directory_iterator(Native(root), ec); it != stdfs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::wstring path = it->path().wstring();
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
      ::SetFileAttributesW(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
  }
}
#else
// Paths are the file system's bytes, whatever they are.
stdfs::path Native(const std::string& bytes) { return stdfs::path(bytes); }

std::string MakeUniqueFolder() {
  std::string base = stdfs::temp_directory_path().string() + "/quillon-test-XXXXXX";
  if (!::mkdtemp(base.data())) throw std::runtime_error("cannot create a temporary folder");
  return base;
}

// Give back permissions a test took away, so that the folder can be removed.
void MakeRemovable(const std::string& root) {
  std::error_code ec;
  ::chmod(root.c_str(), 0700);
  for (auto it = stdfs::recursive_directory_iterator(root, stdfs::directory_options::skip_permission_denied, ec);
       it != stdfs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
  }
}
#endif

}  // namespace

std::string MissingFolderReason() {
#ifdef _WIN32
  return WinText::SystemMessage(ERROR_PATH_NOT_FOUND);
#else
  return std::strerror(ENOENT);
#endif
}

std::string AccessDeniedReason() {
#ifdef _WIN32
  return WinText::SystemMessage(ERROR_ACCESS_DENIED);
#else
  return std::strerror(EACCES);
#endif
}

void SetReadOnly(const std::string& path, bool readOnly) {
#ifdef _WIN32
  const std::wstring wide = WinText::Wide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  const DWORD changed = readOnly ? attributes | FILE_ATTRIBUTE_READONLY : attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
  if (attributes == INVALID_FILE_ATTRIBUTES || !::SetFileAttributesW(wide.c_str(), changed))
#else
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || ::chmod(path.c_str(), (st.st_mode & 07777 & ~0222) | (readOnly ? 0 : 0200)) != 0)
#endif
    throw std::runtime_error("cannot change the read-only setting of " + path);
}

std::optional<bool> AsOrdinaryOwner(const TempDir& dir, const std::function<bool()>& check) {
#ifndef _WIN32
  if (::geteuid() == 0) {
    std::error_code ec;
    bool given = ::chown(dir.path().c_str(), 65534, 65534) == 0;
    for (auto it = stdfs::recursive_directory_iterator(dir.path(), ec); given && it != stdfs::recursive_directory_iterator();
         it.increment(ec))
      given = ::lchown(it->path().c_str(), 65534, 65534) == 0;
    if (!given) return std::nullopt;
    return AsOtherUser(check);
  }
#else
  (void)dir;
#endif
  return check();
}

TempDir::TempDir() : path_(MakeUniqueFolder()) {}

TempDir::~TempDir() {
  std::error_code ec;
  MakeRemovable(path_);
  stdfs::remove_all(Native(path_), ec);
}

std::string TempDir::operator/(const std::string& relative) const { return path_ + TempDir::kDelimiter + relative; }

void TempDir::WriteFile(const std::string& relative, const std::string& content) const {
  stdfs::path p = Native(*this / relative);
  stdfs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + *this / relative);
}

void TempDir::MakeFolder(const std::string& relative) const { stdfs::create_directories(Native(*this / relative)); }

std::string TempDir::ReadFile(const std::string& relative) const {
  std::ifstream in(Native(*this / relative), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool TempDir::Exists(const std::string& relative) const {
  std::error_code ec;
  return stdfs::exists(stdfs::symlink_status(Native(*this / relative), ec));
}
