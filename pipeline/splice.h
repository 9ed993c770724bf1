// Putting the translated lines back in place, and the bytes of an output file.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/source_lines.h"
#include "text/encoding.h"

namespace qm {

// The lines of the confirmed translated text, as views into that text.
using TranslatedLines = std::vector<std::string_view>;

// Splits the translated text (well-formed UTF-8: see MakeTranslationText)
// into lines: CR, LF, CR LF and NUL each end a line (so LF CR
// ends two), every line is space-trimmed, empty lines are kept, and a line
// end at the very end adds no empty last line.
TranslatedLines SplitTranslatedText(std::string_view text);

// A translated text as SplitTranslatedText takes it: UTF-8 bytes as read
// from a file, with each ill-formed sequence made U+FFFD, or a text from
// the clipboard (a lone surrogate made U+FFFD, as in every output).
std::string MakeTranslationText(std::string bytes);
std::string MakeTranslationText(std::u16string_view text);

// The lines that came back, for comparing with the items sent: empty lines
// at the very end (which a copy from a page often brings) do not count.
std::size_t CountTranslatedLines(const TranslatedLines& lines);

struct SpliceResult {
  std::int64_t replaced = 0;  // items whose translation was put in place
  std::int64_t kept = 0;      // items left as they were
};

// Hands every line's text after the splice to `emit`, in order. Translated
// lines pair with the items in exchange-text order: all comments first, then
// all literals.
//  - A comment becomes ";" (plus its editor marker), one space and the
//    translation; the code in front of it and the line's trailing spaces stay.
//  - A literal's characters between its own quotes become the translation,
//    with the literal's own leading and trailing spaces kept around it.
//    A translation that would end the string early (a double quote, or in
//    a "~" string an unescaped one or a trailing lone backslash), or that
//    holds a backslash sequence a "~" string does not define, is not put
//    in; its line is used up all the same, so the pairing never shifts.
//  - Items past the last translated line keep their text.
// `emit` returns false to stop early.
using LineSink = std::function<bool(std::string_view)>;
SpliceResult SpliceLines(const SourceLines& lines, const TranslatedLines& translated,
                         const LineSink& emit);

// The spliced texts of all lines, for callers that want them in memory.
std::vector<std::string> SplicedTexts(const SourceLines& lines,
                                         const TranslatedLines& translated,
                                         SpliceResult* result = nullptr);

// The output file's bytes: every spliced line as UTF-8 followed by CR LF.
// When the text holds anything beyond ASCII the output starts with the UTF-8
// byte-order mark (unless the first line already starts with U+FEFF), so the
// editor does not read it in the ANSI code page. A line without items goes
// out as the bytes it was read as. The bytes are handed to `sink` in
// chunks; a sink returning false stops the writing.
bool EncodeOutput(const SourceLines& lines, const TranslatedLines& translated,
                  const ByteSink& sink, SpliceResult* result = nullptr);
std::string OutputBytes(const SourceLines& lines, const TranslatedLines& translated = {});

}  // namespace qm
