#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The system calls the rename journal makes, for both builds. Paths are
// UTF-8 (the file system's bytes on POSIX); the Windows half refuses a path
// with a zero byte or bytes that are not UTF-8, as FileSystem does.
namespace JournalFiles {

// No journal may grow beyond this, and none larger is read. A run writes
// about 13 bytes per entry plus its old and new names (and each folder once),
// so a 100,000-file run of ordinary names takes a few MiB; 256 MiB holds
// half a million entries with the longest names a file system allows, or
// some four million ordinary ones, a run whose preview alone would need
// gigabytes of memory in the window. A larger file was not written by this
// program, and reading it would only stall the start.
inline constexpr std::uint64_t kMaxJournalSize = std::uint64_t(256) << 20;

// One open journal file. Closed (and so unlocked) when the object goes.
class File {
 public:
  enum class Mode {
    CreateNew,  // create for appending; fails when the name is taken
    Append,     // an existing file, read and appended to
    Read,       // an existing file, read only
    Counter,    // a small file read and rewritten whole, created when missing
  };

  File() = default;
  ~File() { Close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // False with the system's reason; `NameTaken` tells a CreateNew that
  // failed because the name exists. An existing file is opened only when it
  // can be trusted: a regular file of this user, no symbolic link, no larger
  // than kMaxJournalSize (on POSIX; the Windows build checks kind and size).
  // Opening never blocks, whatever stands at the path.
  bool Open(const std::string& path, Mode mode, std::string& reason);
  bool IsOpen() const { return handle_ != -1; }
  bool NameTaken() const { return nameTaken_; }
  void Close();

  // An exclusive lock for as long as the file is open, advisory as flock:
  // it keeps other lockers out, not readers. `wait` false: fails at once
  // when another open file holds it. False only then: where the file system
  // cannot lock (NFS refuses an exclusive lock on a file opened for reading,
  // some volumes none at all) the file counts as held by no one.
  bool Lock(bool wait);
  // Appends; refused (the file unchanged) when the file would grow beyond
  // kMaxJournalSize.
  bool WriteAll(const std::string& data, std::string& reason);
  // Replaces the whole content (Counter files).
  bool Rewrite(const std::string& data, std::string& reason);
  // The data written so far is on disk (fdatasync / FlushFileBuffers);
  // `withSize` also the file's size and other metadata (fsync).
  bool Sync(bool withSize, std::string& reason);
  // The whole file from its start, at most kMaxJournalSize bytes (a file
  // grown beyond that meanwhile fails).
  bool ReadAll(std::string& data, std::string& reason);
  // The file's last `size` bytes (all of it when it is shorter).
  bool ReadTail(std::size_t size, std::string& data, std::string& reason);
  // Cuts the file to its first `size` bytes.
  bool Truncate(std::uint64_t size, std::string& reason);

 private:
  std::intptr_t handle_ = -1;  // a descriptor, or a HANDLE in the Windows build
  bool nameTaken_ = false;
  std::uint64_t size_ = 0;  // the size as last seen or written
};

// Creates the folder and the missing folders above it (on POSIX for this
// user only). False with the system's reason, also when something else than
// a folder stands there.
bool MakeFolders(const std::string& folder, std::string& reason);
// Makes the folder's new entries durable where the system needs it.
void SyncFolder(const std::string& folder);
// Whether anything stands at the path (a symbolic link itself counts).
bool Exists(const std::string& path);
// Whether the folder can hold this user's journals without others reading or
// changing them (POSIX). Every folder from the root down to it must belong to
// this user or to root, and none may be a symbolic link of another user;
// none may be writable by others, except a sticky folder above it such as
// /tmp (others can add entries there but not remove or rename this user's),
// and group write on a folder of the user's own private group (a group of
// the user's name with no other members, as systems with private user groups
// and umask 002 make them). The folder itself must belong to the user. False
// with the reason, naming the folder. The Windows build trusts the folder
// (the user's profile is protected by its access lists).
bool IsPrivateFolder(const std::string& folder, std::string& reason);
std::uint64_t ProcessId();

}  // namespace JournalFiles
