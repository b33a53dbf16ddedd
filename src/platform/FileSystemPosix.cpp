#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <unordered_set>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace FileSystem {

namespace {

// The system calls end a path at its first zero byte, so a text holding one
// would name another entry (the part before it); such a text names nothing.
bool HoldsZeroByte(const std::string& text) {
  return text.find('\0') != std::string::npos;
}

// An open folder, closed when the object goes.
class FolderHandle {
 public:
  explicit FolderHandle(const std::string& folder) {
    if (HoldsZeroByte(folder)) return;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    dir_ = ::fdopendir(fd);
    if (!dir_) ::close(fd);
  }
  ~FolderHandle() {
    if (dir_) ::closedir(dir_);
  }
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  bool IsOpen() const { return dir_ != nullptr; }
  int Fd() const { return ::dirfd(dir_); }
  // The next entry but "." and ".."; nullptr at the end (or on a read error).
  const dirent* Next() {
    while (const dirent* d = ::readdir(dir_)) {
      const char* n = d->d_name;
      if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
      return d;
    }
    return nullptr;
  }

 private:
  DIR* dir_ = nullptr;
};

bool LinkTargetIsFolder(int dirFd, const char* name) {
  struct stat target;
  return ::fstatat(dirFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

// Kind, size and time of one entry, examined without following a link except
// to learn whether its target is a folder. False when the entry has gone.
bool Examine(int dirFd, const dirent* d, Entry& entry) {
  entry.name = d->d_name;
  struct stat st;
  if (::fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return false;
    // Listed but not examinable (a folder without search permission): keep
    // what the listing itself tells.
    entry.isSymlink = d->d_type == DT_LNK;
    entry.isFolder = d->d_type == DT_DIR;
    return true;
  }
  entry.isSymlink = S_ISLNK(st.st_mode);
  entry.isFolder = S_ISDIR(st.st_mode) || (entry.isSymlink && LinkTargetIsFolder(dirFd, d->d_name));
  entry.size = static_cast<std::int64_t>(st.st_size);
  entry.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec);
  return true;
}

// Kind only, from the listing's type field where it has one.
bool ExamineKind(int dirFd, const dirent* d, Entry& entry) {
  entry.name = d->d_name;
  unsigned char type = d->d_type;
  if (type == DT_UNKNOWN) {
    struct stat st;
    if (::fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno != ENOENT;
    type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
  }
  entry.isSymlink = type == DT_LNK;
  entry.isFolder = type == DT_DIR || (entry.isSymlink && LinkTargetIsFolder(dirFd, d->d_name));
  entry.examined = false;
  return true;
}

int RawRenameNoReplace(int dirFd, const char* oldName, const char* newName) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
  return ::renameat2(dirFd, oldName, dirFd, newName, RENAME_NOREPLACE);
#elif defined(SYS_renameat2)
  return static_cast<int>(::syscall(SYS_renameat2, dirFd, oldName, dirFd, newName, RENAME_NOREPLACE));
#else
  (void)dirFd;
  (void)oldName;
  (void)newName;
  errno = ENOSYS;
  return -1;
#endif
}

// An empty entry made to hold a name until a rename takes it over.
struct NameClaim {
  bool folder = false;
  dev_t device = 0;
  ino_t inode = 0;
};

std::uint64_t ChangeTime(const struct stat& st) {
  return static_cast<std::uint64_t>(st.st_ctim.tv_sec) * 1000000000u + static_cast<std::uint64_t>(st.st_ctim.tv_nsec);
}

ClaimIdentity IdentityOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), ChangeTime(st)};
}

bool IsEmptyClaim(const struct stat& st) { return S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && st.st_size == 0); }

using ClaimNotice = RenameSession::ClaimNotice;

