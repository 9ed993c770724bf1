#include "text/text.h"

#include <algorithm>

namespace qm {

std::size_t LeadingSpaces(std::u16string_view text) {
  std::size_t n = 0;
  while (n < text.size() && text[n] == u' ') ++n;
  return n;
}

std::size_t TrailingSpaces(std::u16string_view text) {
  std::size_t n = 0;
  while (n < text.size() && text[text.size() - 1 - n] == u' ') ++n;
  return n;
}

std::u16string_view TrimSpaces(std::u16string_view text) {
  const std::size_t lead = LeadingSpaces(text);
  text.remove_prefix(lead);
  text.remove_suffix(TrailingSpaces(text));
  return text;
}

std::u16string Trim(std::u16string_view text) { return std::u16string(TrimSpaces(text)); }

std::int64_t Find(std::u16string_view haystack, std::u16string_view needle, std::int64_t start) {
  if (needle.empty()) return 0;
  const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
  if (from >= haystack.size()) return 0;
  const std::size_t at = haystack.find(needle, from);
  return at == std::u16string_view::npos ? 0 : static_cast<std::int64_t>(at) + 1;
}

std::u16string Left(std::u16string_view text, std::int64_t count) {
  if (count <= 0) return {};
  return std::u16string(text.substr(0, static_cast<std::size_t>(count)));
}

std::u16string Right(std::u16string_view text, std::int64_t count) {
  if (count <= 0) return {};
  const auto n = std::min(static_cast<std::size_t>(count), text.size());
  return std::u16string(text.substr(text.size() - n));
}

std::u16string Mid(std::u16string_view text, std::int64_t start) {
  const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
  if (from >= text.size()) return {};
  return std::u16string(text.substr(from));
}

std::u16string Mid(std::u16string_view text, std::int64_t start, std::int64_t count) {
  if (count <= 0) return {};
  const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
  if (from >= text.size()) return {};
  return std::u16string(text.substr(from, static_cast<std::size_t>(count)));
}

std::int64_t CountString(std::u16string_view text, std::u16string_view pattern) {
  if (pattern.empty()) return 0;
  std::int64_t n = 0;
  for (std::size_t at = text.find(pattern); at != std::u16string_view::npos;
       at = text.find(pattern, at + pattern.size())) {
    ++n;
  }
  return n;
}

namespace {

char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool MatchesAt(std::u16string_view text, std::size_t at, std::u16string_view find,
               ReplaceMode mode) {
  if (mode == ReplaceMode::Exact) return text.compare(at, find.size(), find) == 0;
  for (std::size_t i = 0; i < find.size(); ++i) {
    if (FoldAscii(text[at + i]) != FoldAscii(find[i])) return false;
  }
  return true;
}

}  // namespace

std::u16string ReplaceString(std::u16string_view text, std::u16string_view find,
                             std::u16string_view replacement, ReplaceMode mode,
                             std::int64_t start, std::int64_t count) {
  const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
  if (find.empty() || count < 1 || from >= text.size()) return std::u16string(text);

  std::u16string out(text.substr(0, from));
  std::size_t i = from;
  std::int64_t done = 0;
  while (done < count && i + find.size() <= text.size()) {
    if (MatchesAt(text, i, find, mode)) {
      out += replacement;
      i += find.size();
      ++done;
    } else {
      out += text[i];
      ++i;
    }
  }
  out += text.substr(i);
  return out;
}

std::u16string ToDecimal(std::int64_t value) {
  // Work on the unsigned magnitude so that the most negative value is fine.
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                      : static_cast<std::uint64_t>(value);
  char16_t digits[24];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::u16string out;
  if (value < 0) out += u'-';
  while (n > 0) out += digits[--n];
  return out;
}

std::u16string FileNamePart(std::u16string_view path) {
  const std::size_t at = path.find_last_of(u"\\/");
  return std::u16string(at == std::u16string_view::npos ? path : path.substr(at + 1));
}

std::u16string Ascii(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace qm
