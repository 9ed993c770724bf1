// Synthetic PureBasic sources for the benchmarks and the fuzzing seeds: the
// mix of lines a real project has (indented blocks, procedures, strings,
// "~" strings with escapes, character constants, ";" comments and editor
// markers, inline assembler, drive paths) and the editor's settings block at
// the end. The output depends only on the options, so every run measures
// the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm::bench {

enum class Charset {
  Ascii,        // English words only
  Utf8,         // German, French and a few other words beyond ASCII, as UTF-8
  Windows1252,  // the same words in the editor's ANSI code page (not valid UTF-8)
};

struct SourceOptions {
  // The source grows until it holds at least this many bytes and this many
  // lines (the settings block included), whichever comes last.
  std::size_t min_bytes = 0;
  std::size_t min_lines = 0;
  Charset charset = Charset::Utf8;
  std::uint64_t seed = 1;
};

// A whole source file, CR LF line ends, ending with the settings block.
std::string GenerateSource(const SourceOptions& options);

// What a translator might send back for an exchange text: every item keeps
// its place and its line, its letters changed (a -> b, ..., z -> a), and
// every fifth one gets a few words beyond ASCII added. Quotes and
// backslashes stay as they are, so no translation breaks its string.
std::u16string AlterTranslation(std::u16string_view exchange);

// The translation file for a source, as UTF-8: its exchange text altered.
std::string TranslationFor(std::string_view source);

}  // namespace qm::bench