// Creates the name exclusively: an empty folder to take a folder's rename, an
// empty file for anything else. False (errno EEXIST when the name is taken)
// when no claim was made or it cannot be told apart from another entry.
bool MakeClaim(int dirFd, const std::string& name, bool folder, NameClaim& claim) {
  int made = folder ? ::mkdirat(dirFd, name.c_str(), 0700) : ::mknodat(dirFd, name.c_str(), S_IFREG | 0600, 0);
  if (made != 0 && !folder && (errno == EPERM || errno == ENOSYS || errno == EOPNOTSUPP)) {
    const int fd = ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    made = fd < 0 ? -1 : 0;
    if (fd >= 0) ::close(fd);
  }
  if (made != 0) return false;
  // Left in place when it cannot be examined: an empty entry, nothing lost.
  struct stat st;
  if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  claim = {folder, st.st_dev, st.st_ino};
  return true;
}

// True while the name still holds the empty entry this process made.
bool StillOurClaim(int dirFd, const std::string& name, const NameClaim& claim) {
  struct stat st;
  return ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == claim.device &&
         st.st_ino == claim.inode && (claim.folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode) && st.st_size == 0);
}

std::uint64_t ClockNow() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec);
}

// Where the file system refuses the no-replace flag. Claiming the new name
// first closes the gap between a test and the rename in which another
// program could create that name: what remains is that it could fill or
// replace the claim itself, which is checked just before the rename. A claim
// is removed again only while it still is the empty entry made here, so a
// failed rename (or one that failed after it was done) never costs a file.
// `notice` (may be null) hears of each claim: intended, then made (before the
// rename onto it) or not made.
RenameResult RenameOntoClaim(int dirFd, const std::string& oldName, const std::string& newName,
                             const ClaimNotice* notice) {
  struct stat oldEntry;
  if (::fstatat(dirFd, oldName.c_str(), &oldEntry, AT_SYMLINK_NOFOLLOW) != 0) return RenameResult::Failed;
  const bool heard = notice && *notice;
  using Step = ClaimEvent::Step;
  if (heard && !(*notice)({Step::Intended, newName, oldName, ClockNow(), {}})) return RenameResult::Failed;
  // Whatever stands at the name once a claim failed or went again is not
  // this claim: no later recovery may take it for one.
  const auto notMade = [&] {
    if (heard) (*notice)({Step::NotMade, newName, oldName, 0, {}});
  };
  NameClaim claim;
  const bool made = MakeClaim(dirFd, newName, S_ISDIR(oldEntry.st_mode), claim);
  if (!made || !StillOurClaim(dirFd, newName, claim)) {
    const int error = errno;
    const RenameResult result = made || error == EEXIST ? RenameResult::TargetExists : RenameResult::Failed;
    notMade();
    errno = error;
    return result;
  }
  struct stat st;
  if (heard && (::fstatat(dirFd, newName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                !(*notice)({Step::Made, newName, oldName, 0, IdentityOf(st)}))) {
    if (StillOurClaim(dirFd, newName, claim)) ::unlinkat(dirFd, newName.c_str(), claim.folder ? AT_REMOVEDIR : 0);
    notMade();
    return RenameResult::Failed;
  }
  if (::renameat(dirFd, oldName.c_str(), dirFd, newName.c_str()) == 0) return RenameResult::Renamed;
  const int error = errno;
  if (StillOurClaim(dirFd, newName, claim)) ::unlinkat(dirFd, newName.c_str(), claim.folder ? AT_REMOVEDIR : 0);
  notMade();
  errno = error;
  return RenameResult::Failed;
}

// One rename inside the folder that never replaces: the kernel's no-replace
// flag, or a claim on the new name where the file system refuses the flag.
RenameResult RenameOnce(int dirFd, const std::string& oldName, const std::string& newName,
                        const ClaimNotice* notice = nullptr) {
  if (RawRenameNoReplace(dirFd, oldName.c_str(), newName.c_str()) == 0) return RenameResult::Renamed;
  if (errno == EEXIST) return RenameResult::TargetExists;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return RenameResult::Failed;
  return RenameOntoClaim(dirFd, oldName, newName, notice);
}

// Calls `visit` with every name of the folder, exactly as listed, until it
// answers false. False when the folder cannot be read.
bool VisitNames(int dirFd, const std::function<bool(const char*)>& visit) {
  const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return false;
  }
  while (const dirent* d = ::readdir(dir))
    if (!visit(d->d_name)) break;
  ::closedir(dir);
  return true;
}

