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
  for (const Case& c : cases) EXPECT_EQ(TrimSpaces(c.in), c.out) << testing::PrintToString(c.in);
  EXPECT_EQ(LeadingSpaces(u"  x "), 2u);
  EXPECT_EQ(TrailingSpaces(u"  x "), 1u);
  EXPECT_EQ(TrailingSpaces(u"    "), 4u);
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
