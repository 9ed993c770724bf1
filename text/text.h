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

// Number of leading / trailing U+0020 characters.
std::size_t LeadingSpaces(std::u16string_view text);
std::size_t TrailingSpaces(std::u16string_view text);

// The same for UTF-8 text: the space is one byte, never part of a longer
// sequence, so trimming bytes trims characters.
std::string_view TrimSpaces(std::string_view text);
std::size_t LeadingSpaces(std::string_view text);
std::size_t TrailingSpaces(std::string_view text);

// Plain signed decimal: no leading zeros, no spaces, no digit grouping.
std::u16string ToDecimal(std::int64_t value);
// The same digits appended to `out` (no allocation once it has room).
void AppendDecimal(std::int64_t value, std::u16string& out);

// The part of a path after its last "\" or "/" (the whole path if neither).
std::u16string FileNamePart(std::u16string_view path);

}  // namespace qm
