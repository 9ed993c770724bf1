#include "pipeline/source_lines.h"

#include <gtest/gtest.h>

#include "text/encoding.h"
#include "text/text.h"
#include "tests/test_support.h"

namespace qm {
namespace {

using test::U;

std::vector<std::u16string> Texts(const SourceLines& lines) {
  std::vector<std::u16string> texts;
  for (std::size_t i = 0; i < lines.size(); ++i) texts.push_back(DecodeUtf8(lines[i].Text));
  return texts;
}

SourceLines Lines(std::initializer_list<std::u16string> texts) {
  return SourceLines::FromTexts(std::vector<std::u16string>(texts));
}

TEST(ReadSourceLines, LineEnds) {
  struct Case {
    std::string bytes;
    std::vector<std::u16string> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {u"a"}},
      {"a\n", {u"a"}},
      {"a\r", {u"a"}},  // a lone CR as the very last byte adds no line
      {"a\r\n", {u"a"}},
      {"a\r\nb\rc\nd", {u"a", u"b", u"c", u"d"}},
      {"a\n\rb", {u"a", u"", u"b"}},  // LF CR is two line ends
      {"\n\n", {u"", u""}},
      {"\r\n\r\n", {u"", u""}},
      {std::string("a\0b\0", 4), {u"a", u"b"}},
      {std::string("a\0\nb", 4), {u"a", u"", u"b"}},
      {"\xEF\xBB\xBF; x\r\n", {u"\uFEFF; x"}},
      {"  indented  \t\r\n", {u"  indented  \t"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Texts(SourceLines::FromBytes(c.bytes)), c.lines) << testing::PrintToString(c.bytes);
  }
}

TEST(ReadSourceLines, EncodingFallsBackToWindows1252) {
  // Valid UTF-8, or anything after a UTF-8 mark, is UTF-8.
  EXPECT_EQ(DetectEncoding("caf\xC3\xA9"), SourceEncoding::Utf8);
  EXPECT_EQ(DetectEncoding("\xEF\xBB\xBF" "caf\xE9"), SourceEncoding::Utf8);
  EXPECT_EQ(DetectEncoding("caf\xE9"), SourceEncoding::Windows1252);

  const SourceLines legacy = SourceLines::FromBytes(";Gibt die L\xE4nge zur\xFC" "ck\r\nx = 1 ; \x80\r\n");
  EXPECT_EQ(Texts(legacy), (std::vector<std::u16string>{U(";Gibt die Länge zurück"),
                                                         U("x = 1 ; €")}));
  // With the mark the bytes are UTF-8, bad ones replaced.
  const SourceLines marked = SourceLines::FromBytes("\xEF\xBB\xBF" "a\xE9");
  EXPECT_EQ(Texts(marked), (std::vector<std::u16string>{u"\uFEFFa\uFFFD"}));

  // A file edited in both worlds: its UTF-8 lines stay UTF-8, only the
  // others are read as Windows-1252.
  EXPECT_EQ(DetectEncoding("; Gr\xC3\xB6\xC3\x9F" "e\r\n; L\xE4nge\r\n"), SourceEncoding::Windows1252);
  const SourceLines mixed = SourceLines::FromBytes(
      "a$ = \"Gr\xC3\xB6\xC3\x9F" "e\" ; \xE2\x82\xAC\r\n; L\xE4nge \x80\n\r\nb$ = \"\xC3\xA4\xE4\"");
  EXPECT_EQ(Texts(mixed), (std::vector<std::u16string>{U("a$ = \"Größe\" ; €"), U("; Länge €"),
                                                        u"", U("b$ = \"Ã¤ä\"")}));
}

TEST(ReadSourceLines, Utf16FilesByTheirMark) {
  // "; Größe" CR LF "x = 1" in both byte orders, with an odd byte at the end.
  const std::u16string text = U("\uFEFF; Größe\r\nx = 1 ; 😀");
  const std::string le = test::Utf16Bytes(text, false), be = test::Utf16Bytes(text, true);
  EXPECT_EQ(DetectEncoding(le), SourceEncoding::Utf16Le);
  EXPECT_EQ(DetectEncoding(be), SourceEncoding::Utf16Be);
  const std::vector<std::u16string> expected = {U("\uFEFF; Größe"), U("x = 1 ; 😀")};
  EXPECT_EQ(Texts(SourceLines::FromBytes(le)), expected);
  EXPECT_EQ(Texts(SourceLines::FromBytes(be)), expected);
  EXPECT_EQ(Texts(SourceLines::FromBytes(le + "x")),
            (std::vector<std::u16string>{expected[0], expected[1] + u"\uFFFD"}));
}

struct Literal {
  std::u16string text;
  std::int32_t position;
  bool operator==(const Literal&) const = default;
};

struct Extracted {
  std::u16string comment;
  std::int32_t semicolon = 0;
  char16_t marker = 0;
  std::vector<Literal> literals;
};

Extracted Extract(const std::u16string& text) {
  SourceLines lines = Lines({text});
  lines.Extract();
  const SourceLine line = lines[0];
  Extracted out{DecodeUtf8(line.Comment), line.Semicolon, line.Marker, {}};
  for (const SourceLiteral& l : line.Literals) {
    out.literals.push_back({DecodeUtf8(l.Text), l.Position});
    // The view and the position (in UTF-16 code units) name the same quote.
    const std::size_t quote = static_cast<std::size_t>(l.Text.data() - line.Text.data()) - 1;
    EXPECT_EQ(Utf16Length(line.Text.substr(0, quote)),
              LeadingSpaces(line.Text) + static_cast<std::size_t>(l.Position) - 1);
  }
  if (line.Semicolon > 0) {
    const std::size_t semicolon = static_cast<std::size_t>(line.Comment.data() - line.Text.data()) -
                                  (line.Marker != 0 ? 2 : 1);
    EXPECT_EQ(line.Text[semicolon], ';');
    EXPECT_EQ(Utf16Length(line.Text.substr(0, semicolon)),
              LeadingSpaces(line.Text) + static_cast<std::size_t>(line.Semicolon) - 1);
  }
  return out;
}

TEST(ExtractLine, CommentsAndLiterals) {
  struct Case {
    std::u16string line;
    std::u16string comment;
    std::int32_t semicolon;
    std::vector<Literal> literals;
  };
  const Case cases[] = {
      {u"ShowMessage(\"Title\", \"Hello world\") ; greet", u" greet", 37,
       {{u"Title", 13}, {u"Hello world", 22}}},
      {u"x = 1 ; set x", u" set x", 7, {}},
      {u";comment", u"comment", 1, {}},
      {u";", u"", 0, {}},
      {u";    ", u"", 0, {}},
      {u"    x$ = \"abc\"", u"", 0, {{u"abc", 6}}},        // position in the trimmed line
      {u"a$ = \"C:\\temp\\file.pb\"", u"", 0, {}},          // drive paths are not text
      {u"a$ = \"relative path\\\"", u"", 0, {{u"relative path\\", 6}}},
      {u"a$ = \"\" + \"  \" + \"x\"", u"", 0, {{u"x", 18}}},  // empty and blank skipped
      {u"a$ = \"one\" + \"two", u"", 0, {{u"one", 6}}},     // an unclosed string yields nothing
      {u"\t; tab indented", u" tab indented", 2, {}},
      {u"x = 1 ;\t", u"", 0, {}},                            // tab only: nothing to translate
      {u"  x = 1 ; note  ", u" note", 7, {}},
      // A ";" inside a string or a character constant does not start the comment.
      {u"*Source\\Watchlist$ + \";\" ; add a separator", u" add a separator", 26, {}},
      {u"a$ = \"x;y\" ; note", u" note", 12, {{u"x;y", 6}}},
      {u"Case ';' ; comments", u" comments", 10, {}},
      {u"Case '\"' ; end of string", u" end of string", 10, {}},
      {u"If c = '\"' : a$ = \"quote\" : EndIf", u"", 0, {{u"quote", 19}}},
      // Escaped strings: a backslash makes the next character ordinary.
      {u"Debug ~\"say \\\"hi\\\"\" ; greet", u" greet", 21, {{u"say \\\"hi\\\"", 8}}},
      {u"a$ = ~\"a path\\\\\" + \"b;c\" ; x", u" x", 26, {{u"a path\\\\", 7}, {u"b;c", 20}}},
      {u"a$ = ~\"no end \\\" ; x", u"", 0, {}},  // unclosed escaped string runs to the end
      {u"Name$ = \"C:\\\"", u"", 0, {}},
      {u"a = 1 ; \"quoted\" in a comment", u" \"quoted\" in a comment", 7, {}},
      // Inline assembler and C are left alone.
      {u"!mov eax, 1 ; set \"x\"", u"", 0, {}},
      {u"  !  // C code \"x\"", u"", 0, {}},
      // Nothing to translate, nothing collected.
      {u"; ===", u"", 0, {}},
      {u"a$ = \", \" + \"->\"", u"", 0, {}},
      {u"x = 1 ; 42", u"", 0, {}},
      {u"a$ = \"\u00E9\"", u"", 0, {{u"\u00E9", 6}}},  // anything beyond ASCII counts
      {u"a$ = \"\u4E2D\u6587\" ; \u6CE8\u91CA", u" \u6CE8\u91CA", 11, {{u"\u4E2D\u6587", 6}}},
      // Positions count UTF-16 code units: a character beyond U+FFFF is two.
      {u"x = \"\U0001F600\" + \"y\" ; \u00E9t\u00E9", u" \u00E9t\u00E9", 16,
       {{u"\U0001F600", 5}, {u"y", 12}}},
  };
  for (const Case& c : cases) {
    const Extracted e = Extract(c.line);
    EXPECT_EQ(e.comment, c.comment) << test::U8(c.line);
    EXPECT_EQ(e.semicolon, c.semicolon) << test::U8(c.line);
    EXPECT_EQ(e.literals, c.literals) << test::U8(c.line);
  }
}

TEST(ExtractLine, EditorMarkersStayOutOfTheComment) {
  struct Case {
    std::u16string line, comment;
    char16_t marker;
  };
  const Case cases[] = {
      {u";- Init", u" Init", u'-'},
      {u";{ Setup", u" Setup", u'{'},
      {u"  ;} End of setup", u" End of setup", u'}'},
      {u"EndProcedure ;- Helpers", u" Helpers", u'-'},
      {u";{", u"", 0},
      {u";}", u"", 0},
      {u";------", u"", 0},
      {u";-", u"", 0},
      {u";--- Section ---", u"-- Section ---", u'-'},
      {u"; - not a marker", u" - not a marker", 0},
  };
  for (const Case& c : cases) {
    const Extracted e = Extract(c.line);
    EXPECT_EQ(e.comment, c.comment) << test::U8(c.line);
    EXPECT_EQ(e.marker, c.comment.empty() ? 0 : c.marker) << test::U8(c.line);
  }
}

TEST(ExtractItems, StopsAtTheTrailer) {
  SourceLines lines = Lines({
      u"a = 1 ; one",
      u"; IDE Options = PureBasic 6.00",
      u"; CursorPosition = 3 ; not code",
      u"b$ = \"two\"",
  });
  EXPECT_EQ(lines.Extract(), 1);
  EXPECT_EQ(lines[0].Comment, " one");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(lines.ItemCount(i), 0) << i;
  }
  EXPECT_EQ(lines.Extract(), 1) << "extracting again collects the same";

  SourceLines japbe = Lines({u"  ; jaPBe Version=3.0", u"x = 1 ; two"});
  EXPECT_EQ(japbe.Extract(), 0);
  // A marker that is not exactly spelled does not stop anything.
  SourceLines lookalike = Lines({u"; IDE options = x", u"x = 1 ; two"});
  EXPECT_EQ(lookalike.Extract(), 2);
}

TEST(ExchangeText, CommentsFirstThenLiteralsEachEndedByCr) {
  SourceLines lines = Lines({u"a = 1 ; one", u"b$ = \"two\"", u"; three",
                             u"ShowMessage(\"Title\", \"Hello world\") ; greet"});
  EXPECT_EQ(lines.Extract(), 6);
  EXPECT_EQ(BuildExchangeText(lines), " one\r three\r greet\rtwo\rTitle\rHello world\r");
  std::int64_t items = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) items += lines.ItemCount(i);
  EXPECT_EQ(items, 6);

  SourceLines none = Lines({u"x = 1", u"", u"; ---"});
  EXPECT_EQ(none.Extract(), 0);
  EXPECT_EQ(BuildExchangeText(none), "");
  EXPECT_EQ(BuildExchangeText(SourceLines()), "");
}

}  // namespace
}  // namespace qm
