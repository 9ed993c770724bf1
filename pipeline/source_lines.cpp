#include "pipeline/source_lines.h"

#include <algorithm>
#include <cstring>

#include "text/encoding.h"
#include "pipeline/item_rules.h"
#include "text/large_buffer.h"
#include "text/text.h"

namespace qm {

SourceEncoding DetectEncoding(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return SourceEncoding::Utf8;
  if (bytes.starts_with("\xFF\xFE")) return SourceEncoding::Utf16Le;
  if (bytes.starts_with("\xFE\xFF")) return SourceEncoding::Utf16Be;
  return IsValidUtf8(bytes) ? SourceEncoding::Utf8 : SourceEncoding::Windows1252;
}

bool HoldsTrailerMarker(std::u16string_view trimmed) {
  // Both markers start with "; ": one look at every ";".
  for (std::size_t at = trimmed.find(u';'); at != std::u16string_view::npos;
       at = trimmed.find(u';', at + 1)) {
    const std::u16string_view rest = trimmed.substr(at);
    if (rest.starts_with(kIdeOptionsMarker) || rest.starts_with(kJapbeVersionMarker)) return true;
  }
  return false;
}

namespace {

bool IsLineEnd(char16_t c) { return c == u'\n' || c == u'\r' || c == u'\0'; }

// False when none of the four units at `text` is below U+000E, so none of
// them ends a line.
bool MayHoldLineEnd(const char16_t* text) {
  constexpr std::uint64_t kOnes = 0x0001000100010001ull, kHigh = 0x8000800080008000ull;
  std::uint64_t word;
  std::memcpy(&word, text, sizeof word);
  return ((word - 0x0E * kOnes) & ~word & kHigh) != 0;
}

// Number of lines in `text`: CR, LF, CR LF and NUL end a line, and a final
// line end adds no empty line.
std::size_t CountLines(const char16_t* text, std::size_t size) {
  std::size_t ends = 0;
  char16_t previous = 0;
  for (std::size_t i = 0; i < size;) {
    if (i + 4 <= size && !MayHoldLineEnd(text + i)) {
      previous = text[i + 3];
      i += 4;
      continue;
    }
    const char16_t c = text[i++];
    ends += static_cast<std::size_t>(c == u'\r' || c == u'\0' || (c == u'\n' && previous != u'\r'));
    previous = c;
  }
  return ends + (size > 0 && !IsLineEnd(text[size - 1]) ? 1 : 0);
}

// The index of the first line end at or after `i`, or `size`. Looks at
// four units at a time and closer only when one of them is below U+000E.
std::size_t FindLineEnd(const char16_t* text, std::size_t i, std::size_t size) {
  for (; i + 4 <= size; i += 4) {
    if (!MayHoldLineEnd(text + i)) continue;
    for (std::size_t k = i; k < i + 4; ++k) {
      if (IsLineEnd(text[k])) return k;
    }
  }
  while (i < size && !IsLineEnd(text[i])) ++i;
  return i;
}

}  // namespace

SourceLines SourceLines::FromBytes(std::string_view bytes) {
  SourceLines lines;
  if (bytes.empty()) return lines;
  // Line ends are ASCII, never part of a multi-byte sequence, so the whole
  // file is decoded at once and split afterwards. Decoding stops at the
  // first ill-formed UTF-8 sequence of a file without a mark, and the file
  // is then decoded again line by line (see DetectEncoding). No decoder
  // makes more code units than it reads bytes.
  lines.text_ = std::make_unique_for_overwrite<char16_t[]>(bytes.size());
  AdviseLargeBuffer(lines.text_.get(), bytes.size() * sizeof(char16_t));
  char16_t* out = lines.text_.get();
  std::size_t units = 0;
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    units = DecodeUtf8Into(bytes, out);
  } else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    units = DecodeUtf16Into(bytes, bytes[0] == '\xFE', out);
  } else if (!DecodeValidUtf8Into(bytes, out, units)) {
    units = 0;
    for (std::size_t i = 0; i < bytes.size();) {
      std::size_t end = bytes.find_first_of(std::string_view("\r\n\0", 3), i);
      if (end == std::string_view::npos) end = bytes.size();
      const std::string_view line = bytes.substr(i, end - i);
      std::size_t decoded = 0;
      if (!DecodeValidUtf8Into(line, out + units, decoded)) {
        decoded = DecodeWindows1252Into(line, out + units);
      }
      units += decoded;
      for (i = end; i < bytes.size() && (bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\0');
           ++i) {
        out[units++] = static_cast<char16_t>(bytes[i]);
      }
    }
  }
  lines.AddLines(units);
  return lines;
}

