#include "text/scan.h"

namespace qm {
namespace {

// Set bits of a sixteen-bit mask; line ends are few, so few turns.
std::size_t BitsSet(unsigned mask) {
  std::size_t n = 0;
  for (; mask != 0; mask &= mask - 1) ++n;
  return n;
}

}  // namespace

std::size_t CountLines(std::string_view text) {
  std::size_t ends = 0;
  std::size_t i = 0;
  bool after_cr = false;  // the byte before `i` is a CR
#if defined(__SSE2__)
  // Every CR and NUL ends a line, and every LF that does not follow a CR.
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), nul = _mm_setzero_si128();
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const auto crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, cr)));
    const auto lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lf)));
    const auto nuls = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, nul)));
    const unsigned follows_cr = (crs << 1) | (after_cr ? 1u : 0u);
    ends += BitsSet(crs | nuls) + BitsSet(lfs & ~follows_cr & 0xFFFFu);
    after_cr = (crs & 0x8000u) != 0;
  }
#endif
  for (; i < text.size(); ++i) {
    const char c = text[i];
    ends += static_cast<std::size_t>(c == '\r' || c == '\0' || (c == '\n' && !after_cr));
    after_cr = c == '\r';
  }
  const bool ends_with_line_end =
      !text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == '\0');
  return ends + (text.empty() || ends_with_line_end ? 0 : 1);
}

}  // namespace qm
