// Gathering the project's source files from a folder.
#pragma once

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/fs.h"

namespace qm {

// True when `name` ends in "." followed by `extension`, compared exactly and
// case-sensitively ("main.pb" matches "pb"; "MAIN.PB" and "main.pbi" do not).
bool MatchesExtension(std::u16string_view name, std::u16string_view extension);

// Appends to `files` the full path of every plain file lying directly in
// `folder` whose name matches `extension`, in the order the system lists
// them. Subfolders (and pipes, devices, broken links) are skipped; a folder
// that cannot be listed adds nothing. The folder gets one trailing separator
// when it has none.
void CollectFiles(std::u16string_view folder, std::vector<std::u16string>& files,
                  std::u16string_view extension);

// The project's files among `entries`, the listing of `folder`: the full
// path of every plain "pbi" file, then of every plain "pb" file, each group
// in listing order.
std::vector<std::u16string> ProjectFilesIn(std::u16string_view folder,
                                           const std::vector<fs::FolderEntry>& entries);

// The project's files in `folder` (listed once). A folder that cannot be
// listed adds what it gave; `error`, when given, receives why.
std::vector<std::u16string> CollectProjectFiles(std::u16string_view folder,
                                                std::error_code* error = nullptr);

}  // namespace qm