SourceLines SourceLines::FromTexts(std::span<const std::u16string> texts) {
  SourceLines lines;
  std::size_t total = 0;
  for (const std::u16string& text : texts) total += text.size();
  lines.text_ = std::make_unique_for_overwrite<char16_t[]>(total);
  lines.lines_.reserve(texts.size());
  std::size_t at = 0;
  for (const std::u16string& text : texts) {
    std::copy(text.begin(), text.end(), lines.text_.get() + at);
    Record record;
    record.start = at;
    record.length = static_cast<std::uint32_t>(text.size());
    lines.lines_.push_back(record);
    at += text.size();
  }
  return lines;
}

void SourceLines::AddLines(std::size_t units) {
  const char16_t* text = text_.get();
  lines_.reserve(CountLines(text, units));
  AdviseLargeBuffer(lines_.data(), lines_.capacity() * sizeof(Record));
  std::size_t i = 0;
  while (i < units) {
    const std::size_t end = FindLineEnd(text, i, units);
    Record record;
    record.start = i;
    record.length = static_cast<std::uint32_t>(end - i);
    lines_.push_back(record);
    i = end;
    if (i < units) {
      if (text[i] == u'\r' && i + 1 < units && text[i + 1] == u'\n') ++i;
      ++i;
    }
  }
}

std::u16string_view SourceLines::TextOf(const Record& record) const {
  return {text_.get() + record.start, record.length};
}

SourceLine SourceLines::operator[](std::size_t index) const {
  const Record& record = lines_[index];
  SourceLine line;
  line.Text = TextOf(record);
  line.Semicolon = record.semicolon;
  line.Marker = record.marker;
  if (record.semicolon > 0) {
    const std::u16string_view trimmed = TrimSpaces(line.Text);
    line.Comment = trimmed.substr(static_cast<std::size_t>(record.semicolon) +
                                  (record.marker != 0 ? 1 : 0));
  }
  const std::size_t end =
      index + 1 < lines_.size() ? lines_[index + 1].first_literal : literals_.size();
  line.Literals = std::span<const SourceLiteral>(literals_).subspan(
      record.first_literal, end - record.first_literal);
  return line;
}

std::int64_t SourceLines::ItemCount(std::size_t index) const {
  const Record& record = lines_[index];
  const std::size_t end =
      index + 1 < lines_.size() ? lines_[index + 1].first_literal : literals_.size();
  return (record.semicolon > 0 ? 1 : 0) + static_cast<std::int64_t>(end - record.first_literal);
}

void SourceLines::Clear() {
  text_ = {};
  lines_ = {};
  literals_ = {};
}

namespace {

bool IsEditorMarker(char16_t c) { return c == u'-' || c == u'{' || c == u'}'; }

}  // namespace

