#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The few operating-system calls of the program. Paths are the exact bytes the
// file system uses; nothing is decoded on the way.
namespace FileSystem {

struct Entry {
  std::string name;        // never "." or ".."
  bool isFolder = false;   // a folder, or a symbolic link whose target is a folder
  bool isSymlink = false;  // the entry itself is a symbolic link
  std::int64_t size = 0;   // lstat size (a link's own size)
  std::int64_t modified = 0;  // lstat modification time, seconds since the epoch
  bool examined = true;    // size and modified are known (see ExamineEntry)
  bool isHiddenOrSystem = false;  // Windows attributes; always false on Linux
};

// Every entry of the folder but "." and "..", in the order the file system
// returns them. False (and no entries) when the folder cannot be read.
bool ReadFolder(const std::string& folder, std::vector<Entry>& entries);

// As ReadFolder, but only the entries whose name `wanted` accepts are kept,
// and only those are examined further (one pass, for large folders).
bool ReadFolderMatching(const std::string& folder, const std::function<bool(std::string_view)>& wanted,
                        std::vector<Entry>& entries);

// As ReadFolder, but only the kinds are filled in (size and modified stay 0),
// which spares a status call per entry where the folder listing tells the kind.
bool ReadFolderKinds(const std::string& folder, std::vector<Entry>& entries);
// The same, keeping only the names `wanted` accepts.
bool ReadFolderKinds(const std::string& folder, const std::function<bool(std::string_view)>& wanted,
                     std::vector<Entry>& entries);

// Why the folder cannot be read (the system's reason, "Permission denied");
// empty when it can be.
std::string FolderReadError(const std::string& folder);

// Fills in the size and modification time of an entry read without them.
// False (the entry unchanged) when it can no longer be examined.
bool ExamineEntry(const std::string& folder, Entry& entry);

// True when the path names an existing folder (following symbolic links).
bool IsExistingFolder(const std::string& path);

// True when the folder lies on one of the kernel's own file systems (proc,
// sysfs, devtmpfs, devpts, cgroup, debugfs, tracefs, ...), whose folders
// hold no user files and can be endless or block. Always false on Windows.
bool IsKernelPseudoFolder(const std::string& folder);

// The process's working folder; empty when it cannot be told.
std::string WorkingFolder();

// True as soon as the folder holds one subfolder (links to folders count).
bool FolderHasSubfolders(const std::string& folder);

enum class RenameResult { Renamed, TargetExists, Failed };

// Where the no-replace flag is refused, a rename first claims its new name
// with an empty entry (see RenameNoReplace). The claim's identity, as a
// journal records it: device and inode number, and the time of its last
// status change in nanoseconds, which no one can set back (POSIX; the
// Windows build makes no claims).
struct ClaimIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t changed = 0;
};

// One step of a claim, as a RenameSession tells it. A process killed between
// making a claim and recording it leaves an empty entry that only the
// recorded intent tells (see IsLeftoverClaim).
struct ClaimEvent {
  enum class Step { Intended, Made, NotMade };
  Step step = Step::Intended;
  std::string_view name;  // the name claimed
  std::string_view from;  // the entry to be renamed onto it, in the same folder
  // Intended: the system clock (nanoseconds since the epoch, as status-change
  // times count), read before the claim is made.
  std::uint64_t intendedAt = 0;
  ClaimIdentity claim;  // Made: the claim's identity
};

// Renames folder/oldName to folder/newName without ever replacing an existing
// entry, atomically where the kernel allows it (renameat2 RENAME_NOREPLACE,
// test-then-rename where the file system refuses the flag). A change of
// letter case alone also works on file systems that fold case. Files and
// folders alike.
RenameResult RenameNoReplace(const std::string& folder, const std::string& oldName,
                             const std::string& newName);

// Renames many entries in a row with the guarantees of RenameNoReplace. The
// last folder stays open, so that consecutive entries of one folder cost the
// rename call alone and are all renamed inside that same folder. Where a
// folder's listing is needed (a taken name on a volume that may fold case),
// it is read once per folder and session, and kept up to date with the
// session's own renames.
class RenameSession {
 public:
  RenameSession() = default;
  ~RenameSession();
  RenameSession(const RenameSession&) = delete;
  RenameSession& operator=(const RenameSession&) = delete;
  RenameResult Rename(const std::string& folder, const std::string& oldName, const std::string& newName);

  // Where the file system folds letter case, a change of case alone moves the
  // entry aside under a temporary name in its folder
  // (".quillon-<pid>-<16 hex digits>.tmp") and then to its new name. `notice`
  // is called with that temporary name before the entry is moved there, so
  // that a caller can record it durably first; when it answers false the
  // entry is left as it is and the rename fails.
  void SetTemporaryNameNotice(std::function<bool(const std::string& temporary)> notice) {
    temporaryNotice_ = std::move(notice);
  }
  // `notice` hears of each name the session claims (an empty entry, where
  // the file system refuses the no-replace flag), so that a caller can record
  // it: first that the claim is intended, before it is made; then either
  // that it was made, with its identity, before anything is renamed onto it,
  // or that it was not (the name was taken). When it answers false to the
  // first two, the claim is not made or goes again, and the rename fails.
  using ClaimNotice = std::function<bool(const ClaimEvent& event)>;
  void SetClaimNotice(ClaimNotice notice) { claimNotice_ = std::move(notice); }
  // After a Rename that failed: the temporary name under which the entry still
  // stands because neither its new name nor (after a retry) its old name could
  // be given back. Empty when the entry kept or regained its old name.
  const std::string& StrandedName() const { return stranded_; }

