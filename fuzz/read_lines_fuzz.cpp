// Bytes to lines: the line ends, the choice of encoding, and both decoders,
// checked against a plain reading of the rules. UTF-8 is checked against a
// decoder written straight from the Unicode Standard's table of well-formed
// byte sequences (one U+FFFD per maximal ill-formed subsequence).
#include <array>
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "text/encoding.h"
#include "pipeline/source_lines.h"

namespace {

struct Row {
  std::size_t length;
  std::array<std::pair<unsigned char, unsigned char>, 4> ranges;
};

// Table 3-7: every well-formed UTF-8 byte sequence.
constexpr std::array<Row, 9> kWellFormed = {{
    {1, {{{0x00, 0x7F}}}},
    {2, {{{0xC2, 0xDF}, {0x80, 0xBF}}}},
    {3, {{{0xE0, 0xE0}, {0xA0, 0xBF}, {0x80, 0xBF}}}},
    {3, {{{0xE1, 0xEC}, {0x80, 0xBF}, {0x80, 0xBF}}}},
    {3, {{{0xED, 0xED}, {0x80, 0x9F}, {0x80, 0xBF}}}},
    {3, {{{0xEE, 0xEF}, {0x80, 0xBF}, {0x80, 0xBF}}}},
    {4, {{{0xF0, 0xF0}, {0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}}},
    {4, {{{0xF1, 0xF3}, {0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}}},
    {4, {{{0xF4, 0xF4}, {0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}}},
}};

std::u16string ReferenceUtf8(std::string_view s, bool& valid) {
  std::u16string out;
  valid = true;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t longest_prefix = 0, full = 0;
    for (const Row& row : kWellFormed) {
      std::size_t k = 0;
      while (k < row.length && i + k < s.size()) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if (b < row.ranges[k].first || b > row.ranges[k].second) break;
        ++k;
      }
      if (k == row.length) full = k;
      if (k > longest_prefix) longest_prefix = k;
    }
    if (full == 0) {
      out += u'\uFFFD';
      valid = false;
      i += longest_prefix > 0 ? longest_prefix : 1;
      continue;
    }
    static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t cp = static_cast<unsigned char>(s[i]) & kLeadMask[full];
    for (std::size_t k = 1; k < full; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += full;
  }
  return out;
}

bool HoldsLoneSurrogate(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return true;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // The decoders on their own.
  bool valid = false;
  const std::u16string utf8 = qm::DecodeUtf8(bytes);
  QM_CHECK(utf8 == ReferenceUtf8(bytes, valid));
  QM_CHECK(qm::IsValidUtf8(bytes) == valid);
  QM_CHECK(!HoldsLoneSurrogate(utf8));
  const std::string encoded = qm::EncodeUtf8(utf8);
  QM_CHECK(qm::IsValidUtf8(encoded));
  if (valid) QM_CHECK(encoded == bytes);
  QM_CHECK(qm::DecodeUtf8(encoded) == utf8);
  // The conversions that stay in UTF-8 make the same bytes as the detour.
  std::string valid_bytes;
  qm::AppendValidUtf8(bytes, valid_bytes);
  QM_CHECK(valid_bytes == encoded);
  QM_CHECK(qm::Utf16Length(encoded) == utf8.size());
  QM_CHECK(qm::HoldsNonAscii(bytes) ==
           std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));

  const std::u16string legacy = qm::DecodeWindows1252(bytes);
  QM_CHECK(legacy.size() == bytes.size());
  std::string legacy_bytes;
  qm::AppendWindows1252AsUtf8(bytes, legacy_bytes);
  QM_CHECK(legacy_bytes == qm::EncodeUtf8(legacy));
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80 || b >= 0xA0) QM_CHECK(legacy[i] == b);
    else QM_CHECK(legacy[i] >= 0x80);
  }

  // File names keep every byte.
  QM_CHECK(qm::EncodeFileName(qm::DecodeFileName(bytes)) == bytes);

  // The lines, each decoded in the file's encoding.
  const qm::SourceEncoding encoding = qm::DetectEncoding(bytes);
  const bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
  QM_CHECK((encoding == qm::SourceEncoding::Utf8) ==
           (!utf16 && (valid || bytes.starts_with("\xEF\xBB\xBF"))));
  const qm::SourceLines lines = qm::SourceLines::FromBytes(std::string(bytes));
  if (encoding == qm::SourceEncoding::Utf16Le || encoding == qm::SourceEncoding::Utf16Be) {
    // Pairs of bytes in the mark's order, then the usual line ends.
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      const auto a = static_cast<unsigned char>(bytes[i]);
      const auto b = static_cast<unsigned char>(bytes[i + 1]);
      const bool big = encoding == qm::SourceEncoding::Utf16Be;
      text += static_cast<char16_t>(big ? a << 8 | b : b << 8 | a);
    }
    if (bytes.size() % 2 != 0) text += u'\uFFFD';
    QM_CHECK(text.front() == u'\uFEFF');
    // Held as UTF-8: a lone surrogate is U+FFFD, one code unit as before.
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      QM_CHECK(!qm::fuzz::HoldsLineEnd(lines[i].Text));
      joined += lines[i].Text;
    }
    // Each line on its own: halves of a pair that a line end parts stay lone.
    std::string expected;
    std::size_t units = 0;
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = start;
      while (end < text.size() && text[end] != u'\r' && text[end] != u'\n' && text[end] != u'\0') {
        ++end;
      }
      expected += qm::EncodeUtf8(std::u16string_view(text).substr(start, end - start));
      units += end - start;
      start = end < text.size() ? end + 1 : end;
    }
    QM_CHECK(joined == expected);
    QM_CHECK(qm::Utf16Length(joined) == units);
    return 0;
  }
  const std::vector<std::string_view> raw = qm::fuzz::SplitLines(bytes);
  QM_CHECK(lines.size() == raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const qm::SourceLine line = lines[i];
    QM_CHECK(!qm::fuzz::HoldsLineEnd(line.Text));
    QM_CHECK(line.Comment.empty() && line.Literals.empty() && line.Semicolon == 0);
    // A file that is not UTF-8 throughout is read line by line: each line
    // that is well-formed UTF-8 as UTF-8, the others as Windows-1252.
    const bool as_utf8 = encoding == qm::SourceEncoding::Utf8 || qm::IsValidUtf8(raw[i]);
    const std::u16string expected =
        as_utf8 ? qm::DecodeUtf8(raw[i]) : qm::DecodeWindows1252(raw[i]);
    QM_CHECK(line.Text == qm::EncodeUtf8(expected));
    // A well-formed UTF-8 line is kept byte for byte.
    if (qm::IsValidUtf8(raw[i])) QM_CHECK(line.Text == raw[i]);
  }
  return 0;
}