bool ReadNames(int dirFd, std::unordered_set<std::string>& names) {
  return VisitNames(dirFd, [&names](const char* name) {
    names.insert(name);
    return true;
  });
}

bool ListingHoldsExactly(int dirFd, const std::string& name) {
  bool found = false;
  const bool readable = VisitNames(dirFd, [&](const char* listed) { return !(found = name == listed); });
  return !readable || found;  // cannot tell: assume the name is taken
}

// File systems on which every spelling that reaches an entry gives the same
// inode number, case-folding ones included (FAT, exFAT, casefold ext4). FUSE
// and network file systems are not among them: an exFAT volume through FUSE
// numbers each spelling apart.
bool KeepsOneInodePerEntry(int dirFd) {
  struct statfs fs;
  if (::fstatfs(dirFd, &fs) != 0) return false;
  switch (static_cast<std::uint32_t>(fs.f_type)) {
    case 0xEF53u:      // ext2, ext3, ext4
    case 0x58465342u:  // xfs
    case 0x9123683Eu:  // btrfs
    case 0x01021994u:  // tmpfs
    case 0x858458F6u:  // ramfs
    case 0xF2F52010u:  // f2fs
    case 0x4D44u:      // vfat, msdos
    case 0x2011BAB0u:  // exfat
    case 0x7366746Eu:  // ntfs3
    case 0x794C7630u:  // overlay
    case 0x2FC12FC1u:  // zfs
      return true;
    default:
      return false;
  }
}

// After a no-replace rename found the new name taken: true when the entry
// that answers to it is known to be another one than the old entry, without
// reading the folder.
bool KnownToBeAnotherEntry(int dirFd, const std::string& oldName, const std::string& newName) {
  struct stat oldEntry, newEntry;
  return ::fstatat(dirFd, oldName.c_str(), &oldEntry, AT_SYMLINK_NOFOLLOW) == 0 &&
         ::fstatat(dirFd, newName.c_str(), &newEntry, AT_SYMLINK_NOFOLLOW) == 0 &&
         (oldEntry.st_dev != newEntry.st_dev || oldEntry.st_ino != newEntry.st_ino) && KeepsOneInodePerEntry(dirFd);
}

