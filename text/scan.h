// Finding bytes in UTF-8 text sixteen at a time. Every byte looked for is
// ASCII, and in UTF-8 an ASCII byte is never part of a longer sequence, so
// a byte found is always a whole character.
#pragma once

#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qm {

// The position of the first byte at or after `from` that is one of `Set`,
// or the size (also when `from` is past the end).
template <char... Set>
std::size_t FindFirstOf(std::string_view text, std::size_t from) {
  std::size_t i = from;
#if defined(__SSE2__)
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const __m128i hits = (_mm_cmpeq_epi8(block, _mm_set1_epi8(Set)) | ...);
    if (const int mask = _mm_movemask_epi8(hits); mask != 0) {
      return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
  }
#endif
  for (; i < text.size(); ++i) {
    if (((text[i] == Set) || ...)) return i;
  }
  return text.size();
}

// The position of the first CR, LF or NUL at or after `from`, or the size.
inline std::size_t FindLineEnd(std::string_view text, std::size_t from) {
  return FindFirstOf<'\r', '\n', '\0'>(text, from);
}

// The position after the line end that starts at `at` (CR LF is one).
inline std::size_t SkipLineEnd(std::string_view text, std::size_t at) {
  return at + ((text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ? 2 : 1);
}

// Number of lines: CR, LF, CR LF and NUL end a line, and a line end at the
// very end adds no empty line.
std::size_t CountLines(std::string_view text);

}  // namespace qm
