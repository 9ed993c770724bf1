#include "pipeline/splice.h"

#include <cstring>
#include <memory>

#include "text/encoding.h"
#include "pipeline/item_rules.h"
#include "text/large_buffer.h"
#include "text/text.h"

namespace qm {

TranslatedLines SplitTranslatedText(std::u16string_view text) {
  TranslatedLines lines;
  std::size_t ends = 0;
  char16_t previous = 0;
  for (const char16_t c : text) {
    ends += static_cast<std::size_t>(c == u'\r' || c == u'\0' || (c == u'\n' && previous != u'\r'));
    previous = c;
  }
  lines.reserve(ends + 1);
  AdviseLargeBuffer(lines.data(), lines.capacity() * sizeof(std::u16string_view));
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n' && text[end] != u'\0') {
      ++end;
    }
    lines.push_back(TrimSpaces(text.substr(i, end - i)));
    i = end;
    if (i < text.size()) {
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      ++i;
    }
  }
  return lines;
}

std::size_t CountTranslatedLines(const TranslatedLines& lines) {
  std::size_t count = lines.size();
  while (count > 0 && lines[count - 1].empty()) --count;
  return count;
}

namespace {

// A translation that cannot go into the string: any double quote in a
// plain string would end it early; in a "~" string, so would a quote the
// escapes leave unescaped, and a backslash sequence the language does not
// define (a translator that changes case turns "\n" into "\N") would not
// compile or would change the text.
bool RefusedTranslation(std::u16string_view translation, bool escaped) {
  if (!escaped) return translation.find(u'"') != std::u16string_view::npos;
  if (HoldsUndefinedEscape(translation)) return true;
  for (std::size_t i = 0; i < translation.size(); ++i) {
    if (translation[i] == u'"') return true;
    if (translation[i] == u'\\' && ++i == translation.size()) return true;
  }
  return false;
}

// Walks the lines once, pairing items with translated lines in exchange
// order, and renders each line into a reused buffer.
class Splicer {
 public:
  Splicer(const SourceLines& lines, const TranslatedLines& translated)
      : lines_(lines), translated_(translated) {
    std::size_t comments = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].Semicolon > 0) ++comments;
    }
    next_literal_ = comments;
  }

  // The text of line `index` after the splice; lines must be asked in order.
  std::u16string_view Render(std::size_t index) {
    const SourceLine line = lines_[index];
    if (line.Semicolon == 0 && line.Literals.empty()) return line.Text;
    const std::u16string_view text = line.Text;
    buffer_.clear();
    std::size_t copied = 0;
    for (const SourceLiteral& literal : line.Literals) {
      const std::u16string_view* translation = Next(next_literal_);
      const auto start = static_cast<std::size_t>(literal.Text.data() - text.data());
      const bool escaped = start >= 2 && text[start - 2] == u'~';
      if (translation == nullptr || RefusedTranslation(*translation, escaped)) {
        ++result_.kept;
        continue;
      }
      buffer_.append(text.substr(copied, start - copied));
      AppendLiteral(literal.Text, *translation);
      copied = start + literal.Text.size();
      ++result_.replaced;
    }
    if (line.Semicolon > 0) {
      const std::u16string_view* translation = Next(next_comment_);
      if (translation == nullptr) {
        ++result_.kept;
      } else {
        const std::size_t semicolon =
            LeadingSpaces(text) + static_cast<std::size_t>(line.Semicolon) - 1;
        buffer_.append(text.substr(copied, semicolon - copied));
        buffer_ += u';';
        if (line.Marker != 0) buffer_ += line.Marker;
        buffer_ += u' ';
        buffer_.append(*translation);
        buffer_.append(TrailingSpaces(text), u' ');
        copied = text.size();
        ++result_.replaced;
      }
    }
    buffer_.append(text.substr(copied));
    return buffer_;
  }

  const SpliceResult& result() const { return result_; }

 private:
  // The translated line for the next item of a section, or null when the
  // translation has run out. The item's line is used up either way.
  const std::u16string_view* Next(std::size_t& cursor) {
    return cursor < translated_.size() ? &translated_[cursor++] : nullptr;
  }

  // Translated lines come back trimmed; the spaces at the ends of a literal
  // are part of the program ("Hello, " + Name$), so they are put back.
  void AppendLiteral(std::u16string_view original, std::u16string_view translation) {
    if (translation.empty()) return;
    const std::size_t lead = LeadingSpaces(original);
    const std::size_t trail = lead == original.size() ? 0 : TrailingSpaces(original);
    buffer_.append(lead, u' ').append(translation).append(trail, u' ');
  }

  const SourceLines& lines_;
  const TranslatedLines& translated_;
  std::size_t next_comment_ = 0;
  std::size_t next_literal_ = 0;
  SpliceResult result_;
  std::u16string buffer_;
};

