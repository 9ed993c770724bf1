#include "pipeline/source_lines.h"

#include <algorithm>
#include <cstring>

#include "text/encoding.h"
#include "text/scan.h"
#include "pipeline/item_rules.h"
#include "text/text.h"

namespace qm {

SourceEncoding DetectEncoding(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return SourceEncoding::Utf8;
  if (bytes.starts_with("\xFF\xFE")) return SourceEncoding::Utf16Le;
  if (bytes.starts_with("\xFE\xFF")) return SourceEncoding::Utf16Be;
  return IsValidUtf8(bytes) ? SourceEncoding::Utf8 : SourceEncoding::Windows1252;
}

bool HoldsTrailerMarker(std::string_view trimmed) {
  // Both markers start with "; ": one look at every ";".
  for (std::size_t at = FindFirstOf<';'>(trimmed, 0); at < trimmed.size();
       at = FindFirstOf<';'>(trimmed, at + 1)) {
    const std::string_view rest = trimmed.substr(at);
    if (rest.starts_with(kIdeOptionsMarker) || rest.starts_with(kJapbeVersionMarker)) return true;
  }
  return false;
}

namespace {

bool IsLineEnd(char c) { return c == '\n' || c == '\r' || c == '\0'; }

// A line's start takes 56 bits of its record: 64 PiB, beyond any file.
constexpr std::uint64_t kStartMask = (std::uint64_t{1} << 56) - 1;

// The bytes of a file that carries no byte-order mark and is not UTF-8
// throughout: each line that is well-formed UTF-8 stays as it is, every
// other is read as Windows-1252.
std::string MixedLinesAsUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t end = FindLineEnd(bytes, i);
    const std::string_view line = bytes.substr(i, end - i);
    if (IsValidUtf8(line)) {
      out.append(line);
    } else {
      AppendWindows1252AsUtf8(line, out);
    }
    i = end;
    while (i < bytes.size() && IsLineEnd(bytes[i])) out += bytes[i++];
  }
  return out;
}

}  // namespace

SourceLines SourceLines::FromBytes(std::string bytes) {
  SourceLines lines;
  if (bytes.empty()) return lines;
  // Line ends are ASCII, never part of a longer sequence, so the text is
  // made UTF-8 first and split afterwards.
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    std::u16string units(bytes.size() / 2 + 1, u'\0');
    units.resize(DecodeUtf16Into(bytes, bytes[0] == '\xFE', units.data()));
    bytes = std::string();
    lines.AddLines(EncodeUtf8(units));
  } else if (bytes.starts_with("\xEF\xBB\xBF")) {
    lines.AddLines(ValidUtf8(std::move(bytes)));
  } else if (IsValidUtf8(bytes)) {
    lines.AddLines(std::move(bytes));
  } else {
    std::string converted = MixedLinesAsUtf8(bytes);
    bytes = std::string();
    lines.AddLines(std::move(converted));
  }
  return lines;
}

SourceLines SourceLines::FromTexts(std::span<const std::u16string> texts) {
  SourceLines lines;
  std::string block;
  std::vector<std::size_t> ends;
  ends.reserve(texts.size());
  for (const std::u16string& text : texts) {
    block += EncodeUtf8(text);
    ends.push_back(block.size());
  }
  lines.text_ = std::make_unique<const std::string>(std::move(block));
  lines.lines_.reserve(texts.size());
  std::size_t at = 0;
  for (const std::size_t end : ends) {
    Record record;
    record.start = at & kStartMask;
    record.length = static_cast<std::uint32_t>(end - at);
    lines.lines_.push_back(record);
    at = end;
  }
  return lines;
}

void SourceLines::AddLines(std::string&& text) {
  text_ = std::make_unique<const std::string>(std::move(text));
  const std::string_view all = *text_;
  lines_.reserve(CountLines(all));
  for (std::size_t i = 0; i < all.size();) {
    const std::size_t end = FindLineEnd(all, i);
    Record record;
    record.start = i & kStartMask;
    record.length = static_cast<std::uint32_t>(end - i);
    lines_.push_back(record);
    i = end < all.size() ? SkipLineEnd(all, end) : end;
  }
}

std::string_view SourceLines::TextOf(const Record& record) const {
  return {text_->data() + record.start, record.length};
}

