#include "pipeline/files.h"

#include "platform/fs.h"

namespace qm {

int ReadSourceFile(std::u16string_view path, SourceLines& lines) {
  std::string bytes;
  if (const int error = fs::ReadFile(path, bytes); error != 0) return error;
  lines = SourceLines::FromBytes(bytes);
  return 0;
}

int WriteOutputFile(std::u16string_view path, const SourceLines& lines,
                    const TranslatedLines& translated, SpliceResult* result) {
  return fs::WriteFileAtomically(path, [&](const fs::ByteSink& sink) {
    return EncodeOutput(lines, translated, sink, result);
  });
}

}  // namespace qm
