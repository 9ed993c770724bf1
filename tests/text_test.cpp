#include "text/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace qm {
namespace {

TEST(Trim, RemovesOnlySpaces) {
  struct Case {
    std::u16string in, out;
  };
  const Case cases[] = {
      {u"", u""},
      {u"   ", u""},
      {u"  a b  ", u"a b"},
      {u"\ta\t", u"\ta\t"},
      {u" \r\n x \n", u"\r\n x \n"},
      {u"\u00A0a\u00A0", u"\u00A0a\u00A0"},  // no-break space is not a space here
  };
  for (const Case& c : cases) EXPECT_EQ(Trim(c.in), c.out) << testing::PrintToString(c.in);
  EXPECT_EQ(LeadingSpaces(u"  x "), 2u);
  EXPECT_EQ(TrailingSpaces(u"  x "), 1u);
  EXPECT_EQ(TrailingSpaces(u"    "), 4u);
}

TEST(Find, IsOneBasedAndZeroWhenMissing) {
  EXPECT_EQ(Find(u"abcabc", u"a"), 1);
  EXPECT_EQ(Find(u"abcabc", u"c"), 3);
  EXPECT_EQ(Find(u"abcabc", u"a", 2), 4);
  EXPECT_EQ(Find(u"abcabc", u"a", -5), 1);
  EXPECT_EQ(Find(u"abcabc", u"a", 7), 0);
  EXPECT_EQ(Find(u"abcabc", u"x"), 0);
  EXPECT_EQ(Find(u"abc", u""), 0);
  EXPECT_EQ(Find(u"aBc", u"b"), 0);  // case-sensitive
  EXPECT_EQ(Find(u"", u"a"), 0);
}

TEST(LeftRightMid, Clamp) {
  EXPECT_EQ(Left(u"hello", 2), u"he");
  EXPECT_EQ(Left(u"hello", 99), u"hello");
  EXPECT_EQ(Left(u"hello", -1), u"");
  EXPECT_EQ(Right(u"hello", 2), u"lo");
  EXPECT_EQ(Right(u"hello", 99), u"hello");
  EXPECT_EQ(Right(u"hello", 0), u"");
  EXPECT_EQ(Mid(u"hello", 2), u"ello");
  EXPECT_EQ(Mid(u"hello", 0), u"hello");
  EXPECT_EQ(Mid(u"hello", -3, 2), u"he");
  EXPECT_EQ(Mid(u"hello", 6), u"");
  EXPECT_EQ(Mid(u"hello", 5, 10), u"o");
  EXPECT_EQ(Mid(u"hello", 2, 0), u"");
}

TEST(CountString, CountsNonOverlapping) {
  EXPECT_EQ(CountString(u"aaaa", u"aa"), 2);
  EXPECT_EQ(CountString(u"a\"b\"c\"", u"\""), 3);
  EXPECT_EQ(CountString(u"abc", u""), 0);
  EXPECT_EQ(CountString(u"ABab", u"ab"), 1);
}

TEST(ReplaceString, ModesStartAndCount) {
  struct Case {
    std::u16string text, find, repl;
    ReplaceMode mode;
    std::int64_t start, count;
    std::u16string out;
  };
  const Case cases[] = {
      {u"a;b;c", u";", u"-", ReplaceMode::Exact, 1, 1, u"a-b;c"},
      {u"a;b;c", u";", u"-", ReplaceMode::Exact, 1, 5, u"a-b-c"},
      {u"a;b;c", u";", u"-", ReplaceMode::Exact, 3, 1, u"a;b-c"},  // before start: untouched
      {u"a;b;c", u";", u"-", ReplaceMode::Exact, 0, 1, u"a-b;c"},  // start below 1 counts as 1
      {u"a;b;c", u";", u"-", ReplaceMode::Exact, 6, 1, u"a;b;c"},  // beyond the end
      {u"a;b;c", u";", u"-", ReplaceMode::Exact, 1, 0, u"a;b;c"},
      {u"Hello HELLO", u"hello", u"x", ReplaceMode::Exact, 1, 2, u"Hello HELLO"},
      {u"Hello HELLO", u"hello", u"x", ReplaceMode::AsciiNoCase, 1, 2, u"x x"},
      {u"\u00C4 \u00E4", u"\u00E4", u"x", ReplaceMode::AsciiNoCase, 1, 2, u"\u00C4 x"},
      {u"aaa", u"a", u"aa", ReplaceMode::Exact, 1, 3, u"aaaaaa"},  // inserted text not searched
      {u"abc", u"", u"x", ReplaceMode::Exact, 1, 1, u"abc"},
      {u"x = 1 ; Hello  ", u"; Hello", u"; Bonjour", ReplaceMode::AsciiNoCase, 1, 1,
       u"x = 1 ; Bonjour  "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceString(c.text, c.find, c.repl, c.mode, c.start, c.count), c.out)
        << testing::PrintToString(c.text) << " start " << c.start;
  }
}

TEST(ToDecimal, PlainSigned) {
  EXPECT_EQ(ToDecimal(0), u"0");
  EXPECT_EQ(ToDecimal(7), u"7");
  EXPECT_EQ(ToDecimal(1234567), u"1234567");
  EXPECT_EQ(ToDecimal(-42), u"-42");
  EXPECT_EQ(ToDecimal(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808");
}

TEST(FileNamePart, AfterLastSlashOfEitherKind) {
  EXPECT_EQ(FileNamePart(u"D:\\proj\\main.pb"), u"main.pb");
  EXPECT_EQ(FileNamePart(u"/home/u/proj/inc.pbi"), u"inc.pbi");
  EXPECT_EQ(FileNamePart(u"a/b\\c.pb"), u"c.pb");
  EXPECT_EQ(FileNamePart(u"plain.pb"), u"plain.pb");
  EXPECT_EQ(FileNamePart(u"dir/"), u"");
}

}  // namespace
}  // namespace qm