SourceLine SourceLines::operator[](std::size_t index) const {
  const Record& record = lines_[index];
  SourceLine line;
  line.Text = TextOf(record);
  line.Marker = static_cast<char16_t>(record.marker);
  if (record.semicolon > 0) {
    line.Semicolon = static_cast<std::int32_t>(record.semicolon_units);
    const std::size_t body = LeadingSpaces(line.Text) + record.semicolon + (record.marker != 0 ? 1 : 0);
    line.Comment = line.Text.substr(body, line.Text.size() - TrailingSpaces(line.Text) - body);
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
  comments_ = 0;
}

namespace {

bool IsEditorMarker(char c) { return c == '-' || c == '{' || c == '}'; }

}  // namespace

void SourceLines::ExtractLine(Record& record, std::string_view t, bool collect_literals) {
  // Inline assembler and C lines are passed through as they are.
  if (t.empty() || IsInlineBackendLine(t)) return;

  // One scan finds the strings, the character constants and the comment:
  // a ";" starts the comment only outside all of them. Every character the
  // scan looks for is ASCII, never part of a longer UTF-8 sequence.
  const std::size_t n = t.size();
  // Literal positions count UTF-16 code units: counted on from the last one.
  std::size_t counted_bytes = 0, counted_units = 0;
  std::size_t i = 0;
  while ((i = FindFirstOf<';', '"', '\'', '~'>(t, i)) < n) {
    const char c = t[i];
    if (c == ';') break;
    if (c == '"' || (c == '~' && i + 1 < n && t[i + 1] == '"')) {
      const bool escaped = c == '~';
      const std::size_t quote = escaped ? i + 1 : i;
      std::size_t j = escaped ? FindFirstOf<'"', '\\'>(t, quote + 1) : FindFirstOf<'"'>(t, quote + 1);
      while (j < n && t[j] != '"') j = FindFirstOf<'"', '\\'>(t, j + 2);
      if (j >= n) return;  // an unclosed string runs to the end of the line
      const std::string_view text = t.substr(quote + 1, j - quote - 1);
      if (collect_literals && HoldsLetter(text) && text.find(":\\") == std::string_view::npos &&
          !IsTechnicalLiteral(text, escaped)) {
        counted_units += Utf16Length(t.substr(counted_bytes, quote - counted_bytes));
        counted_bytes = quote;
        literals_.push_back({text, static_cast<std::int32_t>(counted_units + 1)});
      }
      i = j + 1;
    } else if (c == '\'') {
      const std::size_t close = t.find('\'', i + 1);
      if (close == std::string_view::npos) return;
      i = close + 1;
    } else {
      ++i;
    }
  }
  if (i >= n) return;

  std::size_t body = i + 1;
  const char marker = (body < n && IsEditorMarker(t[body])) ? t[body] : char{0};
  if (marker != 0) ++body;
  if (!HoldsLetter(t.substr(body))) return;
  record.semicolon = static_cast<std::uint32_t>(i + 1);
  record.semicolon_units = static_cast<std::uint32_t>(
      counted_units + Utf16Length(t.substr(counted_bytes, i - counted_bytes)) + 1);
  record.marker = static_cast<unsigned char>(marker);
}

std::int64_t SourceLines::Extract() {
  literals_.clear();
  comments_ = 0;
  bool stopped = false;
  bool in_import = false;  // between Import and EndImport every string is a symbol name
  std::int64_t items = 0;
  for (std::size_t index = 0; index < lines_.size(); ++index) {
    Record& record = lines_[index];
    record.semicolon = 0;
    record.marker = 0;
    record.first_literal = static_cast<std::uint32_t>(literals_.size());
    if (stopped) continue;
    const std::string_view trimmed = TrimSpaces(TextOf(record));
    if (HoldsTrailerMarker(trimmed)) {
      stopped = true;
      continue;
    }
    const Directive directive = DirectiveOf(trimmed);
    if (directive == Directive::Import) in_import = true;
    ExtractLine(record, trimmed, directive == Directive::None && !in_import);
    if (directive == Directive::EndImport) in_import = false;
    comments_ += record.semicolon > 0 ? 1 : 0;
    items += (record.semicolon > 0 ? 1 : 0) +
             static_cast<std::int64_t>(literals_.size() - record.first_literal);
  }
  return items;
}

bool WriteExchangeText(const SourceLines& lines, const ByteSink& sink) {
  constexpr std::size_t kChunk = 1 << 16;
  std::string buffer;
  buffer.reserve(kChunk);
  bool ok = true;
  const auto add = [&](std::string_view item) {
    if (!ok) return;
    if (buffer.size() + item.size() + 1 > kChunk && !buffer.empty()) {
      ok = sink(buffer);
      buffer.clear();
    }
    buffer.append(item).append(1, '\r');
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const SourceLine line = lines[i];
    if (line.Semicolon > 0) add(line.Comment);
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (const SourceLiteral& literal : lines[i].Literals) add(literal.Text);
  }
  if (ok && !buffer.empty()) ok = sink(buffer);
  return ok;
}

std::string BuildExchangeText(const SourceLines& lines) {
  std::string text;
  WriteExchangeText(lines, [&text](std::string_view chunk) {
    text += chunk;
    return true;
  });
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
