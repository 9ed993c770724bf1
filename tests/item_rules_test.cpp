// What is offered to the translator: text for people, not names for the
// compiler, the linker or the file system.
#include "pipeline/item_rules.h"

#include <gtest/gtest.h>

#include "pipeline/source_lines.h"
#include "pipeline/splice.h"
#include "text/encoding.h"
#include "tests/test_support.h"

namespace qm {
namespace {

using test::U;

TEST(ItemRules, TechnicalLiterals) {
  struct Case {
    const char* text;  // UTF-8, as written between the quotes
    bool technical;
    bool escaped = false;
  };
  const Case cases[] = {
      // Plain words and sentences are text; code-style names are not.
      {"Help", false},
      {"HelpFile", true},
      {"OK", false},
      {"Arial", false},
      {"Datei", false},
      {"Datei öffnen", false},
      {"Größe_1", false},  // only ASCII names count as identifiers
      {"ProfilerWidth", true},
      {"VerQueryValueA", true},
      {"Button_1", true},
      {"HKEY_USERS", true},
      {"utf8", true},
      {"  HelpFile  ", true},  // judged without the spaces around it
      {"Help File", false},
      // File names and paths, with an extension of 1 to 5 letters or digits.
      {"index.html", true},
      {"user32.dll", true},
      {"Strings.pbi", true},
      {".pbi", true},
      {"notes.abcde", true},
      {"notes.abcdef", true},  // a longer extension: a dotted name
      {"v1.0", true},
      {"Version 2.0", false},  // a space: a sentence that ends in a number
      {"Loading...", false},
      {"./data/logo.png", true},
      {"relative\\path", true},
      {"Yes/No", true},
      {"Open the data/logo file", false},
      // Names joined by dots, locale codes, folder paths with spaces.
      {"customers.sqlite", true},
      {"Shell.Application", true},
      {"Scripting.FileSystemObject", true},
      {"e.g.", false},
      {"Hello. Bye.", false},
      {"en-US", true},
      {"pt-BR", true},
      {"Yes-No", false},
      {"Library/Application Support/MyApp/", true},
      {"Save to the folder/", false},  // the only separator ends it: a sentence
      // Addresses.
      {"https://www.purebasic.com/forum", true},
      {"www.example.org", true},
      {"support@example.org", true},
      {"Write to support@example.org", false},
      {"@home", false},
      {"a@b", false},
      // Date and format masks, whatever their spaces.
      {"%hh:%ii:%ss", true},
      {"%dd.%mm.%yyyy", true},
      {"%yyyy-%mm-%dd %hh:%ii", true},
      {"%filename%", true},
      {"%yyyy%mm%dd", true},
      {"%yyyy%mm%dd_%hh%ii", true},
      {"Saved on %dd.%mm.%yyyy", false},
      {"%1 files copied", false},
      // File filters.
      {"Text (*.txt)|*.txt", true},
      {"All files (*.*)|*.*|PureBasic (*.pb)|*.pb", true},
      {"Text files", false},
      // SQL: a statement verb first and a clause word later, in capitals.
      {"SELECT name FROM users WHERE id = ?", true},
      {"INSERT INTO log (text) VALUES (?)", true},
      {"UPDATE session SET user = ?", true},
      {"CREATE TABLE IF NOT EXISTS notes (id INTEGER)", true},
      {"SELECT a file", false},
      {"PRAGMA foreign_keys = ON;", true},
      {"PRAGMA", false},  // one word: no statement
      {"select name from users", false},
      {"Please SELECT FROM the list", false},
      // In a ~"…" string a backslash starts an escape, not a path.
      {"Zeile\\n", false, true},
      {"Zeile\\n", true, false},
      {"Tab\\there", false, true},
      {"dir\\\\file", true, true},
      {"Say \\\"hello\\\"", false, true},
      {"\\n\\n", true, true},  // escapes only: nothing to read
      {"\\t\\tTotal", false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsTechnicalLiteral(U(c.text), c.escaped), c.technical)
        << c.text << (c.escaped ? " (escaped)" : "");
    EXPECT_EQ(IsTechnicalLiteral(std::string_view(c.text), c.escaped), c.technical)
        << c.text << (c.escaped ? " (escaped, UTF-8)" : " (UTF-8)");
  }
}

TEST(ItemRules, DirectivesAndInlineBackendLines) {
  struct Case {
    const char16_t* code;
    Directive directive;
  };
  const Case cases[] = {
      {u"XIncludeFile \"Strings.pbi\"", Directive::Include},
      {u"IncludeFile \"Common.pbi\" ; shared code", Directive::Include},
      {u"  xincludefile \"a.pbi\"", Directive::Include},
      {u"\tIncludeBinary \"logo.png\"", Directive::Include},
      {u"IncludePath \"include/\"", Directive::Include},
      {u"Import \"user32.lib\"", Directive::Import},
      {u"IMPORTC \"-lm\"", Directive::Import},
      {u"EndImport", Directive::EndImport},
      {u"IncludeFiles = 1", Directive::None},
      {u"ImportantNote$ = \"x\"", Directive::None},
      {u"Debug \"XIncludeFile\"", Directive::None},
      {u"", Directive::None},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DirectiveOf(c.code), c.directive) << test::U8(c.code);
    EXPECT_EQ(DirectiveOf(test::U8(c.code)), c.directive) << test::U8(c.code) << " (UTF-8)";
  }
  EXPECT_TRUE(IsInlineBackendLine(u"!mov eax, 1"));
  EXPECT_TRUE(IsInlineBackendLine(u"\t\t!mov eax, 1 ; x"));
  EXPECT_TRUE(IsInlineBackendLine(u" \t !"));
  EXPECT_FALSE(IsInlineBackendLine(u"If Not a ; !x"));
  EXPECT_FALSE(IsInlineBackendLine(u"\t"));
}

// Every literal and comment the lines of a file collect, in exchange order.
std::u16string Exchange(std::initializer_list<std::u16string> texts) {
  SourceLines lines = SourceLines::FromTexts(std::vector<std::u16string>(texts));
  const std::int64_t items = lines.Extract();
  const std::u16string exchange = DecodeUtf8(BuildExchangeText(lines));
  EXPECT_EQ(static_cast<std::int64_t>(std::count(exchange.begin(), exchange.end(), u'\r')), items);
  return exchange;
}

TEST(ItemRules, LinesThatGiveNoLiteral) {
  EXPECT_EQ(Exchange({u"XIncludeFile \"Strings.pbi\" ; the texts of the window",
                      u"\tIncludeBinary \"Hello there\"",
                      u"\t!mov eax, 1 ; load the counter",
                      u"  \t!  printf(\"Hello world\"); // C",
                      u"Text$ = \"Hello there\""}),
            u" the texts of the window\rHello there\r");

  // Between Import and EndImport every string is a symbol of the library.
  EXPECT_EQ(Exchange({u"Import \"user32.lib\" ; system calls",
                      u"  MessageBoxA(a, b, c, d) As \"_MessageBoxA@16\"",
                      u"  Beep_(f, d) As \"Beep now\" ; make a sound",
                      u"EndImport",
                      u"MessageRequester(\"Program started\", \"Ready to work\")"}),
            u" system calls\r make a sound\rProgram started\rReady to work\r");

  // The same ";" rules hold on those lines: a ";" in a string is not a comment.
  EXPECT_EQ(Exchange({u"IncludeFile \"a;b.pbi\" ; real comment"}), u" real comment\r");
}

TEST(ItemRules, UserInterfaceTextIsStillCollected) {
  const std::vector<std::u16string> lines = {
      u"MessageRequester(\"Error\", \"The file could not be saved.\", #PB_MessageRequester_Error)",
      u"If OpenWindow(0, 0, 0, 400, 300, \"My Little Editor\", #PB_Window_SystemMenu)",
      u"  TextGadget(1, 10, 10, 200, 20, \"Name of the project:\")",
      u"  ButtonGadget(2, 10, 40, 100, 25, \"Save and close\")",
      u"  SetGadgetText(3, \"Nothing loaded yet\")",
      u"  MenuItem(4, \"Open recent file...\" + Chr(9) + \"Ctrl+R\")",
      u"  AddGadgetItem(5, -1, \"Check for updates\")",
      u"  StatusBarText(0, 0, \"Ready to translate\")",
      u"  GadgetToolTip(2, \"Writes the file and closes the window\")",
      u"  MessageRequester(\"Über\", \"Version 2.0 – © 2024\")",
      u"  SetWindowTitle(0, \"Datei öffnen\")",
      u"  Debug ~\"Line one\\nline two\"",
      u"EndIf",
  };
  SourceLines source = SourceLines::FromTexts(lines);
  source.Extract();
  const std::vector<std::u16string> expected = {
      u"Error", u"The file could not be saved.", u"My Little Editor", u"Name of the project:",
      u"Save and close", u"Nothing loaded yet", u"Open recent file...", u"Ctrl+R",
      u"Check for updates", u"Ready to translate", u"Writes the file and closes the window",
      u"Über", u"Version 2.0 – © 2024", u"Datei öffnen", u"Line one\\nline two"};
  std::vector<std::u16string> collected;
  for (std::size_t i = 0; i < source.size(); ++i) {
    for (const SourceLiteral& literal : source[i].Literals) {
      collected.push_back(DecodeUtf8(literal.Text));
    }
  }
  EXPECT_EQ(collected, expected);
}

TEST(ItemRules, EscapedStringsKeepDefinedEscapes) {
  const auto apply = [](std::u16string line, std::u16string_view translation) {
    SourceLines lines = SourceLines::FromTexts(std::vector<std::u16string>{std::move(line)});
    lines.Extract();
    const std::string text = MakeTranslationText(translation);
    return DecodeUtf8(SplicedTexts(lines, SplitTranslatedText(text)).at(0));
  };
  struct Case {
    const char16_t* line;
    const char16_t* translation;
    const char16_t* result;
  };
  const Case cases[] = {
      {u"Debug ~\"Zeile\\n\"", u"Line\\N", u"Debug ~\"Zeile\\n\""},
      {u"Debug ~\"Zeile\\n\"", u"Line\\n", u"Debug ~\"Line\\n\""},
      {u"Debug ~\"Zeile\\n\"", u"Line\\q", u"Debug ~\"Zeile\\n\""},
      {u"Debug ~\"Zeile\\n\"", u"Line\\", u"Debug ~\"Zeile\\n\""},
      {u"Debug ~\"Zeile\\n\"", u"a\\a\\b\\f\\n\\r\\t\\v\\\"\\\\", u"Debug ~\"a\\a\\b\\f\\n\\r\\t\\v\\\"\\\\\""},
      // Plain strings take backslashes as they are.
      {u"Debug \"Zeile eins\"", u"Line \\N", u"Debug \"Line \\N\""},
      // A refused translation still uses up its line: the next literal takes the next one.
      {u"x(~\"Eins\\t\", \"Zwei\")", u"One\\T\rTwo", u"x(~\"Eins\\t\", \"Two\")"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(apply(c.line, c.translation), c.result) << test::U8(c.line) << " <- "
                                                      << test::U8(c.translation);
  }
  EXPECT_FALSE(HoldsUndefinedEscape(u"plain text"));
  EXPECT_TRUE(HoldsUndefinedEscape(u"C:\\Temp"));
  // The UTF-8 forms judge alike, a character beyond ASCII included.
  EXPECT_FALSE(HoldsUndefinedEscape("Zeile\\n"));
  EXPECT_TRUE(HoldsUndefinedEscape("C:\\Temp"));
  EXPECT_TRUE(HoldsUndefinedEscape(U("Gr\\ü")));
  EXPECT_TRUE(HoldsUndefinedEscape("Gr\\\xC3\xBC"));
  EXPECT_TRUE(IsInlineBackendLine("\t\t!mov eax, 1 ; x"));
  EXPECT_FALSE(IsInlineBackendLine("If Not a ; !x"));
  EXPECT_TRUE(HoldsLetter("\xC3\xA9"));
  EXPECT_FALSE(HoldsLetter("-- 42 --"));
}

}  // namespace
}  // namespace qm
