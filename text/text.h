// Text rules shared by every part of Quillmark.
//
// All text lives in memory as UTF-16 (std::u16string). Lengths and positions
// count UTF-16 code units; positions are 1-based and 0 means "not found".
// Comparisons are exact, code unit by code unit, unless a function says
// otherwise. Nothing here fails: out-of-range arguments clamp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// Removes U+0020 SPACE from both ends; tabs and every other character stay.
std::u16string_view TrimSpaces(std::u16string_view text);
std::u16string Trim(std::u16string_view text);

// Number of leading / trailing U+0020 characters.
std::size_t LeadingSpaces(std::u16string_view text);
std::size_t TrailingSpaces(std::u16string_view text);

// 1-based position of the first occurrence of `needle` at or after `start`
// (values below 1 count as 1); 0 when there is none. An empty needle is
// never found.
std::int64_t Find(std::u16string_view haystack, std::u16string_view needle,
                  std::int64_t start = 1);

// Clamped parts of a text: a count beyond the end gives what is there, a
// negative count gives the empty text. Mid with start <= 1 starts at the
// first character; a start beyond the end gives the empty text.
std::u16string Left(std::u16string_view text, std::int64_t count);
std::u16string Right(std::u16string_view text, std::int64_t count);
std::u16string Mid(std::u16string_view text, std::int64_t start);
std::u16string Mid(std::u16string_view text, std::int64_t start, std::int64_t count);

// Number of non-overlapping occurrences, counted left to right.
std::int64_t CountString(std::u16string_view text, std::u16string_view pattern);

enum class ReplaceMode {
  Exact = 0,          // code unit by code unit
  AsciiNoCase = 1,    // ASCII letters compare without regard to case
};

// Replaces at most `count` matches of `find`, searching left to right from
// the 1-based `start` (values below 1 count as 1). Characters before `start`
// are never replaced and inserted text is never searched again. A start
// beyond the end, an empty `find` or a count below 1 change nothing.
std::u16string ReplaceString(std::u16string_view text, std::u16string_view find,
                             std::u16string_view replacement, ReplaceMode mode,
                             std::int64_t start, std::int64_t count);

// Plain signed decimal: no leading zeros, no spaces, no digit grouping.
std::u16string ToDecimal(std::int64_t value);

// The part of a path after its last "\" or "/" (the whole path if neither).
std::u16string FileNamePart(std::u16string_view path);

// ASCII literal to UTF-16, for fixed texts of the program.
std::u16string Ascii(std::string_view ascii);

}  // namespace qm
