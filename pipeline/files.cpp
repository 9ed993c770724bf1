#include "pipeline/files.h"

#include <new>
#include <utility>

namespace qm {

std::error_code ReadSourceFile(std::u16string_view path, SourceLines& lines, fs::FileStamp* stamp) {
  std::string bytes;
  if (const std::error_code error = fs::ReadFile(path, bytes, stamp)) return error;
  try {
    lines = SourceLines::FromBytes(std::move(bytes));
  } catch (const std::bad_alloc&) {
    return fs::FileError::TooLarge;
  }
  return {};
}

std::error_code WriteOutputFile(std::u16string_view path, const SourceLines& lines,
                                const TranslatedLines& translated, SpliceResult* result,
                                const fs::FileStamp* read, std::u16string* reason) {
  return fs::WriteFileAtomically(
      path,
      [&](const ByteSink& sink) { return EncodeOutput(lines, translated, sink, result); },
      read, reason);
}

}  // namespace qm
