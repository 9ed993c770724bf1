// What the fuzz targets share: a check that stops the run on a broken
// invariant (libFuzzer then saves the input), and small helpers.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#define QM_CHECK(condition)                                                              \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      __builtin_trap();                                                                  \
    }                                                                                    \
  } while (0)

namespace qm::fuzz {

inline bool HoldsLineEnd(std::u16string_view text) {
  return text.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos;
}
inline bool HoldsLineEnd(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// The lines of `bytes` as the reader is meant to see them: CR, LF, CR LF and
// NUL end a line, and a line end at the very end adds no empty line.
inline std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char b = bytes[i];
    if (b != '\r' && b != '\n' && b != '\0') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

}  // namespace qm::fuzz