// True unless the name is known to be free (an error other than "no such
// entry" counts as taken).
bool EntryExists(int dirFd, const std::string& name) {
  struct stat st;
  return ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

// A folder opened for the *at calls only; search permission is enough.
class FolderPath {
 public:
  explicit FolderPath(const std::string& folder)
      : fd_(::open(folder.empty() ? "/" : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
  ~FolderPath() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderPath(const FolderPath&) = delete;
  FolderPath& operator=(const FolderPath&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

// The new name "exists" only because the file system folds letter case onto
// the old entry: move the entry aside under a unique name, then give it the
// new name; put the old name back if the second step fails. `notice` hears the
// temporary name before the first step; `stranded` gets it when the entry
// could be given neither name.
RenameResult RenameThroughTemporary(int dirFd, const std::string& oldName, const std::string& newName,
                                    const std::function<bool(const std::string&)>& notice,
                                    const ClaimNotice* claimNotice, std::string& stranded) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  std::string temporary;
  RenameResult moved = RenameResult::TargetExists;
  for (int attempt = 0; attempt < 20 && moved == RenameResult::TargetExists; ++attempt) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, ".quillon-%ld-%016llx.tmp", static_cast<long>(::getpid()),
                  static_cast<unsigned long long>(random()));
    temporary = buffer;
    if (EntryExists(dirFd, temporary)) continue;
    if (notice && !notice(temporary)) return RenameResult::Failed;
    moved = RenameOnce(dirFd, oldName, temporary, claimNotice);
  }
  if (moved != RenameResult::Renamed) return RenameResult::Failed;
  const RenameResult result = RenameOnce(dirFd, temporary, newName, claimNotice);
  if (result == RenameResult::Renamed) return result;
  // A failed move back would leave the entry under a hidden name: try again
  // once before telling the caller where it stands.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (RenameOnce(dirFd, temporary, oldName, claimNotice) == RenameResult::Renamed) return result;
  }
  stranded = temporary;
  return RenameResult::Failed;
}

bool IsPlainPair(const std::string& oldName, const std::string& newName) {
  return Paths::IsPlainName(oldName, Build::Linux) && Paths::IsPlainName(newName, Build::Linux);
}

using NameTest = std::function<bool(const std::string&)>;

// One rename inside the opened folder; `listingHolds` tells whether the
// folder's listing holds a name exactly, `notice` (may be empty) hears a
// temporary name first, `claimNotice` (may be null) each claim. `tried`: the
// no-replace rename was already attempted (by full paths) and found the new
// name taken.
RenameResult RenameInFolder(int dirFd, const std::string& oldName, const std::string& newName,
                            const NameTest& listingHolds, const NameTest& notice, const ClaimNotice* claimNotice,
                            std::string& stranded, bool tried = false) {
  if (oldName == newName) {
    // Nothing to change; succeeds when the entry is there.
    struct stat st;
    return ::fstatat(dirFd, oldName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? RenameResult::Renamed
                                                                             : RenameResult::Failed;
  }
  const RenameResult result = tried ? RenameResult::TargetExists : RenameOnce(dirFd, oldName, newName, claimNotice);
  if (result != RenameResult::TargetExists) return result;
  // Inode numbers alone cannot tell a folded alias from another file (FUSE
  // file systems number each spelling apart); the listing can: the entry may
  // be the old one under a spelling the file system folds together when no
  // entry has exactly the new name.
  if (KnownToBeAnotherEntry(dirFd, oldName, newName) || listingHolds(newName)) return result;
  return RenameThroughTemporary(dirFd, oldName, newName, notice, claimNotice, stranded);
}

}  // namespace

bool ReadFolder(const std::string& folder, std::vector<Entry>& entries) {
  return ReadFolderMatching(folder, nullptr, entries);
}

namespace {

// One pass over a folder; `examine` fills in each wanted entry (false: the
// entry vanished and is left out).
template <typename ExamineFunction>
bool ReadWantedEntries(const std::string& folder, const std::function<bool(std::string_view)>& wanted,
                       ExamineFunction examine, std::vector<Entry>& entries) {
  entries.clear();
  FolderHandle handle(folder);
  if (!handle.IsOpen()) return false;
  while (const dirent* d = handle.Next()) {
    if (wanted && !wanted(d->d_name)) continue;
    Entry entry;
    if (examine(handle.Fd(), d, entry)) entries.push_back(std::move(entry));
  }
  return true;
}

}  // namespace

bool ReadFolderMatching(const std::string& folder, const std::function<bool(std::string_view)>& wanted,
                        std::vector<Entry>& entries) {
  return ReadWantedEntries(folder, wanted, Examine, entries);
}

bool ReadFolderKinds(const std::string& folder, std::vector<Entry>& entries) {
  return ReadFolderKinds(folder, nullptr, entries);
}

bool ReadFolderKinds(const std::string& folder, const std::function<bool(std::string_view)>& wanted,
                     std::vector<Entry>& entries) {
  return ReadWantedEntries(folder, wanted, ExamineKind, entries);
}

std::string FolderReadError(const std::string& folder) {
  if (HoldsZeroByte(folder)) return std::strerror(EINVAL);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return {};
}

bool ExamineEntry(const std::string& folder, Entry& entry) {
  if (HoldsZeroByte(folder) || HoldsZeroByte(entry.name)) return false;
  std::string path = folder.empty() ? std::string("/") : folder;
  if (path.back() != '/') path += '/';
  path += entry.name;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return false;
  entry.size = static_cast<std::int64_t>(st.st_size);
  entry.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec);
  entry.examined = true;
  return true;
}

