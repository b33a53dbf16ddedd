#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace stdfs = std::filesystem;

namespace {
// Give back permissions a test took away, so that the folder can be removed.
void MakeRemovable(const stdfs::path& root) {
  std::error_code ec;
  ::chmod(root.c_str(), 0700);
  for (auto it = stdfs::recursive_directory_iterator(root, stdfs::directory_options::skip_permission_denied, ec);
       it != stdfs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
  }
}
}  // namespace

TempDir::TempDir() {
  std::string base = stdfs::temp_directory_path().string() + "/quillon-test-XXXXXX";
  if (!::mkdtemp(base.data())) throw std::runtime_error("cannot create a temporary folder");
  path_ = base;
}

TempDir::~TempDir() {
  std::error_code ec;
  MakeRemovable(path_);
  stdfs::remove_all(path_, ec);
}

void TempDir::WriteFile(const std::string& relative, const std::string& content) const {
  stdfs::path p = stdfs::path(path_) / relative;
  stdfs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + p.string());
}

void TempDir::MakeFolder(const std::string& relative) const {
  stdfs::create_directories(stdfs::path(path_) / relative);
}

std::string TempDir::ReadFile(const std::string& relative) const {
  std::ifstream in(stdfs::path(path_) / relative, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool TempDir::Exists(const std::string& relative) const {
  struct stat st;
  return ::lstat((path_ + "/" + relative).c_str(), &st) == 0;
}
