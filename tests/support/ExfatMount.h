#pragma once

// A small exFAT volume (a file system that ignores letter case) mounted for
// one test: an image file on a loop device, mounted through FUSE into a fresh
// temporary folder, and taken down again when the object goes. Mounting needs
// root, /dev/fuse, a free loop device and the exfatprogs and exfat-fuse tools;
// where any of that is missing the object says why, and the test skips:
//
//   ExfatMount volume;
//   if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
//
// Every outside command runs under `timeout`, so a broken mount cannot hang a
// test. Header only, so that any test can use it.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

class ExfatMount {
 public:
  ExfatMount() { Mount(); }
  ~ExfatMount() { Unmount(); }
  ExfatMount(const ExfatMount&) = delete;
  ExfatMount& operator=(const ExfatMount&) = delete;

  bool ok() const { return mounted_; }
  // The mounted folder, without a trailing delimiter.
  const std::string& path() const { return mountPoint_; }
  const std::string& whyNot() const { return why_; }

 private:
  static bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  }
  static bool HasTool(const char* name) {
    return Run(std::string("command -v ") + name);
  }
  static std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  bool Fail(const std::string& why) {
    why_ = "no case-folding exFAT mount: " + why;
    return false;
  }

  bool Mount() {
    if (::geteuid() != 0) return Fail("mounting needs root");
    if (::access("/dev/fuse", R_OK | W_OK) != 0) return Fail("/dev/fuse is not usable");
    for (const char* tool : {"timeout", "mkfs.exfat", "losetup", "mount.exfat-fuse", "umount"}) {
      if (!HasTool(tool)) {
        return Fail(std::string(tool) + " is not installed (packages exfatprogs, exfat-fuse)");
      }
    }
    std::string base = std::filesystem::temp_directory_path().string() + "/quillon-exfat-XXXXXX";
    if (!::mkdtemp(base.data())) return Fail("cannot create a temporary folder");
    base_ = base;
    image_ = base_ + "/volume.img";
    mountPoint_ = base_ + "/mnt";
    if (::mkdir(mountPoint_.c_str(), 0700) != 0) return Fail("cannot create the mount point");

    const int fd = ::open(image_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return Fail("cannot create the image file");
    const bool sized = ::ftruncate(fd, 16 * 1024 * 1024) == 0;
    ::close(fd);
    if (!sized) return Fail("cannot size the image file");
    if (!Run("timeout 60 mkfs.exfat " + Quote(image_))) return Fail("mkfs.exfat failed");

    FILE* out = ::popen(("timeout 30 losetup -f --show " + Quote(image_) + " 2>/dev/null").c_str(), "r");
    if (!out) return Fail("cannot run losetup");
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, out) != nullptr;
    const int status = ::pclose(out);
    if (!read || status != 0) return Fail("no free loop device");
    loopDevice_ = line;
    while (!loopDevice_.empty() && (loopDevice_.back() == '\n' || loopDevice_.back() == '\r')) {
      loopDevice_.pop_back();
    }
    if (loopDevice_.rfind("/dev/", 0) != 0) {
      loopDevice_.clear();
      return Fail("losetup gave no device");
    }

    if (!Run("timeout 30 mount.exfat-fuse " + Quote(loopDevice_) + " " + Quote(mountPoint_))) {
      return Fail("mount.exfat-fuse failed");
    }
    mounted_ = true;

    // Make sure this really is the FUSE volume and that it folds case.
    struct statfs fs;
    const long kFuseMagic = 0x65735546;
    if (::statfs(mountPoint_.c_str(), &fs) != 0 || static_cast<long>(fs.f_type) != kFuseMagic) {
      return FailMounted("the mount point shows no FUSE volume");
    }
    const std::string probe = mountPoint_ + "/probe";
    const int probeFd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (probeFd < 0) return FailMounted("the volume is not writable");
    ::close(probeFd);
    struct stat st;
    const bool folds = ::lstat((mountPoint_ + "/PROBE").c_str(), &st) == 0;
    ::unlink(probe.c_str());
    if (!folds) return FailMounted("the volume does not fold letter case");
    return true;
  }

  bool FailMounted(const std::string& why) {
    Unmount();
    return Fail(why);
  }

  void Unmount() {
    if (mounted_) {
      if (!Run("timeout 30 umount " + Quote(mountPoint_))) Run("timeout 30 umount -l " + Quote(mountPoint_));
      mounted_ = false;
    }
    if (!loopDevice_.empty()) {
      Run("timeout 30 losetup -d " + Quote(loopDevice_));
      loopDevice_.clear();
    }
    if (!base_.empty()) {
      ::unlink(image_.c_str());
      ::rmdir(mountPoint_.c_str());
      ::rmdir(base_.c_str());
      base_.clear();
    }
  }

  bool mounted_ = false;
  std::string base_;
  std::string image_;
  std::string mountPoint_;
  std::string loopDevice_;
  std::string why_;
};
