// A source file as lines, the comments and string literals found in them,
// and the exchange text that carries those items to the translator.
//
// The text of all lines lives in one block of UTF-8 owned by SourceLines:
// a UTF-8 file is kept as the very bytes it was read as, any other encoding
// is converted once. Each line is a small record into the block, so a file
// costs little more than its own size. Positions and lengths the rules
// speak of still count UTF-16 code units. Views handed out stay valid as
// long as the SourceLines object lives (moving it keeps them valid too).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/encoding.h"

namespace qm {

struct SourceLiteral {
  std::string_view Text;      // the characters between the quotes, as written (UTF-8)
  std::int32_t Position = 0;  // 1-based position, in UTF-16 code units, of the opening
                              // quote in the space-trimmed line
};

// One line, as a view (UTF-8).
struct SourceLine {
  std::string_view Text;     // the line as read, without its line end
  std::string_view Comment;  // the collected comment, empty when none was collected
  std::span<const SourceLiteral> Literals;  // the collected literals, left to right
  // Where the comment sits: 1-based position, in UTF-16 code units, of its
  // ";" in the space-trimmed line (0 when none was collected), and the
  // editor marker ("-", "{", "}")
  // that follows the ";" and stays out of `Comment` (0 when there is none).
  std::int32_t Semicolon = 0;
  char16_t Marker = 0;
};

// The texts that start the settings block editors append to a source file.
inline constexpr std::string_view kIdeOptionsMarker = "; IDE Options =";
inline constexpr std::string_view kJapbeVersionMarker = "; jaPBe Version=";

enum class SourceEncoding {
  Utf8,         // the UTF-8 byte-order mark, or well-formed UTF-8 throughout
  Windows1252,  // no mark and not well-formed UTF-8: read line by line
  Utf16Le,      // the UTF-16 byte-order marks
  Utf16Be,
};

// The encoding a source file is read in. A file without a mark that is not
// well-formed UTF-8 is what the editor and the compiler take for the ANSI
// code page, Windows-1252; but a file edited in both worlds can hold UTF-8
// lines among ANSI ones, so each of its lines that is well-formed UTF-8 is
// still read as UTF-8, and only the others as Windows-1252.
SourceEncoding DetectEncoding(std::string_view bytes);

// True when a line, space-trimmed, holds a trailer marker.
bool HoldsTrailerMarker(std::string_view trimmed);

class SourceLines {
 public:
  SourceLines() = default;
  SourceLines(SourceLines&&) noexcept = default;
  SourceLines& operator=(SourceLines&&) noexcept = default;
  SourceLines(const SourceLines&) = delete;
  SourceLines& operator=(const SourceLines&) = delete;

  // Splits a file's bytes into lines, read as DetectEncoding says and held
  // as UTF-8 (an ill-formed sequence of a UTF-8 file, a lone surrogate of a
  // UTF-16 one, becomes U+FFFD). CR, LF, CR LF and NUL end a line; the line
  // end is not part of the line; a final line end adds no empty line. A
  // byte-order mark stays as U+FEFF at the start of the first line (so the
  // output gets the UTF-8 mark). Well-formed UTF-8 bytes are kept as they
  // are (moved in, they are not copied).
  static SourceLines FromBytes(std::string bytes);
  // Lines given as texts (each without a line end).
  static SourceLines FromTexts(std::span<const std::u16string> texts);

  std::size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }
  SourceLine operator[](std::size_t index) const;

  // Finds the comment and the literals of every line, stopping at the first
  // line that holds a trailer marker: that line and all after it keep no
  // items. Only text for people is collected: lines of inline assembler or
  // C give nothing, include and import lines (and the lines of an Import
  // block) give their comment but no literal, and technical literals (file
  // names, identifiers, masks, SQL; see item_rules.h) are left out.
  // Returns the number of items collected. May be called again.
  std::int64_t Extract();

  // Items of one line in the exchange text (its comment and its literals).
  std::int64_t ItemCount(std::size_t index) const;
  // The text of one line alone, without working out its items.
  std::string_view LineText(std::size_t index) const { return TextOf(lines_[index]); }
  // Comments collected by the last Extract.
  std::size_t CommentCount() const { return comments_; }

  // Removes every line.
  void Clear();

 private:
  struct Record {
    std::uint64_t start : 56 = 0;
    std::uint64_t marker : 8 = 0;
    std::uint32_t length = 0;
    std::uint32_t semicolon = 0;        // 1 + the byte offset of the ";" in the trimmed line, or 0
    std::uint32_t semicolon_units = 0;  // the same position in UTF-16 code units
    std::uint32_t first_literal = 0;
  };

  // Takes `text` (well-formed UTF-8, line ends included) as the block.
  void AddLines(std::string&& text);
  // `trimmed` is the line's text without its leading and trailing spaces.
  // Its strings are always skipped to find the comment, but collected only
  // when `collect_literals` is set.
  void ExtractLine(Record& record, std::string_view trimmed, bool collect_literals);
  std::string_view TextOf(const Record& record) const;

  // The text of the whole file, line ends included; set once when the lines
  // are read and never changed, and held apart so that moving the object
  // moves no character.
  std::unique_ptr<const std::string> text_;
  std::vector<Record> lines_;
  std::vector<SourceLiteral> literals_;
  std::size_t comments_ = 0;
};

// The exchange text, as UTF-8: every collected comment in line order, then
// every literal in line order, each followed by one CR.
std::string BuildExchangeText(const SourceLines& lines);
// The same bytes handed to `sink` in chunks; false when the sink refused one.
bool WriteExchangeText(const SourceLines& lines, const ByteSink& sink);

// What the translator page takes at once, in UTF-16 code units.
inline constexpr std::size_t kPieceUnits = 5000;

// Cuts an exchange text into pieces of whole items, each as many as fit in
// `max_units` code units counting their CRs; an item longer than that is a
// piece of its own. The pieces are views into `exchange`, in order, and
// joined give it back. The empty text gives no piece.
std::vector<std::u16string_view> ExchangePieces(std::u16string_view exchange,
                                                std::size_t max_units = kPieceUnits);

// Number of items in an exchange text (or a piece of one): its CRs.
std::size_t CountItems(std::u16string_view exchange);

// The items of an exchange text (or a piece of one), without their CRs, as
// views into it: "a\rb\r" gives {"a", "b"}.
std::vector<std::u16string_view> ExchangeItems(std::u16string_view exchange);

}  // namespace qm
