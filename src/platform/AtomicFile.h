#pragma once

#include <string>
#include <string_view>
#include <vector>

// Replaces (or creates) a file with `content` so that readers see either the
// old file whole or the new one whole: a temporary file in the same folder,
// flushed to disk, then renamed over the target. On failure `error` holds the
// system's reason and the old file is untouched.
bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error);
// The same with the content given as pieces, written one after the other, so
// that a large text need not be joined into one string first.
bool WriteFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces, std::string& error);

// How a file is replaced. Shared (settings): a symbolic link at the path
// stays a link and its target gets the content; the new file keeps the
// permission bits of the one it replaces. Private (the undo file, which names
// the user's files): the file at the path itself is replaced, a symbolic link
// there included, never what a link points at, and the new file can be read
// by its owner alone (0600, on POSIX).
enum class FileKind { Shared, Private };
bool WriteFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces, std::string& error,
                         FileKind kind);

// Removes what a write of `path` that was cut short (the process killed)
// left beside it: temporary files of processes that no longer run.
void RemoveInterruptedWrites(const std::string& path);
