#include "pipeline/source_lines.h"

#include "pipeline/encoding.h"
#include "pipeline/text.h"

namespace qm {

SourceEncoding DetectEncoding(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return SourceEncoding::Utf8;
  return IsValidUtf8(bytes) ? SourceEncoding::Utf8 : SourceEncoding::Windows1252;
}

bool HoldsTrailerMarker(std::u16string_view trimmed) {
  return trimmed.find(kIdeOptionsMarker) != std::u16string_view::npos ||
         trimmed.find(kJapbeVersionMarker) != std::u16string_view::npos;
}

namespace {

bool IsLineEnd(char b) { return b == '\n' || b == '\r' || b == '\0'; }

// Calls on_line(bytes) for every line of `bytes`.
template <typename OnLine>
void ForEachLine(std::string_view bytes, OnLine on_line) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t end = i;
    while (end < bytes.size() && !IsLineEnd(bytes[end])) ++end;
    on_line(bytes.substr(i, end - i));
    i = end;
    if (i < bytes.size()) {
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      ++i;
    }
  }
}

}  // namespace

SourceLines SourceLines::FromBytes(std::string_view bytes) {
  const SourceEncoding encoding = DetectEncoding(bytes);
  SourceLines lines;
  std::size_t count = 0;
  ForEachLine(bytes, [&count](std::string_view) { ++count; });
  lines.lines_.reserve(count);
  lines.text_.reserve(bytes.size());
  std::u16string decoded;
  ForEachLine(bytes, [&](std::string_view raw) {
    decoded.clear();
    if (encoding == SourceEncoding::Utf8) {
      AppendDecodedUtf8(raw, decoded);
    } else {
      AppendDecodedWindows1252(raw, decoded);
    }
    lines.AddLine(decoded);
  });
  return lines;
}

SourceLines SourceLines::FromTexts(std::span<const std::u16string> texts) {
  SourceLines lines;
  std::size_t total = 0;
  for (const std::u16string& text : texts) total += text.size();
  lines.text_.reserve(total);
  lines.lines_.reserve(texts.size());
  for (const std::u16string& text : texts) lines.AddLine(text);
  return lines;
}

void SourceLines::AddLine(std::u16string_view text) {
  Record record;
  record.start = text_.size();
  record.length = static_cast<std::uint32_t>(text.size());
  text_.insert(text_.end(), text.begin(), text.end());
  lines_.push_back(record);
}

std::u16string_view SourceLines::TextOf(const Record& record) const {
  return {text_.data() + record.start, record.length};
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
  const SourceLine line = (*this)[index];
  return (line.Semicolon > 0 ? 1 : 0) + static_cast<std::int64_t>(line.Literals.size());
}

void SourceLines::Clear() {
  text_ = {};
  lines_ = {};
  literals_ = {};
}

namespace {

// Something worth translating holds at least one ASCII letter or one
// character beyond ASCII; separators such as "------" or ", " do not.
bool IsTranslatable(std::u16string_view text) {
  for (const char16_t c : text) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c > 0x7F) return true;
  }
  return false;
}

bool IsEditorMarker(char16_t c) { return c == u'-' || c == u'{' || c == u'}'; }

}  // namespace

void SourceLines::ExtractLine(std::size_t index) {
  Record& record = lines_[index];
  const std::u16string_view t = TrimSpaces(TextOf(record));
  // Inline assembler and C lines are passed through as they are.
  if (t.empty() || t.front() == u'!') return;

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
      if (IsTranslatable(text) && text.find(u":\\") == std::u16string_view::npos) {
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
  if (!IsTranslatable(t.substr(body))) return;
  record.semicolon = static_cast<std::int32_t>(i + 1);
  record.marker = marker;
}

std::int64_t SourceLines::Extract() {
  literals_.clear();
  bool stopped = false;
  std::int64_t items = 0;
  for (std::size_t index = 0; index < lines_.size(); ++index) {
    Record& record = lines_[index];
    record.semicolon = 0;
    record.marker = 0;
    record.first_literal = static_cast<std::uint32_t>(literals_.size());
    if (!stopped && HoldsTrailerMarker(TrimSpaces(TextOf(record)))) stopped = true;
    if (stopped) continue;
    ExtractLine(index);
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

}  // namespace qm
