#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The read and write loops of the platform layer, one of each per build. A
// handle is a file descriptor on POSIX and a HANDLE in the Windows build.
namespace SystemIo {

// Writes all of `data` where the file's position is (its end when it was
// opened for appending), going on after short writes and interruptions.
// False with the system's reason.
bool WriteAll(std::intptr_t handle, std::string_view data, std::string& reason);

// The file's last `count` bytes (all of it when it is shorter); fewer when
// it shrinks meanwhile. False with the system's reason.
bool ReadTail(std::intptr_t handle, std::size_t count, std::string& data, std::string& reason);

}  // namespace SystemIo