bool HasNonAscii(std::u16string_view text) {
  for (const char16_t c : text) {
    if (c > 0x7F) return true;
  }
  return false;
}

}  // namespace

SpliceResult SpliceLines(const SourceLines& lines, const TranslatedLines& translated,
                         const LineSink& emit) {
  Splicer splicer(lines, translated);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!emit(splicer.Render(i))) break;
  }
  return splicer.result();
}

std::vector<std::u16string> SplicedTexts(const SourceLines& lines,
                                         const TranslatedLines& translated,
                                         SpliceResult* result) {
  std::vector<std::u16string> texts;
  texts.reserve(lines.size());
  const SpliceResult r = SpliceLines(lines, translated, [&texts](std::u16string_view text) {
    texts.emplace_back(text);
    return true;
  });
  if (result != nullptr) *result = r;
  return texts;
}

bool EncodeOutput(const SourceLines& lines, const TranslatedLines& translated,
                  const ByteSink& sink, SpliceResult* result) {
  // Whether the mark is needed is known only from the whole output, so the
  // lines are spliced twice: once to look, once to write.
  bool needs_mark = false;
  if (!lines.empty() && !lines[0].Text.starts_with(u"\uFEFF")) {
    SpliceLines(lines, translated, [&needs_mark](std::u16string_view text) {
      needs_mark = HasNonAscii(text);
      return !needs_mark;
    });
  }

  // Lines are encoded straight into one buffer, handed on whenever it holds
  // a chunk; a line too long for the room left goes in pieces, never cut
  // between the two halves of a surrogate pair.
  constexpr std::size_t kChunk = 1 << 16;
  constexpr std::size_t kSize = 2 * kChunk;
  const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kSize);
  std::size_t used = 0;
  bool ok = true;
  const auto flush = [&] {
    ok = sink(std::string_view(buffer.get(), used));
    used = 0;
    return ok;
  };
  if (needs_mark) {
    std::memcpy(buffer.get(), "\xEF\xBB\xBF", 3);
    used = 3;
  }
  const SpliceResult r = SpliceLines(lines, translated, [&](std::u16string_view text) {
    while (!text.empty()) {
      // Each unit takes at most three bytes; two more stay free for CR LF.
      std::u16string_view piece = text.substr(0, (kSize - used - 2) / 3);
      if (piece.size() < text.size() && !piece.empty() && piece.back() >= 0xD800 &&
          piece.back() <= 0xDBFF) {
        piece.remove_suffix(1);
      }
      if (piece.empty()) {
        if (!flush()) return false;
        continue;
      }
      used += EncodeUtf8Into(piece, buffer.get() + used);
      text.remove_prefix(piece.size());
    }
    buffer[used++] = '\r';
    buffer[used++] = '\n';
    return used < kChunk || flush();
  });
  if (result != nullptr) *result = r;
  return ok && (used == 0 || flush());
}

std::string OutputBytes(const SourceLines& lines, const TranslatedLines& translated) {
  std::string out;
  EncodeOutput(lines, translated, [&out](std::string_view bytes) {
    out += bytes;
    return true;
  });
  return out;
}

}  // namespace qm
