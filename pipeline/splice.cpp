#include "pipeline/splice.h"

#include <cstring>
#include <memory>
#include <utility>

#include "text/encoding.h"
#include "text/scan.h"
#include "pipeline/item_rules.h"
#include "text/text.h"

namespace qm {

TranslatedLines SplitTranslatedText(std::string_view text) {
  TranslatedLines lines;
  lines.reserve(CountLines(text));  // counted sixteen bytes at a time: no regrowth
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t end = FindLineEnd(text, i);
    lines.push_back(TrimSpaces(text.substr(i, end - i)));
    i = end < text.size() ? SkipLineEnd(text, end) : end;
  }
  return lines;
}

std::string MakeTranslationText(std::string bytes) { return ValidUtf8(std::move(bytes)); }

std::string MakeTranslationText(std::u16string_view text) { return EncodeUtf8(text); }

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
bool RefusedTranslation(std::string_view translation, bool escaped) {
  if (!escaped) return translation.find('"') != std::string_view::npos;
  if (HoldsUndefinedEscape(translation)) return true;
  for (std::size_t i = 0; i < translation.size(); ++i) {
    if (translation[i] == '"') return true;
    if (translation[i] == '\\' && ++i == translation.size()) return true;
  }
  return false;
}

// Walks the lines once, pairing items with translated lines in exchange
// order, and renders each line into a reused buffer.
class Splicer {
 public:
  Splicer(const SourceLines& lines, const TranslatedLines& translated)
      : lines_(lines), translated_(translated), next_literal_(lines.CommentCount()) {}

  // The text of line `index` after the splice; lines must be asked in order.
  std::string_view Render(std::size_t index) {
    if (lines_.ItemCount(index) == 0) return lines_.LineText(index);
    const SourceLine line = lines_[index];
    const std::string_view text = line.Text;
    buffer_.clear();
    std::size_t copied = 0;
    for (const SourceLiteral& literal : line.Literals) {
      const std::string_view* translation = Next(next_literal_);
      const auto start = static_cast<std::size_t>(literal.Text.data() - text.data());
      const bool escaped = start >= 2 && text[start - 2] == '~';
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
      const std::string_view* translation = Next(next_comment_);
      if (translation == nullptr) {
        ++result_.kept;
      } else {
        // The ";" sits just before the comment and its editor marker.
        const std::size_t semicolon = static_cast<std::size_t>(line.Comment.data() - text.data()) -
                                      (line.Marker != 0 ? 2 : 1);
        buffer_.append(text.substr(copied, semicolon - copied));
        buffer_ += ';';
        if (line.Marker != 0) buffer_ += static_cast<char>(line.Marker);
        buffer_ += ' ';
        buffer_.append(*translation);
        buffer_.append(TrailingSpaces(text), ' ');
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
  const std::string_view* Next(std::size_t& cursor) {
    return cursor < translated_.size() ? &translated_[cursor++] : nullptr;
  }

  // Translated lines come back trimmed; the spaces at the ends of a literal
  // are part of the program ("Hello, " + Name$), so they are put back.
  void AppendLiteral(std::string_view original, std::string_view translation) {
    if (translation.empty()) return;
    const std::size_t lead = LeadingSpaces(original);
    const std::size_t trail = lead == original.size() ? 0 : TrailingSpaces(original);
    buffer_.append(lead, ' ').append(translation).append(trail, ' ');
  }

  const SourceLines& lines_;
  const TranslatedLines& translated_;
  std::size_t next_comment_ = 0;
  std::size_t next_literal_;
  SpliceResult result_;
  std::string buffer_;
};

}  // namespace

SpliceResult SpliceLines(const SourceLines& lines, const TranslatedLines& translated,
                         const LineSink& emit) {
  Splicer splicer(lines, translated);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!emit(splicer.Render(i))) break;
  }
  return splicer.result();
}

std::vector<std::string> SplicedTexts(const SourceLines& lines, const TranslatedLines& translated,
                                      SpliceResult* result) {
  std::vector<std::string> texts;
  texts.reserve(lines.size());
  const SpliceResult r = SpliceLines(lines, translated, [&texts](std::string_view text) {
    texts.emplace_back(text);
    return true;
  });
  if (result != nullptr) *result = r;
  return texts;
}

bool EncodeOutput(const SourceLines& lines, const TranslatedLines& translated,
                  const ByteSink& sink, SpliceResult* result) {
  // Whether the mark is needed is known only from the whole output. When
  // neither the lines nor the translation hold anything beyond ASCII, it is
  // not; otherwise the lines are spliced once to look, once to write.
  bool needs_mark = false;
  if (!lines.empty() && !lines.LineText(0).starts_with("\xEF\xBB\xBF")) {
    bool may_need_mark = false;
    for (std::size_t i = 0; i < lines.size() && !may_need_mark; ++i) {
      may_need_mark = HoldsNonAscii(lines.LineText(i));
    }
    for (std::size_t i = 0; i < translated.size() && !may_need_mark; ++i) {
      may_need_mark = HoldsNonAscii(translated[i]);
    }
    if (may_need_mark) {
      SpliceLines(lines, translated, [&needs_mark](std::string_view text) {
        needs_mark = HoldsNonAscii(text);
        return !needs_mark;
      });
    }
  }

  // Lines are gathered in one buffer, handed on whenever it holds a chunk;
  // a line longer than a chunk goes to the sink as it is.
  constexpr std::size_t kChunk = 1 << 16;
  const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(2 * kChunk + 2);
  std::size_t used = 0;
  bool ok = true;
  const auto flush = [&] {
    if (used > 0) ok = sink(std::string_view(buffer.get(), used));
    used = 0;
    return ok;
  };
  if (needs_mark) {
    std::memcpy(buffer.get(), "\xEF\xBB\xBF", 3);
    used = 3;
  }
  const SpliceResult r = SpliceLines(lines, translated, [&](std::string_view text) {
    if (text.size() > kChunk) {
      if (!flush() || !(ok = sink(text))) return false;
    } else {
      std::memcpy(buffer.get() + used, text.data(), text.size());
      used += text.size();
    }
    buffer[used++] = '\r';
    buffer[used++] = '\n';
    return used < kChunk || flush();
  });
  if (result != nullptr) *result = r;
  return ok && flush();
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
