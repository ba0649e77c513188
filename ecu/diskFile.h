#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Whole-file reads and safe saves of small files such as vehicle profiles. File names are UTF-8.

enum class TDiskRead { Missing, Loaded, Failed };

// The largest file read whole; real profiles are a few kilobytes.
inline constexpr std::size_t kMaxDiskFileBytes = std::size_t {16} << 20;

// Reads the whole file. Missing: nothing at that path; Failed: it exists but is no regular file,
// cannot be read, or is larger than kMaxDiskFileBytes.
[[nodiscard]] TDiskRead ReadDiskFile(const std::string &fileName, std::string &text);

// Makes text the whole content of the file, creating it when missing. False when the file cannot
// be written; the old content is then what the file holds. A file larger than kMaxDiskFileBytes is
// not written over: it is no profile.
//
// - A file marked read-only (no write permission bit, the read-only attribute on Windows) is
//   refused, whoever runs the program.
// - A symbolic link is followed: its target gets the content and the link stays a link.
// - Normally the content goes to a new file beside the old one, is flushed to the disk, and
//   replaces the old file in one step, which keeps its owner, group, permissions and extended
//   attributes (an access control list among them); a failed or interrupted save leaves the old
//   file or the new one, whole.
// - A file with more than one hard link, a file whose owner or extended attributes a new file
//   could not keep, and a file in a folder where no new file can be made are written in place
//   instead, with the guarantee stated at SaveInPlace in the source.
[[nodiscard]] bool SaveDiskFile(const std::string &fileName, std::string_view text);

// The device that holds the folder of a file, to tell a medium that is gone (a stick pulled, its
// mount point left empty) from the one a profile was read from; nothing where it is not known.
std::optional<std::uint64_t> FolderDevice(const std::string &fileName);