 private:
  // A folder's names as listed and then changed by this session's renames.
  struct FolderNames {
    bool readable = false;
    std::unordered_set<std::string> names;
  };
  bool ListingHolds(int dirFd, const std::string& name);
  void UpdateListing(const std::string& oldName, const std::string& newName, RenameResult result);

  std::string folder_;
  long handle_ = -1;  // the open folder (a descriptor on POSIX), -1 when none
  std::unordered_map<std::string, FolderNames> listings_;
  std::function<bool(const std::string&)> temporaryNotice_;
  ClaimNotice claimNotice_;
  std::string stranded_;
};

// Whether the folder's listing holds an entry with exactly these bytes as its
// name (a volume that folds case answers to other spellings too; its listing
// does not). True also when the folder cannot be read: the name may be taken.
bool ListingHoldsExactly(const std::string& folder, const std::string& name);

// Calls `visit` with each name the folder lists ("." and ".." left out), in
// the listing's order, until it answers false. False when the folder cannot
// be read.
bool VisitNames(const std::string& folder, const std::function<bool(std::string_view)>& visit);

// True when folder/name names an entry (a symbolic link by itself, never
// followed). Where the volume ignores letter case, any spelling of the name
// answers. False also when it cannot be told (the folder is gone or closed).
bool NameExists(const std::string& folder, const std::string& name);

// True when the folder's volume takes names that differ in letter case alone
// for one name (vfat, exFAT, NTFS through ntfs3, SMB shares; a case-folding
// ext4 folder). Linux asks the volume itself, creating nothing: a name the
// folder holds (`knownName` when it holds that one, else the first name with
// an ASCII letter its listing gives) is looked up with the case of its ASCII
// letters swapped. A folder with no such name counts as case-sensitive.
// Windows: always true.
bool IgnoresLetterCase(const std::string& folder, const std::string& knownName = {});

// Why the rename of folder/oldName to newName that just gave `result` (not
// Renamed) failed, in words for the user: "name taken", "no longer exists",
// "permission denied", "read-only file system", or the system's own text for
// anything else. Reads the system's error code of the failed call, so it
// must be called right after it, before any other system call.
std::string RenameFailureReason(const std::string& folder, const std::string& oldName, const std::string& newName,
                                RenameResult result);

// One entry a run (or its undo) could not rename: the entry's full path as it
// stands, the name it was to get, and why not (RenameFailureReason).
struct FailedRename {
  std::string path;
  std::string newName;
  std::string reason;
};

// Appends the rename of folder/oldName to newName that just gave `result`,
// with its RenameFailureReason; call it right after the failed rename. A
// record that cannot be made for want of memory is left out: it only tells.
void NoteFailure(std::vector<FailedRename>& failed, const std::string& folder, const std::string& oldName,
                 const std::string& newName, RenameResult result) noexcept;

// Deletes one file outright (not into a waste bin). False on failure.
bool DeleteFile(const std::string& path);

// A process killed between claiming a name and renaming onto it leaves the
// claim behind. True when what stands at the path is still that claim: the
// same entry, still empty.
bool IsClaimUnchanged(const std::string& path, const ClaimIdentity& claim);
// Removes the claim when it is unchanged; true when it went.
bool RemoveClaimIfUnchanged(const std::string& path, const ClaimIdentity& claim);

// Whether folder/name can only be the claim a process made after recording
// the intent to claim it (at `intendedAt`, see ClaimEvent), when a kill came
// before the claim was recorded (`made` null) or before the rename onto it
// (`made` its record; a FUSE volume may number it anew since): an empty
// regular file with one link (an empty folder, when folder/from is one),
// this user's, whose status changed no earlier than the intent (within the
// volume's timestamp precision) and at most a few seconds after it (exactly
// when `made` tells), while the entry that was to be renamed onto it still
// stands at folder/from, another entry, and the folder lists both names
// exactly. False, with why in `whyNot` (words for the user) when anything
// else stands there; empty when nothing does.
bool IsLeftoverClaim(const std::string& folder, const std::string& name, const std::string& from,
                     std::uint64_t intendedAt, const ClaimIdentity* made, std::string* whyNot = nullptr);
// Removes it when IsLeftoverClaim; true when it went.
bool RemoveLeftoverClaim(const std::string& folder, const std::string& name, const std::string& from,
                         std::uint64_t intendedAt, const ClaimIdentity* made);

enum class TailResult { Read, CannotOpen };
// Reads the last `count` bytes of a file (all of it when shorter) into `bytes`.
TailResult ReadFileTail(const std::string& path, std::size_t count, std::string& bytes);

}  // namespace FileSystem
