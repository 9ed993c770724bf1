// File-system access for the pipeline and the tools. Paths are UTF-16 in
// memory and converted to the system's form inside the implementation.
// Every operation reports failure through its result (a system error code,
// 0 for success); none throws.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::fs {

#ifdef _WIN32
inline constexpr char16_t kSeparator = u'\\';
#else
inline constexpr char16_t kSeparator = u'/';
#endif

struct FolderEntry {
  std::u16string name;
  bool regular_file = false;  // a plain file (after following a link), not a folder, pipe or device
};

// The entries of a folder in the order the system lists them, "." and ".."
// left out. Returns a system error code, 0 on success.
int ListFolder(std::u16string_view folder, std::vector<FolderEntry>& entries);

// Reads a whole file. `bytes` is replaced only on success.
int ReadFile(std::u16string_view path, std::string& bytes);

// Writes a file so that it is whole at every moment: the bytes go to a new
// file beside the target, which is flushed to disk and then renamed over the
// target. When anything fails the target is left as it was and the new file
// is removed. A target that is a link is resolved, so the link survives; an
// existing target keeps its permission bits. `produce` writes the content
// through the sink it is given and returns false to abandon the write.
using ByteSink = std::function<bool(std::string_view)>;
int WriteFileAtomically(std::u16string_view path,
                        const std::function<bool(const ByteSink&)>& produce);
int WriteFileAtomically(std::u16string_view path, std::string_view bytes);

// Makes sure `folder` is a folder that only this user can enter: creates it
// (mode 0700) when missing, and tightens the mode of one that is ours.
// Refuses a link, a folder of another user, or anything that is not a
// folder. Returns a system error code, 0 on success.
int EnsurePrivateFolder(std::u16string_view folder);

// This user's private folder for Quillmark's scratch files:
// $XDG_CACHE_HOME/quillmark, or ~/.cache/quillmark when that is unset.
// Created when missing; "" when there is no safe one.
std::u16string PrivateScratchFolder();

// Writes a small file that only this user may read (mode 0600), replacing
// its content. Never follows a link and never opens anything but a plain
// file. Returns a system error code, 0 on success.
int WritePrivateFile(std::u16string_view path, std::string_view bytes);

// The system's text for an error code (as the system words it).
std::u16string ErrorText(int code);

// The program's arguments (argv[0] included) as the system holds them:
// UTF-16 on Windows, bytes kept losslessly on POSIX.
std::vector<std::u16string> CommandLine(int argc, char** argv);

// Standard output passes bytes through unchanged (no CR LF translation).
void UseBinaryStandardOutput();

// Joins a folder and a file name with exactly one separator between them
// (an empty folder gives the bare name).
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

}  // namespace qm::fs