bool IsExistingFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && !HoldsZeroByte(path) && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// The devices of the devtmpfs mounts, which statfs cannot tell from tmpfs.
std::unordered_set<dev_t> ReadDevtmpfsDevices() {
  std::unordered_set<dev_t> devices;
  std::FILE* mounts = std::fopen("/proc/self/mountinfo", "re");
  if (!mounts) return devices;
  char line[4096];
  while (std::fgets(line, sizeof line, mounts)) {
    // "id parent major:minor root mount-point options [optional...] - type source ..."
    unsigned major = 0, minor = 0;
    if (std::sscanf(line, "%*u %*u %u:%u", &major, &minor) != 2) continue;
    const char* separator = std::strstr(line, " - ");
    if (separator && std::strncmp(separator + 3, "devtmpfs ", 9) == 0) devices.insert(makedev(major, minor));
  }
  std::fclose(mounts);
  return devices;
}

}  // namespace

bool IsKernelPseudoFolder(const std::string& folder) {
  // No function-local object with a destructor here: a search worker left
  // blocked in a folder read may still call this after main has returned and
  // the statics are gone.
  static constexpr unsigned long kPseudoTypes[] = {
      0x9fa0,      // proc
      0x62656572,  // sysfs
      0x1cd1,      // devpts
      0x27e0eb,    // cgroup
      0x63677270,  // cgroup2
      0x64626720,  // debugfs
      0x74726163,  // tracefs
      0x73636673,  // securityfs
      0x6165676c,  // pstore
      0xcafe4a11,  // bpf
      0x62656570,  // configfs
      0x65735543,  // fusectl
      0x19800202,  // mqueue
      0x958458f6,  // hugetlbfs
      0x42494e4d,  // binfmt_misc
      0xf97cff8c,  // selinuxfs
      0xde5e81e4,  // efivarfs
      0x6e736673,  // nsfs
  };
  constexpr unsigned long kTmpfs = 0x01021994;
  struct statfs fs;
  if (folder.empty() || HoldsZeroByte(folder) || ::statfs(folder.c_str(), &fs) != 0) return false;
  const auto type = static_cast<unsigned long>(fs.f_type) & 0xffffffffUL;
  if (std::find(std::begin(kPseudoTypes), std::end(kPseudoTypes), type) != std::end(kPseudoTypes)) return true;
  if (type != kTmpfs) return false;
  static const std::unordered_set<dev_t>& devtmpfs = *new std::unordered_set<dev_t>(ReadDevtmpfsDevices());
  struct stat st;
  return !devtmpfs.empty() && ::stat(folder.c_str(), &st) == 0 && devtmpfs.contains(st.st_dev);
}

std::string WorkingFolder() {
  std::string folder(PATH_MAX, '\0');
  while (::getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) return {};
    folder.resize(folder.size() * 2);
  }
  folder.resize(std::strlen(folder.c_str()));
  return folder;
}

bool FolderHasSubfolders(const std::string& folder) {
  FolderHandle handle(folder);
  if (!handle.IsOpen()) return false;
  while (const dirent* d = handle.Next()) {
    Entry entry;
    if (ExamineKind(handle.Fd(), d, entry) && entry.isFolder) return true;
  }
  return false;
}

