// Reading a source file and writing its translated copy.
#pragma once

#include <string>
#include <string_view>

#include "pipeline/source_lines.h"
#include "pipeline/splice.h"
#include "platform/fs.h"

namespace qm {

// Reads and splits a source file; returns the error, none on success.
// `stamp`, when given, receives what identifies the file as read.
// A file too large for the memory left is fs::FileError::TooLarge.
std::error_code ReadSourceFile(std::u16string_view path, SourceLines& lines,
                               fs::FileStamp* stamp = nullptr);

// Writes the spliced lines as an output file, replacing any file of that
// name only once the new content is complete on disk, and never a file
// that changed since it was read as `read` describes (see
// fs::WriteFileAtomically, which also says what `reason` receives).
// Returns the error, none on success.
std::error_code WriteOutputFile(std::u16string_view path, const SourceLines& lines,
                    const TranslatedLines& translated, SpliceResult* result = nullptr,
                    const fs::FileStamp* read = nullptr, std::u16string* reason = nullptr);

}  // namespace qm