void SourceLines::ExtractLine(Record& record, std::u16string_view t, bool collect_literals) {
  // Inline assembler and C lines are passed through as they are.
  if (t.empty() || IsInlineBackendLine(t)) return;

  // One scan finds the strings, the character constants and the comment:
  // a ";" starts the comment only outside all of them.
  const std::size_t n = t.size();
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = t[i];
    if (c == u';') break;
    if (c == u'"' || (c == u'~' && i + 1 < n && t[i + 1] == u'"')) {
      const bool escaped = c == u'~';
      const std::size_t quote = escaped ? i + 1 : i;
      std::size_t j = quote + 1;
      while (j < n && t[j] != u'"') j += (escaped && t[j] == u'\\') ? 2 : 1;
      if (j >= n) return;  // an unclosed string runs to the end of the line
      const std::u16string_view text = t.substr(quote + 1, j - quote - 1);
      if (collect_literals && HoldsLetter(text) &&
          text.find(u":\\") == std::u16string_view::npos && !IsTechnicalLiteral(text, escaped)) {
        literals_.push_back({text, static_cast<std::int32_t>(quote + 1)});
      }
      i = j + 1;
    } else if (c == u'\'') {
      const std::size_t close = t.find(u'\'', i + 1);
      if (close == std::u16string_view::npos) return;
      i = close + 1;
    } else {
      ++i;
    }
  }
  if (i >= n) return;

  std::size_t body = i + 1;
  const char16_t marker = (body < n && IsEditorMarker(t[body])) ? t[body] : char16_t{0};
  if (marker != 0) ++body;
  if (!HoldsLetter(t.substr(body))) return;
  record.semicolon = static_cast<std::int32_t>(i + 1);
  record.marker = marker;
}

std::int64_t SourceLines::Extract() {
  literals_.clear();
  bool stopped = false;
  bool in_import = false;  // between Import and EndImport every string is a symbol name
  std::int64_t items = 0;
  for (std::size_t index = 0; index < lines_.size(); ++index) {
    Record& record = lines_[index];
    record.semicolon = 0;
    record.marker = 0;
    record.first_literal = static_cast<std::uint32_t>(literals_.size());
    if (stopped) continue;
    const std::u16string_view trimmed = TrimSpaces(TextOf(record));
    if (HoldsTrailerMarker(trimmed)) {
      stopped = true;
      continue;
    }
    const Directive directive = DirectiveOf(trimmed);
    if (directive == Directive::Import) in_import = true;
    ExtractLine(record, trimmed, directive == Directive::None && !in_import);
    if (directive == Directive::EndImport) in_import = false;
    items += (record.semicolon > 0 ? 1 : 0) +
             static_cast<std::int64_t>(literals_.size() - record.first_literal);
  }
  return items;
}

std::u16string BuildExchangeText(const SourceLines& lines) {
  std::size_t size = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const SourceLine line = lines[i];
    size += line.Comment.size() + (line.Semicolon > 0 ? 1 : 0);
    for (const SourceLiteral& literal : line.Literals) size += literal.Text.size() + 1;
  }
  std::u16string text;
  text.reserve(size);
  AdviseLargeBuffer(text.data(), size * sizeof(char16_t));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const SourceLine line = lines[i];
    if (line.Semicolon > 0) text.append(line.Comment).append(1, u'\r');
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (const SourceLiteral& literal : lines[i].Literals) {
      text.append(literal.Text).append(1, u'\r');
    }
  }
  return text;
}

std::vector<std::u16string_view> ExchangePieces(std::u16string_view exchange,
                                                std::size_t max_units) {
  std::vector<std::u16string_view> pieces;
  std::size_t start = 0, end = 0;  // the piece being filled: [start, end)
  while (end < exchange.size()) {
    std::size_t item_end = exchange.find(u'\r', end);
    item_end = item_end == std::u16string_view::npos ? exchange.size() : item_end + 1;
    if (end > start && item_end - start > max_units) {
      pieces.push_back(exchange.substr(start, end - start));
      start = end;
    }
    end = item_end;
  }
  if (end > start) pieces.push_back(exchange.substr(start, end - start));
  return pieces;
}

std::vector<std::u16string_view> ExchangeItems(std::u16string_view exchange) {
  std::vector<std::u16string_view> items;
  for (std::size_t start = 0; start < exchange.size();) {
    std::size_t end = exchange.find(u'\r', start);
    if (end == std::u16string_view::npos) end = exchange.size();
    items.push_back(exchange.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

std::size_t CountItems(std::u16string_view exchange) {
  return static_cast<std::size_t>(std::count(exchange.begin(), exchange.end(), u'\r'));
}

}  // namespace qm
