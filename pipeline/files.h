// Reading a source file and writing its translated copy.
#pragma once

#include <string>
#include <string_view>

#include "pipeline/source_lines.h"
#include "pipeline/splice.h"

namespace qm {

// Reads and splits a source file; returns a system error code, 0 on success.
int ReadSourceFile(std::u16string_view path, SourceLines& lines);

// Writes the spliced lines as an output file, replacing any file of that
// name only once the new content is complete on disk. Returns a system
// error code, 0 on success.
int WriteOutputFile(std::u16string_view path, const SourceLines& lines,
                    const TranslatedLines& translated, SpliceResult* result = nullptr);

}  // namespace qm
