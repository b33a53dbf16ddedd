#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The system calls the rename journal makes, for both builds. Paths are
// UTF-8 (the file system's bytes on POSIX); the Windows half refuses a path
// with a zero byte or bytes that are not UTF-8, as FileSystem does.
namespace JournalFiles {

// One open journal file. Closed (and so unlocked) when the object goes.
class File {
 public:
  enum class Mode {
    CreateNew,  // create for appending; fails when the name is taken
    Append,     // an existing file, read and appended to
    Read,       // an existing file, read only
  };

  File() = default;
  ~File() { Close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // False with the system's reason; `NameTaken` tells a CreateNew that
  // failed because the name exists.
  bool Open(const std::string& path, Mode mode, std::string& reason);
  bool IsOpen() const { return handle_ != -1; }
  bool NameTaken() const { return nameTaken_; }
  void Close();

  // An exclusive lock for as long as the file is open, advisory as flock:
  // it keeps other lockers out, not readers. `wait` false: fails at once
  // when another open file holds it.
  bool Lock(bool wait);
  bool WriteAll(const std::string& data, std::string& reason);
  // The data written so far is on disk (fdatasync / FlushFileBuffers);
  // `withSize` also the file's size and other metadata (fsync).
  bool Sync(bool withSize, std::string& reason);
  // The whole file from its start.
  bool ReadAll(std::string& data, std::string& reason);
  // The file's last `size` bytes (all of it when it is shorter).
  bool ReadTail(std::size_t size, std::string& data, std::string& reason);
  // Cuts the file to its first `size` bytes.
  bool Truncate(std::uint64_t size, std::string& reason);

 private:
  std::intptr_t handle_ = -1;  // a descriptor, or a HANDLE in the Windows build
  bool nameTaken_ = false;
};

// Creates the folder and the missing folders above it (on POSIX for this
// user only). False with the system's reason, also when something else than
// a folder stands there.
bool MakeFolders(const std::string& folder, std::string& reason);
// Makes the folder's new entries durable where the system needs it.
void SyncFolder(const std::string& folder);
// Whether anything stands at the path (a symbolic link itself counts).
bool Exists(const std::string& path);
std::uint64_t ProcessId();

}  // namespace JournalFiles