RenameResult RenameNoReplace(const std::string& folder, const std::string& oldName,
                             const std::string& newName) {
  // Both names stay inside the folder: nothing is ever moved elsewhere.
  if (!IsPlainPair(oldName, newName) || HoldsZeroByte(folder)) return RenameResult::Failed;

  // The usual case costs the rename call alone: full paths, no folder opened.
  // Paths past the system's limit are taken inside the opened folder.
  std::string prefix = folder.empty() ? std::string("/") : folder;
  if (prefix.back() != '/') prefix += '/';
  const std::string oldPath = prefix + oldName;
  const std::string newPath = prefix + newName;
  const bool shortPaths = oldPath.size() < PATH_MAX && newPath.size() < PATH_MAX;
  if (shortPaths) {
    if (oldName == newName) {
      struct stat st;
      return ::lstat(oldPath.c_str(), &st) == 0 ? RenameResult::Renamed : RenameResult::Failed;
    }
    const RenameResult result = RenameOnce(AT_FDCWD, oldPath, newPath);
    if (result != RenameResult::TargetExists) return result;
  }

  const FolderPath handle(folder);
  if (handle.Fd() < 0) return shortPaths ? RenameResult::TargetExists : RenameResult::Failed;
  const int dirFd = handle.Fd();
  std::string stranded;
  return RenameInFolder(
      dirFd, oldName, newName, [dirFd](const std::string& name) { return ListingHoldsExactly(dirFd, name); }, nullptr,
      nullptr, stranded, shortPaths);
}

RenameSession::~RenameSession() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

