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

std::size_t LeadingSpaces(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && text[n] == ' ') ++n;
  return n;
}

std::size_t TrailingSpaces(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && text[text.size() - 1 - n] == ' ') ++n;
  return n;
}

std::string_view TrimSpaces(std::string_view text) {
  text.remove_prefix(LeadingSpaces(text));
  text.remove_suffix(TrailingSpaces(text));
  return text;
}

void AppendDecimal(std::int64_t value, std::u16string& out) {
  // Work on the unsigned magnitude so that the most negative value is fine.
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                      : static_cast<std::uint64_t>(value);
  char16_t digits[24];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) out += u'-';
  while (n > 0) out += digits[--n];
}

std::u16string ToDecimal(std::int64_t value) {
  std::u16string out;
  AppendDecimal(value, out);
  return out;
}

std::u16string FileNamePart(std::u16string_view path) {
  const std::size_t at = path.find_last_of(u"\\/");
  return std::u16string(at == std::u16string_view::npos ? path : path.substr(at + 1));
}

}  // namespace qm
