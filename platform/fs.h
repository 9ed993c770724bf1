// File-system access for the pipeline and the tools. Paths are UTF-16 in
// memory and converted to the system's form inside the implementation.
// Every operation reports failure through its result (a std::error_code:
// the system's codes in the system category, the program's own FileError
// codes beside them; empty for success); none throws.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <system_error>
#include <string_view>
#include <vector>

#include "text/encoding.h"

namespace qm::fs {

#ifdef _WIN32
inline constexpr char16_t kSeparator = u'\\';
#else
inline constexpr char16_t kSeparator = u'/';
#endif

struct FolderEntry {
  std::u16string name;
  bool regular_file = false;  // a plain file (after following a link), not a folder, pipe or device
  bool folder = false;        // a folder itself, not a link to one
};

// Failures of the program's own checks, beside the system's error codes.
enum class FileError {
  ReadOnly = 1,   // the target has no write bit set
  ForeignLink,    // the target is a link owned by another user
  ChangedOnDisk,  // the target changed since it was read
  TooLarge,       // not enough memory for the file
};
const std::error_category& FileErrorCategory();
inline std::error_code make_error_code(FileError error) {
  return {static_cast<int>(error), FileErrorCategory()};
}

// A system error code (errno on POSIX, GetLastError() on Windows).
inline std::error_code SystemError(int code) { return {code, std::system_category()}; }

// What an error means, in the system's words for its own codes (the text
// strerror or FormatMessage gives) and the program's words for FileError.
std::u16string ErrorText(const std::error_code& error);

// The entries of a folder in the order the system lists them, "." and ".."
// left out. Returns the error, none on success.
std::error_code ListFolder(std::u16string_view folder, std::vector<FolderEntry>& entries);

// What identifies a file and its content as it was read: the file itself
// (device and inode, or volume and file index), its size and the time of
// its last change.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  std::int64_t size = -1;  // -1: no stamp
  std::int64_t modified = 0;
  bool valid() const { return size >= 0; }
  // True when this is the file `read` describes, and its size or time of
  // last change is not what it was then.
  bool ChangedSince(const FileStamp& read) const {
    return valid() && read.valid() && device == read.device && file == read.file &&
           (size != read.size || modified != read.modified);
  }
};

// Reads a whole file. `bytes` (and `stamp`, when given) are replaced only on
// success. Running out of memory is FileError::TooLarge, never an exception.
std::error_code ReadFile(std::u16string_view path, std::string& bytes, FileStamp* stamp = nullptr);

// Writes a file so that it is whole at every moment: the bytes go to a new
// file beside the target (".qm-" and six random letters, created readable
// by this user only), which is flushed to disk and then renamed over the
// target. When anything fails the target is left as it was and the new file
// is removed; such files left by a killed write are removed once they are
// an hour old, before the next write into the folder. An existing target
// keeps its owner, mode (set-id bits included, where the system allows) and
// extended attributes (ACLs included); a hard link cannot survive the
// rename. The target is not replaced when
//  - no write bit of its mode is set (FileError::ReadOnly), for root as well;
//  - it is a symbolic link owned by another user (FileError::ForeignLink); one
//    of this user's links is followed, so the link survives;
//  - it is the file `read` describes and its size or time of last change
//    differs from then (FileError::ChangedOnDisk): an edit made since the read
//    is not overwritten.
// `produce` writes the content through the sink it is given and returns
// false to abandon the write. `reason`, when given, receives the whole
// reason for a failure of the program's own checks (naming the file).
std::error_code WriteFileAtomically(std::u16string_view path,
                                    const std::function<bool(const ByteSink&)>& produce,
                                    const FileStamp* read = nullptr,
                                    std::u16string* reason = nullptr);
std::error_code WriteFileAtomically(std::u16string_view path, std::string_view bytes);

// For the file layers: hands `produce` a sink that writes through
// `write_all` (which returns a system error code, 0 on success), and turns
// what goes wrong into an error: the sink's failure, `cancelled` (a system
// code) when the producer gives up, FileError::TooLarge when it runs out of
// memory.
std::error_code ProduceInto(const std::function<bool(const ByteSink&)>& produce,
                            const std::function<int(std::string_view)>& write_all,
                            int cancelled);

// The prefix and length of the temporary files of WriteFileAtomically.
inline constexpr std::u16string_view kTemporaryPrefix = u".qm-";
inline constexpr std::size_t kTemporaryNameLength = 10;

// Creates a folder (mode 0777 less the umask) unless it exists already.
std::error_code CreateFolder(std::u16string_view folder);

// Makes sure `folder` is a folder that only this user can enter: creates it
// (mode 0700) when missing, and tightens the mode of one that is ours.
// Refuses a link, a folder of another user, or anything that is not a
// folder. Returns the error, none on success.
std::error_code EnsurePrivateFolder(std::u16string_view folder);

// This user's private folder for Quillmark's scratch files:
// $XDG_CACHE_HOME/quillmark, or ~/.cache/quillmark when that is unset.
// Created when missing; "" when there is no safe one.
std::u16string PrivateScratchFolder();

// Writes a small file that only this user may read (mode 0600), replacing
// its content. Never follows a link and never opens anything but a plain
// file. Returns the error, none on success.
std::error_code WritePrivateFile(std::u16string_view path, std::string_view bytes);


// The program's arguments (argv[0] included) as the system holds them:
// UTF-16 on Windows, bytes kept losslessly on POSIX.
std::vector<std::u16string> CommandLine(int argc, char** argv);

// Standard output passes bytes through unchanged (no CR LF translation).
void UseBinaryStandardOutput();

// Writes UTF-8 text to standard error: as UTF-16 to a Windows console (so it
// reads right whatever the console's code page), as the bytes elsewhere.
void WriteStandardError(std::string_view utf8);

// Joins a folder and a file name with exactly one separator between them
// (an empty folder gives the bare name).
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

}  // namespace qm::fs

template <>
struct std::is_error_code_enum<qm::fs::FileError> : std::true_type {};