RenameResult RenameSession::Rename(const std::string& folder, const std::string& oldName,
                                   const std::string& newName) {
  stranded_.clear();
  errno = 0;  // a failure that sets no code leaves none of an earlier call behind
  if (handle_ < 0 || folder != folder_) {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    folder_ = folder;
    handle_ = HoldsZeroByte(folder)
                  ? -1
                  : ::open(folder.empty() ? "/" : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  }
  if (handle_ < 0 || !IsPlainPair(oldName, newName)) return RenameNoReplace(folder, oldName, newName);

  const int dirFd = static_cast<int>(handle_);
  const RenameResult result = RenameInFolder(
      dirFd, oldName, newName, [this, dirFd](const std::string& name) { return ListingHolds(dirFd, name); },
      temporaryNotice_, &claimNotice_, stranded_);
  if (oldName != newName) UpdateListing(oldName, newName, result);
  return result;
}

// Names other programs add or remove meanwhile are not seen; that can only
// make a later case-only rename fail or take the longer way, never replace a
// file.
bool RenameSession::ListingHolds(int dirFd, const std::string& name) {
  FolderNames& listing = listings_[folder_];
  if (!listing.readable) listing.readable = ReadNames(dirFd, listing.names);
  return !listing.readable || listing.names.count(name) != 0;  // cannot tell: assume the name is taken
}

void RenameSession::UpdateListing(const std::string& oldName, const std::string& newName, RenameResult result) {
  const auto it = listings_.find(folder_);
  if (it == listings_.end()) return;
  if (result == RenameResult::Renamed) {
    it->second.names.erase(oldName);
    it->second.names.insert(newName);
  } else if (result == RenameResult::Failed) {
    listings_.erase(it);  // the entry may stand under either name, or a temporary one
  }
}

bool ListingHoldsExactly(const std::string& folder, const std::string& name) {
  if (HoldsZeroByte(folder)) return true;
  const FolderPath handle(folder);
  return handle.Fd() < 0 || ListingHoldsExactly(handle.Fd(), name);
}

bool VisitNames(const std::string& folder, const std::function<bool(std::string_view)>& visit) {
  FolderHandle handle(folder);
  if (!handle.IsOpen()) return false;
  while (const dirent* d = handle.Next())
    if (!visit(d->d_name)) break;
  return true;
}

bool NameExists(const std::string& folder, const std::string& name) {
  if (HoldsZeroByte(folder) || HoldsZeroByte(name)) return false;
  std::string path = folder.empty() ? std::string("/") : folder;
  if (path.back() != '/') path += '/';
  path += name;
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

namespace {

// The name with the case of its ASCII letters swapped; empty when it has none.
std::string SwappedCase(std::string name) {
  bool letter = false;
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
      letter = true;
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
      letter = true;
    }
  }
  return letter ? name : std::string();
}

enum class Answer { Yes, No, CannotTell };

// Whether the entry `name` of the folder also answers to its other spelling.
Answer AnswersToSwappedCase(int dirFd, const std::string& name) {
  const std::string swapped = SwappedCase(name);
  struct stat original;
  struct stat other;
  if (swapped.empty() || ::fstatat(dirFd, name.c_str(), &original, AT_SYMLINK_NOFOLLOW) != 0)
    return Answer::CannotTell;
  if (::fstatat(dirFd, swapped.c_str(), &other, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT ? Answer::No : Answer::CannotTell;
  // One inode with one link is one entry; anything else (two entries, a hard
  // link, a FUSE volume that numbers each spelling apart) the listing tells.
  const bool sameEntry = original.st_dev == other.st_dev && original.st_ino == other.st_ino &&
                         (original.st_nlink == 1 || S_ISDIR(original.st_mode));
  if (sameEntry) return Answer::Yes;
  bool listed = false;
  if (!VisitNames(dirFd, [&](const char* n) { return !(listed = swapped == n); })) return Answer::CannotTell;
  return listed ? Answer::No : Answer::Yes;
}

}  // namespace

bool IgnoresLetterCase(const std::string& folder, const std::string& knownName) {
  if (HoldsZeroByte(folder) || HoldsZeroByte(knownName)) return false;
  const FolderPath handle(folder);
  if (handle.Fd() < 0) return false;
  Answer answer = knownName.empty() ? Answer::CannotTell : AnswersToSwappedCase(handle.Fd(), knownName);
  if (answer != Answer::CannotTell) return answer == Answer::Yes;
  // The first listed name with a letter serves; the listing is read no further.
  VisitNames(handle.Fd(), [&](const char* name) {
    if (SwappedCase(name).empty()) return true;
    answer = AnswersToSwappedCase(handle.Fd(), name);
    return answer == Answer::CannotTell;
  });
  return answer == Answer::Yes;
}

std::string RenameFailureReason(const std::string& folder, const std::string& oldName, const std::string& newName,
                                RenameResult result) {
  const int error = errno;
  if (result == RenameResult::TargetExists || error == EEXIST || error == ENOTEMPTY) return "name taken";
  if (!NameExists(folder, oldName)) return "no longer exists";
  switch (error) {
    case EACCES:
    case EPERM: return "permission denied";
    case EROFS: return "read-only file system";
    case ENOENT: return "no longer exists";
    case 0: break;
    default: return std::strerror(error);
  }
  // No code to go by: what the folder itself tells.
  if (NameExists(folder, newName)) return "name taken";
  const std::string where = folder.empty() ? std::string("/") : folder;
  struct statfs fs;
  if (::statfs(where.c_str(), &fs) == 0 && (fs.f_flags & ST_RDONLY)) return "read-only file system";
  if (::faccessat(AT_FDCWD, where.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return "permission denied";
  return "the system refused the rename";
}

bool DeleteFile(const std::string& path) {
  return !path.empty() && !HoldsZeroByte(path) && ::unlink(path.c_str()) == 0;
}

bool IsClaimUnchanged(const std::string& path, const ClaimIdentity& claim) {
  struct stat st;
  if (path.empty() || HoldsZeroByte(path) || ::lstat(path.c_str(), &st) != 0 || !IsEmptyClaim(st)) return false;
  const ClaimIdentity now = IdentityOf(st);
  return now.device == claim.device && now.inode == claim.inode && now.changed == claim.changed;
}

bool RemoveClaimIfUnchanged(const std::string& path, const ClaimIdentity& claim) {
  struct stat st;
  // A folder claim goes only while empty: rmdir refuses any other.
  return IsClaimUnchanged(path, claim) && ::lstat(path.c_str(), &st) == 0 &&
         (S_ISDIR(st.st_mode) ? ::rmdir(path.c_str()) : ::unlink(path.c_str())) == 0;
}

namespace {

// Whether the entry's status changed when a claim made right after an intent
// recorded at `intendedAt` would show. Volumes that keep whole seconds
// (exFAT through FUSE; FAT keeps two) give a time rounded down by up to two
// seconds, and the kernel stamps entries from a clock that lags a tick
// behind the one read for the intent; a time more than a few seconds after
// the intent is another entry's (the claim follows its intent at once).
bool ChangedAsAClaim(const struct stat& st, std::uint64_t intendedAt) {
  constexpr std::uint64_t kSecond = 1000000000u;
  const std::uint64_t changed = ChangeTime(st);
  const std::uint64_t earliest = st.st_ctim.tv_nsec == 0 ? intendedAt / (2 * kSecond) * (2 * kSecond)
                                                         : intendedAt - std::min(intendedAt, kSecond / 50);
  return changed >= earliest && changed <= intendedAt + 5 * kSecond;
}

// Why folder/name is not a claim left from an intent at `intendedAt` (and
// recorded as `made`, if not null); empty when it is one. `found` tells
// whether anything stands there, and `st` is what was examined.
std::string NotALeftoverClaim(int dirFd, const std::string& name, const std::string& from, std::uint64_t intendedAt,
                              const ClaimIdentity* made, bool& found, struct stat& st) {
  found = false;
  struct stat source;
  if (!IsPlainPair(from, name) || from == name || ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return {};
  found = true;
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return "it is neither a file nor a folder";
  if (S_ISREG(st.st_mode) && st.st_size != 0) return "it is not empty";
  if (S_ISREG(st.st_mode) && st.st_nlink != 1) return "it has other links";
  if (st.st_uid != ::geteuid()) return "it belongs to another user";
  if (!ChangedAsAClaim(st, intendedAt) ||
      (made && (static_cast<std::uint64_t>(st.st_dev) != made->device || ChangeTime(st) != made->changed)))
    return "its time does not match that rename's";
  if (::fstatat(dirFd, from.c_str(), &source, AT_SYMLINK_NOFOLLOW) != 0)
    return "the entry that was to take its name is gone";
  if (S_ISDIR(source.st_mode) != S_ISDIR(st.st_mode)) return "it is another kind of entry than that rename claims";
  // A volume that folds case may answer to one name with the entry of the
  // other: only two entries the folder lists under exactly these names are two.
  bool listsName = false, listsFrom = false;
  VisitNames(dirFd, [&](const char* listed) {
    listsName = listsName || name == listed;
    listsFrom = listsFrom || from == listed;
    return !(listsName && listsFrom);
  });
  if ((source.st_dev == st.st_dev && source.st_ino == st.st_ino) || !listsName || !listsFrom)
    return "it may be the entry itself under another spelling";
  return {};
}

}  // namespace

bool IsLeftoverClaim(const std::string& folder, const std::string& name, const std::string& from,
                     std::uint64_t intendedAt, const ClaimIdentity* made, std::string* whyNot) {
  if (whyNot) whyNot->clear();
  if (HoldsZeroByte(folder)) return false;
  const FolderPath handle(folder);
  bool found = false;
  struct stat st;
  const std::string why =
      handle.Fd() < 0 ? std::string() : NotALeftoverClaim(handle.Fd(), name, from, intendedAt, made, found, st);
  if (whyNot) *whyNot = why;
  return found && why.empty();
}

bool RemoveLeftoverClaim(const std::string& folder, const std::string& name, const std::string& from,
                         std::uint64_t intendedAt, const ClaimIdentity* made) {
  if (HoldsZeroByte(folder)) return false;
  const FolderPath handle(folder);
  bool found = false;
  struct stat examined;
  // The checks read the whole folder, which takes a while: whatever was
  // written to the name meanwhile (its size or its change time tells) stays.
  return handle.Fd() >= 0 && NotALeftoverClaim(handle.Fd(), name, from, intendedAt, made, found, examined).empty() &&
         found && RemoveClaimIfUnchanged(Paths::WithTrailingDelimiter(folder) + name, IdentityOf(examined));
}

}  // namespace FileSystem
