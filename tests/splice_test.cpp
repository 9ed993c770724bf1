#include "pipeline/splice.h"

#include <gtest/gtest.h>

#include "text/encoding.h"
#include "tests/test_support.h"

namespace qm {
namespace {

using test::U;

using Lines = std::vector<std::u16string>;

TEST(SplitTranslatedText, LineEndsAndTrimming) {
  struct Case {
    std::u16string text;
    Lines lines;
  };
  const Case cases[] = {
      {u"", {}},
      {u"A\r\nB\rC\nD", {u"A", u"B", u"C", u"D"}},
      {u"A\r\nB\rC\nD\r\n", {u"A", u"B", u"C", u"D"}},
      {u"A\n\rB", {u"A", u"", u"B"}},
      {u"  Bonjour  \r", {u"Bonjour"}},
      {u"\tTab\t\r", {u"\tTab\t"}},
      {u"\r\r", {u"", u""}},
      {std::u16string(u"a\0b", 3), {u"a", u"b"}},
      {u"   ", {u""}},
  };
  for (const Case& c : cases) {
    const std::string text = MakeTranslationText(c.text);
    Lines lines;
    for (const std::string_view view : SplitTranslatedText(text)) lines.push_back(DecodeUtf8(view));
    EXPECT_EQ(lines, c.lines) << test::U8(c.text);
  }
}

TEST(SplitTranslatedText, IllFormedBytesBecomeReplacementCharacters) {
  // As a decoder reads them: each maximal ill-formed sequence is one U+FFFD.
  EXPECT_EQ(MakeTranslationText(std::string("Gr\xC3\xB6\xC3" "e\r\xFF\xFEx")),
            "Gr\xC3\xB6\xEF\xBF\xBD" "e\r\xEF\xBF\xBD\xEF\xBF\xBDx");
  EXPECT_EQ(MakeTranslationText(std::string("caf\xC3\xA9")), "caf\xC3\xA9");
  // A lone surrogate from the clipboard becomes U+FFFD too, as in every output.
  EXPECT_EQ(MakeTranslationText(std::u16string_view(u"a\xD800" u"b")), "a\xEF\xBF\xBD" "b");
}

// Reads, extracts, splices `translation` and returns the rewritten lines.
std::vector<std::u16string> Apply(const std::vector<std::u16string>& source,
                                  std::u16string_view translation,
                                  SpliceResult* result = nullptr) {
  SourceLines lines = SourceLines::FromTexts(source);
  lines.Extract();
  const std::string text = MakeTranslationText(translation);
  std::vector<std::u16string> out;
  for (const std::string& line : SplicedTexts(lines, SplitTranslatedText(text), result)) {
    out.push_back(DecodeUtf8(line));
  }
  return out;
}

TEST(Splice, OneLine) {
  struct Case {
    std::u16string line, translation, out;
  };
  const Case cases[] = {
      {u"x = 1 ; Hello  ", u"  Bonjour  \r", u"x = 1 ; Bonjour  "},
      {u"x=1;Hello", u"Bonjour", u"x=1; Bonjour"},
      {u"    ;Note", u"Notiz", u"    ; Notiz"},
      {u"  a$ = \"Hello\"", u"Hallo", u"  a$ = \"Hallo\""},
      {u"x = 1 ; note", u"", u"x = 1 ; note"},             // no translated line at all
      {u"x = 1 ; note", u"\r", u"x = 1 ; "},               // an empty translated line
      {u"a$ = \"Hello\"", u"\r", u"a$ = \"\""},
      // The spaces at the ends of a literal are part of the program.
      {u"a$ = \"Hello, \" + b$", u"Hallo,", u"a$ = \"Hallo, \" + b$"},
      {u"a$ = \"  Name:\"", u"   Nom :  ", u"a$ = \"  Nom :\""},
      // The comment is cut at its own ";", never at one inside a string.
      {u"*Source\\Watchlist$ + \";\" ; add a separator", u"Trennzeichen anf\u00FCgen",
       u"*Source\\Watchlist$ + \";\" ; Trennzeichen anf\u00FCgen"},
      {u"Case ';' ; comments", u"Kommentare", u"Case ';' ; Kommentare"},
      {u"a$ = \"x;y\" ; note", u"Notiz\rx;y translated",
       u"a$ = \"x;y translated\" ; Notiz"},
      // Editor markers survive.
      {u";- Init", u"Initialisation", u";- Initialisation"},
      {u";{ Setup", u"Einrichtung", u";{ Einrichtung"},
      {u"  ;} End", u"Ende", u"  ;} Ende"},
      // Escaped strings.
      {u"Debug ~\"say \\\"hi\\\"\" ; greet", u"gr\u00FC\u00DFen\rsag \\\"hallo\\\"",
       u"Debug ~\"sag \\\"hallo\\\"\" ; gr\u00FC\u00DFen"},
      // A translation that would end the string early is not put in.
      {u"a$ = \"Hello\"", u"say \"hi\"", u"a$ = \"Hello\""},
      {u"a$ = ~\"Hello\"", u"ends in \\", u"a$ = ~\"Hello\""},
      {u"a$ = ~\"Hello\"", u"say \"hi\"", u"a$ = ~\"Hello\""},
      {u"a$ = ~\"Hello\"", u"ends in \\\\", u"a$ = ~\"ends in \\\\\""},
      {u"a$ = \"Hello\"", u"ends in \\", u"a$ = \"ends in \\\""},  // plain strings have no escapes
      // Inline assembler is left alone.
      {u"! mov eax, 1 ; load", u"laden", u"! mov eax, 1 ; load"},
      // Characters of several bytes before an item move nothing.
      {u"  x$ = \"\U0001F600 \u00E9\" ; \u00FCber", u"\u00C9t\u00E9\rsmile",
       u"  x$ = \"smile\" ; \u00C9t\u00E9"},
      {u"Gr\u00F6\u00DFe = 1 ;- Gr\u00F6\u00DFe", u"size", u"Gr\u00F6\u00DFe = 1 ;- size"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Apply({c.line}, c.translation), std::vector<std::u16string>{c.out})
        << test::U8(c.line);
  }
}

TEST(Splice, LiteralsAreFoundByTheirOwnPosition) {
  // A deeply indented line whose variable name holds the literal's text.
  EXPECT_EQ(Apply({u"        Name$ = \"Name\""}, u"Nom"),
            std::vector<std::u16string>{u"        Name$ = \"Nom\""});
  // A shorter first translation moves the second literal left; it is still found.
  EXPECT_EQ(Apply({u"  MessageRequester(\"Information\", \"Done\")"}, u"Info\rFertig"),
            std::vector<std::u16string>{u"  MessageRequester(\"Info\", \"Fertig\")"});
  // A longer first translation moves it right.
  EXPECT_EQ(Apply({u"x(\"a\", \"b\", \"c\")"}, u"longer one\rB\rsecond longer"),
            std::vector<std::u16string>{u"x(\"longer one\", \"B\", \"second longer\")"});
  // Same text twice on a line: each literal takes its own translation.
  EXPECT_EQ(Apply({u"x(\"Yes\", \"Yes\")"}, u"Ja\rOui"),
            std::vector<std::u16string>{u"x(\"Ja\", \"Oui\")"});
}

TEST(Splice, PairsByExchangeOrderAndCountsWhatItDid) {
  const std::vector<std::u16string> source = {u"a = 1 ; one", u"b$ = \"two\" ; three",
                                              u"c$ = \"four\" + \"five\""};
  // Exchange order: one, three (comments), two, four, five (literals).
  SpliceResult r;
  EXPECT_EQ(Apply(source, u"eins\rdrei\rzwei\rvier\rf\u00FCnf\r", &r),
            (std::vector<std::u16string>{u"a = 1 ; eins", u"b$ = \"zwei\" ; drei",
                                         u"c$ = \"vier\" + \"f\u00FCnf\""}));
  EXPECT_EQ(r.replaced, 5);
  EXPECT_EQ(r.kept, 0);

  // Fewer lines: the items past the last line keep their text.
  EXPECT_EQ(Apply(source, u"eins\rdrei\rzwei", &r),
            (std::vector<std::u16string>{u"a = 1 ; eins", u"b$ = \"zwei\" ; drei",
                                         u"c$ = \"four\" + \"five\""}));
  EXPECT_EQ(r.replaced, 3);
  EXPECT_EQ(r.kept, 2);

  // More lines: the extras are not used.
  EXPECT_EQ(Apply({u"; one"}, u"eins\rzwei\rdrei"), std::vector<std::u16string>{u"; eins"});

  // A refused translation still uses up its line.
  EXPECT_EQ(Apply({u"x(\"a\", \"b\")"}, u"bad \"\rB", &r),
            (std::vector<std::u16string>{u"x(\"a\", \"B\")"}));
  EXPECT_EQ(r.replaced, 1);
  EXPECT_EQ(r.kept, 1);

  // No translated lines: nothing changes.
  EXPECT_EQ(Apply(source, u"", &r), source);
  EXPECT_EQ(r.replaced, 0);
}

TEST(Splice, LinesAfterTheTrailerAreUntouched) {
  EXPECT_EQ(Apply({u"; one", u"; IDE Options = PureBasic", u"; two"}, u"eins\rzwei"),
            (std::vector<std::u16string>{u"; eins", u"; IDE Options = PureBasic", u"; two"}));
}

SourceLines FromTexts(std::initializer_list<std::u16string> texts) {
  return SourceLines::FromTexts(std::vector<std::u16string>(texts));
}

TEST(OutputBytes, CrLfAfterEveryLineAndTheMarkRule) {
  struct Case {
    std::vector<std::u16string> lines;
    std::string bytes;
  };
  const Case cases[] = {
      {{}, ""},
      {{u""}, "\r\n"},
      {{u"a", u"", u"b"}, "a\r\n\r\nb\r\n"},
      // Anything beyond ASCII: the output starts with the UTF-8 mark, once.
      {{u"x", u"\u00E4"}, "\xEF\xBB\xBFx\r\n\xC3\xA4\r\n"},
      {{u"\uFEFFx", u"\u00E4"}, "\xEF\xBB\xBFx\r\n\xC3\xA4\r\n"},
      {{u"\uFEFFx"}, "\xEF\xBB\xBFx\r\n"},
      {{u"\U0001F600"}, "\xEF\xBB\xBF\xF0\x9F\x98\x80\r\n"},
      {{u"\t; tab\t"}, "\t; tab\t\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OutputBytes(SourceLines::FromTexts(c.lines)), c.bytes)
        << testing::PrintToString(c.bytes);
  }
  // The mark follows the output, not the input: a translation can bring the
  // first character beyond ASCII, or take the only one away.
  SourceLines ascii = FromTexts({u"; note"});
  ascii.Extract();
  EXPECT_EQ(OutputBytes(ascii, {"\xC3\xA9t\xC3\xA9"}), "\xEF\xBB\xBF; \xC3\xA9t\xC3\xA9\r\n");
  SourceLines accented = FromTexts({u"; caf\u00E9"});
  accented.Extract();
  EXPECT_EQ(OutputBytes(accented, {"coffee"}), "; coffee\r\n");
  // Nothing beyond ASCII in the output, though the translation holds some
  // for an item past the last: no mark.
  SourceLines one = FromTexts({u"; note"});
  one.Extract();
  EXPECT_EQ(OutputBytes(one, {"Notiz", "\xC3\xA9t\xC3\xA9"}), "; Notiz\r\n");
}

TEST(OutputBytes, StreamsLargeOutputsInChunks) {
  const SourceLines lines =
      SourceLines::FromTexts(std::vector<std::u16string>(100000, u"x = 1 ; comment"));
  std::size_t chunks = 0, total = 0;
  EXPECT_TRUE(EncodeOutput(lines, {}, [&](std::string_view bytes) {
    ++chunks;
    total += bytes.size();
    return true;
  }));
  EXPECT_GT(chunks, 1u);
  EXPECT_EQ(total, lines.size() * 17);
  // A sink that fails stops the encoding.
  EXPECT_FALSE(EncodeOutput(lines, {}, [](std::string_view) { return false; }));
}

// A line longer than the output buffer is encoded in pieces, and no piece
// ends between the two halves of a surrogate pair.
TEST(OutputBytes, LongLinesKeepTheirSurrogatePairs) {
  for (std::size_t shift = 0; shift < 3; ++shift) {
    std::u16string line(shift, u'x');
    while (line.size() < 200000) line += u"\U0001F600";
    const SourceLines lines = SourceLines::FromTexts(std::vector<std::u16string>{line, u"end"});
    std::string expected = "\xEF\xBB\xBF" + EncodeUtf8(line) + "\r\nend\r\n";
    EXPECT_EQ(OutputBytes(lines), expected) << shift;
  }
}

// Reads a whole file, applies an empty translation and checks that every
// line comes out as it went in.
TEST(WholeFile, LinesWithoutItemsComeOutByteIdentical) {
  const std::string source =
      "; Sample module\r\n"
      "EnableExplicit\n"
      "  Procedure.s Greet(Name$)   ; say hello\r\n"
      "    ProcedureReturn \"Hello \" + Name$ + \"!\"\r"
      "  EndProcedure\r\n"
      "\tCase ';' : x = 1\r\n"
      "!  mov eax, ebx ; asm \"x\"\r\n"
      "  a$ = \"C:\\temp\\\"\r\n"
      ";{ fold\r\n"
      ";}\r\n"
      "caf\xC3\xA9 = 2\r\n"
      "\r\n"
      "; IDE Options = PureBasic 6.04 LTS\r\n"
      "; CursorPosition = 12\r\n"
      "; EnableXP";
  SourceLines lines = SourceLines::FromBytes(source);
  lines.Extract();
  const std::string out = OutputBytes(lines, {});
  ASSERT_TRUE(out.starts_with("\xEF\xBB\xBF"));  // the file holds an accented name
  std::vector<std::string> in_lines, out_lines;
  for (std::size_t i = 0; i < lines.size(); ++i) in_lines.emplace_back(lines[i].Text);
  std::string rest = out.substr(3);
  for (std::size_t at; (at = rest.find("\r\n")) != std::string::npos; rest.erase(0, at + 2)) {
    out_lines.push_back(rest.substr(0, at));
  }
  EXPECT_EQ(rest, "");
  EXPECT_EQ(out_lines, in_lines);

  // Translated to itself, every line comes out as it went in: the pairing of
  // translated lines and items is exact.
  const std::string exchange = BuildExchangeText(lines);
  SpliceResult r;
  const auto same = SplicedTexts(lines, SplitTranslatedText(exchange), &r);
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(same[i], lines[i].Text) << i;
  EXPECT_EQ(r.replaced, 4);  // two comments, a fold comment and "Hello "
  EXPECT_EQ(r.kept, 0);
}

}  // namespace
}  // namespace qm
